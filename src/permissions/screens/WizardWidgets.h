#pragma once
// The small pieces every wizard screen is drawn with, all in the colours of
// the resolved brand given to them: the product's mark, the filled action
// button, the underlined text link, the capsule tag and the rounded box
// that frames callouts and cards. One point of the screens' measures is one
// logical pixel, as in the main window; fonts are set by pixel size
// (`uiFont`). Texts are plain. Main thread.

#include <QColor>
#include <QHBoxLayout>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <optional>

#include "permissions/WizardBrand.h"
#include "ui/Controls.h"
#include "ui/Symbols.h"

namespace rk {

class WaitingArc;

// A widget that drags the app into a privacy list: a left-button drag past
// the system's drag distance carries the app bundle's file URL (nothing
// when the bundle is unknown), with the subclass's picture under the
// pointer. The subclass draws the hovering it is told about.
class KTAppDragSource : public QWidget {
public:
    using QWidget::QWidget;

    // The drag's data: the file URL of `bundlePath`, or none when it is empty.
    static QMimeData* dragData(const QString& bundlePath);

protected:
    virtual void hoverChanged(bool hovering) = 0;
    // What the pointer carries; none leaves the window system's own.
    virtual QPixmap dragPicture() const { return {}; }

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<QPoint> pressedAt_;
};

// The product's mark drawn into a `side` by `side` square.
class KTMarkView : public QWidget {
    Q_OBJECT
public:
    KTMarkView(KTResolvedMark mark, int side, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    KTResolvedMark mark_;
};

// A filled rounded button whose whole shape takes clicks: the title in one
// line, at its natural size plus the padding and never below `minimum`.
// While waiting, a waiting arc in the title colour stands 8 before the title.
class KTAccentButton : public ShapeButton {
    Q_OBJECT
public:
    struct Look {
        QColor fill;
        QColor title;
        double fontPixels = 13.5;
        int padX = 22;
        int padY = 9;
        double radius = 8;
        QSize minimum{};
    };
    KTAccentButton(const QString& title, const Look& look, std::function<void()> action,
                   QWidget* parent = nullptr);

    void setWaiting(bool waiting);
    bool isWaiting() const { return arc_ != nullptr; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeArc();
    Look look_;
    WaitingArc* arc_ = nullptr;
};

// A plain, underlined text button: the text is its whole look and hit area.
TextButton* makeLink(const QString& title, double pixels, const QColor& colour, std::function<void()> action,
                     QWidget* parent = nullptr);

// A short text, with an optional leading symbol, on a capsule.
class KTCapsuleTag : public QWidget {
    Q_OBJECT
public:
    struct Look {
        QColor fill;
        QColor ink;
        double fontPixels = 10.5;
        QFont::Weight weight = QFont::Medium;
        double padX = 7;
        double padY = 2.5;
        std::optional<Symbol> symbol{};  // drawn at the font's size, 5 before the text
    };
    KTCapsuleTag(const QString& text, const Look& look, QWidget* parent = nullptr);
    QString text() const { return text_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double symbolWidth() const;
    QString text_;
    Look look_;
};

// A rounded rectangle around stacked content, filled and outlined (stroked
// inside its edge, 1 wide) when those colours are given.
class KTRoundedBox : public QWidget {
    Q_OBJECT
public:
    struct Look {
        double radius = 10;
        std::optional<QColor> fill{};
        std::optional<QColor> stroke{};
        int padding = 12;
    };
    explicit KTRoundedBox(const Look& look, QWidget* parent = nullptr);
    QVBoxLayout* content() const { return content_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look look_;
    QVBoxLayout* content_;
};

// A filled circle `side` points across.
class KTDot : public QWidget {
    Q_OBJECT
public:
    KTDot(const QColor& colour, int side, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

// A picture of a system dialog, 138 high and as wide as its aspect ratio
// makes it, clipped to a rounded rectangle and outlined in `outline`.
class KTDialogImage : public QWidget {
    Q_OBJECT
public:
    KTDialogImage(const QImage& image, const QColor& outline, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QColor outline_;
};

// A row of a symbol `side` wide and square (lowered by `symbolTop`) and
// `text` beside it, `spacing` apart; the text takes the rest of the width.
// Top-aligned, or centred vertically with `centred`.
QHBoxLayout* symbolRow(Symbol symbol, double side, const QColor& colour, QWidget* text, int spacing,
                       int symbolTop = 0, bool centred = false);

}  // namespace rk
