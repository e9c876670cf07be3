#pragma once
// The main window's building blocks: text labels (always plain text), the
// card container, the two button looks, the capsule switch and a plain text
// button. Sizes are logical pixels; fonts are set by pixel size.
//
// Every control takes the scheme as one flag, `dark`, from the view that
// makes it; the root view holds that flag and passes it down.

#include <QAbstractButton>
#include <QBoxLayout>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWidget>
#include <functional>
#include <optional>

#include "ui/Palette.h"
#include "ui/Symbols.h"

namespace rk {

// The system font at `pixels`, with a weight and optionally monospaced.
QFont uiFont(double pixels, QFont::Weight weight = QFont::Normal, bool monospaced = false);

struct TextStyle {
    double pixels = 13;
    QFont::Weight weight = QFont::Normal;
    std::optional<QColor> colour{};  // none: the inherited text colour
    bool wrap = true;                // wrap onto as many lines as needed
    bool monospaced = false;
    bool selectable = false;  // the person can select and copy it
};

// A label showing `text` as plain text: markup in a record name stays
// literal. Word-wrapped labels take the width they are given.
QLabel* makeLabel(const QString& text, const TextStyle& style, QWidget* parent = nullptr);

// Sets the text colour of `widget` (and of its children that do not set their own).
void setTextColour(QWidget* widget, const QColor& colour);

// The scheme's ground and ink on `widget`: the background behind every page
// and the text colour the pages inherit.
void applyScheme(QWidget* widget, bool dark);

// A full-width hairline in the scheme's line colour, between the parts of a
// card or a page.
QWidget* makeDivider(bool dark, QWidget* parent = nullptr);

// Sets a button's title, shown verbatim. QAbstractButton::setText reads "&"
// as a keyboard mnemonic and binds Alt and the next character to the button
// ("Login Items & Extensions" would be pressed by Alt+Space); our buttons
// draw their title literally and take no mnemonic.
void setButtonTitle(QAbstractButton* button, const QString& title);

// Adds `widget` to a vertical stack aligned leading: widgets that may grow
// horizontally (labels, cards) take the full width, fixed-size ones (buttons,
// switches) sit at the leading edge.
void addLeading(QBoxLayout* layout, QWidget* widget);

// Keyboard focus as a Mac shows it with keyboard navigation on. `takeTabFocus`
// lets Tab reach `control` (a click never focuses it) and notes whether its
// focus came from the keyboard: the focus a window hands its first control
// when it opens draws no ring. `paintFocusRing`, called last in the control's
// paint event, draws the ring in the scheme's blue along the control's
// rounded outline (`cornerRadius`), inside its bounds, while the control
// holds focus that came from the keyboard; the scheme is read from the
// palette the control inherits.
void takeTabFocus(QWidget* control);
void paintFocusRing(QPainter& painter, const QWidget& control, double cornerRadius);
QColor focusRingColour(bool dark);
// Gives `to` the focus that `from` holds, with the ring when `from` shows
// one: for a control that takes the place of `from` (the same button drawn
// again, the next screen's button), so the keyboard stays where the person
// left it. Call it while `from` is still shown: hiding the focused control
// first would hand the focus to the next one in the Tab order.
void passFocus(const QWidget& from, QWidget* to);
// Hides `old`, content that new content has just replaced, and deletes it
// once its events are done (it may hold the control being pressed); first,
// when `focused` (the focus widget from before) lies inside it, passes that
// focus to `heir` in the new content.
void retireKeepingFocus(QWidget& old, const QWidget* focused, QWidget* heir);

// A one-line plain text cut short at the end with "…" when it does not fit.
// `text()` is always the whole text.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    ElidedLabel(const QString& text, const TextStyle& style, QWidget* parent = nullptr);
    QString text() const { return text_; }
    void setText(const QString& text);
    // The text as drawn at the current width.
    QString shownText() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    std::optional<QColor> colour_;
};

