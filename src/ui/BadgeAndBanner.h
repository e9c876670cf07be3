#pragma once
// Two small views the pages place near their top: the Mac badge, which names
// the Mac the page works on, and the guide banner, which shows the guide's
// sentence with a mark and a colour that follow its phase.

#include <QColor>
#include <QLabel>
#include <QString>
#include <QVariantAnimation>
#include <QWidget>

#include "app/model/Step.h"
#include "ui/Symbols.h"

namespace rk {

// "This happens on <name>, this Mac." with the name in bold, on a violet tint.
class MacBadge : public QWidget {
    Q_OBJECT
public:
    MacBadge(bool dark, const QString& macName, const QString& macModel, QWidget* parent = nullptr);
    // Names the Mac again (its model text arrives after launch).
    void setMac(const QString& macName, const QString& macModel);

    // The sentence as the person reads it (without the bold).
    static QString sentence(const QString& macName, const QString& macModel);
    // The label's markup: every outside text escaped, only the name in bold.
    static QString markup(const QString& macName, const QString& macModel);
    QLabel* label() const { return label_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool dark_;
    QLabel* label_;
};

// The guide's sentence on a System Settings page. A page adds it only when
// the sentence is not empty (an empty one takes no space).
class Banner : public QWidget {
    Q_OBJECT
public:
    enum class Mark { spinner, hourglass, check, arrow };
    struct Look {
        Mark mark;
        QColor colour;
    };
    static Look look(Phase phase, bool dark);

    Banner(bool dark, Phase phase, const QString& text, QWidget* parent = nullptr);
    // Shows another phase and sentence; the tint fades over 0.3 s unless
    // rendering is static.
    void setState(Phase phase, const QString& text);

    Phase phase() const { return phase_; }
    QString text() const;
    Look currentLook() const { return look(phase_, dark_); }
    // The tint drawn now (mid-fade it lies between the old and new colour).
    QColor shownColour() const { return shown_; }
    QWidget* markWidget() const { return mark_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildMark();

    bool dark_;
    Phase phase_;
    QColor shown_;
    QWidget* mark_ = nullptr;
    QLabel* label_;
    QVariantAnimation* fade_;
};

}  // namespace rk