// A rounded container: content stacked vertically (spacing 8, padding 14),
// full width, filled with the card colour and outlined with a hairline, or
// with `stroke` at width 2 when one is given.
class Card : public QWidget {
    Q_OBJECT
public:
    explicit Card(bool dark, std::optional<QColor> stroke = std::nullopt, QWidget* parent = nullptr);

    QVBoxLayout* content() const { return content_; }
    // Adds leading-aligned (see `addLeading`).
    void add(QWidget* widget);
    void addLayout(QLayout* layout);

    QColor fill() const;
    QColor outline() const;
    double outlineWidth() const { return stroke_ ? 2.0 : 1.0; }
    const std::optional<QColor>& stroke() const { return stroke_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool dark_;
    std::optional<QColor> stroke_;
    QVBoxLayout* content_;
};

// Shared by the two button looks: a title drawn as plain text on a rounded
// shape that is entirely clickable, padding included.
class ShapeButton : public QAbstractButton {
    Q_OBJECT
public:
    QString title() const { return text(); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // Runs the action as a click would (for keyboard and tests).
    void press() { click(); }

protected:
    ShapeButton(const QString& title, std::function<void()> action, double fontPixels, QFont::Weight weight,
                int padX, int padY, double radius, QWidget* parent);
    bool hitButton(const QPoint& pos) const override;
    QPainterPath shape() const;
    double radius() const { return radius_; }
    int padX_;
    int padY_;

private:
    double radius_;
};

// The main action of a card or page: gold fill, dark semibold title, the
// same in both schemes.
class PrimaryButton : public ShapeButton {
    Q_OBJECT
public:
    PrimaryButton(const QString& title, std::function<void()> action, QWidget* parent = nullptr);
    static QColor fillColour() { return Palette::gold(); }
    static QColor titleColour() { return Palette::onGold(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Secondary actions: an outlined rounded rectangle without fill, the title
// optionally led by a symbol in the title's colour.
class QuietButton : public ShapeButton {
    Q_OBJECT
public:
    QuietButton(bool dark, const QString& title, std::function<void()> action, QWidget* parent = nullptr);
    QColor outlineColour() const;
    QColor titleColour() const;
    void setSymbol(Symbol symbol);
    std::optional<Symbol> symbol() const { return symbol_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool dark_;
    std::optional<Symbol> symbol_;
};

// A plain-style button that is only its text (the "Show them", "How I know"
// and hidden-list buttons): no bezel, the text is the hit area.
class TextButton : public QAbstractButton {
    Q_OBJECT
public:
    TextButton(const QString& title, const TextStyle& style, std::function<void()> action,
               QWidget* parent = nullptr);
    QString title() const { return text(); }
    void setTitle(const QString& title);
    QColor colour() const { return colour_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    void press() { click(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

// An on/off switch of 34 by 20: gold track with the knob right when on,
// the line colour with the knob left when off; faded while disabled, when
// it shows its value and takes no click. A click flips the value at
// once and calls `changed` with the new value; the knob then slides over
// 0.15 s (at once under static rendering). The caller owns the value:
// `setOn` sets it without calling `changed` (and leaves a slide to the value
// it already has alone).
class CapsuleSwitch : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int trackWidth = 34;
    static constexpr int trackHeight = 20;
    static constexpr int knobSide = 16;
    static constexpr int animationMs = 150;

    CapsuleSwitch(bool dark, bool on, std::function<void(bool)> changed, QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    void setOn(bool on);
    // 0 with the knob at the left end, 1 at the right end.
    double knobPosition() const { return position_; }
    bool isAnimating() const;
    QColor trackColour() const;
    QSize sizeHint() const override { return {trackWidth, trackHeight}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void flip();

    bool dark_;
    bool on_;
    double position_;
    std::function<void(bool)> changed_;
    QVariantAnimation* animation_;
};

}  // namespace rk
