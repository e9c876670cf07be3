#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include "support/UiProbe.h"
#include "ui/BadgeAndBanner.h"
#include "ui/Palette.h"
#include "ui/Rendering.h"
#include "ui/RootView.h"

namespace rk {
namespace {

using test::near;
using test::pixel;

class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }
};

TEST_F(ControlsTest, CardFillHairlineAndStroke) {
    for (bool dark : {false, true}) {
        Card card(dark);
        card.add(makeLabel("x", {}));
        const QImage image = test::render(&card, 200);
        EXPECT_TRUE(near(pixel(image, {100, double(card.height()) / 2}), Palette::card(dark), 1)) << dark;
        // The 1-pixel hairline along the top edge.
        EXPECT_TRUE(near(pixel(image, {100, 0.5}), Palette::line(dark), 12)) << dark;
        EXPECT_EQ(card.outlineWidth(), 1.0);
    }
    // A stroke colour is drawn two wide: both pixels carry it, not the hairline.
    Card stroked(false, Palette::green(false));
    stroked.add(makeLabel("x", {}));
    const QImage image = test::render(&stroked, 200);
    EXPECT_EQ(stroked.outlineWidth(), 2.0);
    EXPECT_TRUE(near(pixel(image, {100, 0.5}), Palette::green(false), 12));
    EXPECT_TRUE(near(pixel(image, {100, 1.5}), Palette::green(false), 12));
}

TEST_F(ControlsTest, ClicksOnButtonPaddingCount) {
    int primary = 0;
    int quiet = 0;
    PrimaryButton first(QStringLiteral("Start with Accessibility  →"), [&] { ++primary; });
    QuietButton second(false, QStringLiteral("Go to Login Items"), [&] { ++quiet; });
    test::render(&first, first.sizeHint().width());
    test::render(&second, second.sizeHint().width());
    // Just inside the padding, well away from the glyphs.
    test::click(&first, QPoint(4, first.height() / 2));
    test::click(&first, QPoint(first.width() / 2, 2));
    test::click(&second, QPoint(second.width() - 4, second.height() / 2));
    EXPECT_EQ(primary, 2);
    EXPECT_EQ(quiet, 1);
    // Outside the rounded corner does not count.
    test::click(&first, QPoint(0, 0));
    EXPECT_EQ(primary, 2);
}

TEST_F(ControlsTest, AmpersandInATitleIsShownAndBindsNoKey) {
    const QString title = QStringLiteral("Login Items & Extensions");
    PrimaryButton primary(title, [] {});
    QuietButton quiet(false, title, [] {});
    TextButton text(QStringLiteral("How I know"), {.pixels = 11}, [] {});
    text.setTitle(title);
    const QList<QAbstractButton*> buttons = {&primary, &quiet, &text};
    for (QAbstractButton* button : buttons) {
        // Without a mnemonic: "& E" would bind Alt+Space, which would press it.
        EXPECT_TRUE(button->shortcut().isEmpty())
            << button->metaObject()->className() << " " << button->shortcut().toString().toStdString();
        EXPECT_EQ(button->text(), title);
    }
    // The "&" itself is drawn: a lone "&" paints something where a blank paints nothing.
    PrimaryButton amp(QStringLiteral("&"), [] {});
    PrimaryButton blank(QStringLiteral(" "), [] {});
    amp.setFixedSize(40, 30);
    blank.setFixedSize(40, 30);
    EXPECT_NE(test::render(&amp, 40), test::render(&blank, 40));
}

// The value flips at the click while the knob slides; under static
// rendering it jumps. setOn is the caller's and calls nothing back.
TEST_F(ControlsTest, SwitchValueChangesAtTheClickAndTheKnobSlides) {
    Rendering::setStatic(false);
    std::vector<bool> seen;
    CapsuleSwitch toggle(false, true, [&](bool on) { seen.push_back(on); });
    test::render(&toggle, CapsuleSwitch::trackWidth);
    EXPECT_EQ(toggle.size(), QSize(34, 20));
    EXPECT_EQ(toggle.trackColour(), Palette::gold());
    test::clickCentre(&toggle);
    ASSERT_EQ(seen, std::vector<bool>{false});
    EXPECT_FALSE(toggle.isOn());
    EXPECT_TRUE(toggle.isAnimating());
    EXPECT_GT(toggle.knobPosition(), 0.5);
    QElapsedTimer clock;
    clock.start();
    while (toggle.isAnimating() && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_GE(clock.elapsed(), 100);
    EXPECT_DOUBLE_EQ(toggle.knobPosition(), 0.0);
    EXPECT_EQ(toggle.trackColour(), Palette::line(false));

    StaticRenderingScope still;
    test::clickCentre(&toggle);
    EXPECT_FALSE(toggle.isAnimating());
    EXPECT_DOUBLE_EQ(toggle.knobPosition(), 1.0);
    // The knob is drawn at the right end: white there, gold at the left end.
    const QImage image = test::render(&toggle, CapsuleSwitch::trackWidth);
    EXPECT_TRUE(near(pixel(image, {24, 10}), Qt::white, 3));
    EXPECT_TRUE(near(pixel(image, {6, 10}), Palette::gold(), 3));
    toggle.setOn(false);
    EXPECT_DOUBLE_EQ(toggle.knobPosition(), 0.0);
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

// Focus from Tab shows as a ring in the scheme's blue; other focus, or none, shows none.
TEST_F(ControlsTest, EachControlDrawsAFocusRingOnlyWhileFocused) {
    // The ring runs through the middle of the left edge.
    const auto ringShows = [](QWidget* control) {
        return near(control->grab().toImage().pixelColor(1, control->height() / 2), focusRingColour(false),
                    24);
    };
    const std::pair<const char*, std::function<QWidget*(QWidget*)>> controls[] = {
        {"primary", [](QWidget* p) { return new PrimaryButton("Go", {}, p); }},
        {"quiet", [](QWidget* p) { return new QuietButton(false, "Go", {}, p); }},
        {"text", [](QWidget* p) { return new TextButton("Show them", {}, {}, p); }},
        {"switch", [](QWidget* p) { return new CapsuleSwitch(false, true, {}, p); }},
        {"tab", [](QWidget* p) { return new StepTab(false, Step::start, true, p); }},
    };
    for (const auto& [name, make] : controls) {
        QWidget window;
        QWidget* control = make(&window);
        window.show();
        window.activateWindow();
        test::settle();
        // The focus a window hands out as it opens is not the keyboard's.
        control->setFocus(Qt::ActiveWindowFocusReason);
        ASSERT_TRUE(control->hasFocus()) << name;
        EXPECT_FALSE(ringShows(control)) << name;
        control->clearFocus();
        control->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(ringShows(control)) << name;
        control->clearFocus();
        EXPECT_FALSE(ringShows(control)) << name;
    }
}

// Each symbol inks some of its square in the colour asked for, and none all of it.
TEST_F(ControlsTest, EverySymbolDrawsInItsColour) {
    for (Symbol symbol : {Symbol::hourglass, Symbol::checkmarkCircleFill, Symbol::circle,
                          Symbol::arrowDownCircle, Symbol::laptop, Symbol::gear}) {
        QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        Symbols::paint(painter, symbol, QRectF(0, 0, 40, 40), Qt::red);
        painter.end();
        int inked = 0;
        for (int i = 0; i < 1600; ++i)
            inked += image.pixelColor(i % 40, i / 40).alpha() > 200 &&
                     image.pixelColor(i % 40, i / 40).red() > 200;
        EXPECT_GT(inked, 40) << int(symbol);
        EXPECT_LT(inked, 1600) << int(symbol);
    }
}

// ---- The Mac badge and the banner ----------------------------------------------------

using BadgeBannerTest = ControlsTest;

QString readable(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

// The person reads exactly the name and model, tags and runs of blanks
// included; the model ends the sentence once it is known.
TEST_F(BadgeBannerTest, BadgeShowsTheNameAndModelLiterally) {
    EXPECT_EQ(MacBadge::sentence(QStringLiteral("Anna's Mac"), QString()),
              QStringLiteral("This happens on Anna's Mac, this Mac."));
    const QString name = QStringLiteral("<b>Anna</b> &  <i>Bo</i>");
    MacBadge badge(false, name, QString());
    EXPECT_EQ(test::shownTexts(&badge), QStringList{"This happens on " + name + ", this Mac."});
    // Named again in place once the model text arrives.
    QLabel* label = badge.label();
    badge.setMac(name, QStringLiteral("Mac   <mini>"));
    EXPECT_EQ(badge.label(), label);
    EXPECT_EQ(readable(label->text()), "This happens on " + name + " (Mac   <mini>), this Mac.");
    EXPECT_TRUE(label->text().contains(QStringLiteral("<b>&lt;b&gt;Anna&lt;/b&gt; &amp;")));
}

TEST_F(BadgeBannerTest, PhaseGivesMarkAndColour) {
    using M = Banner::Mark;
    using P = Phase;
    const std::tuple<QList<Phase>, M, QColor (*)(bool)> cases[] = {
        {{P::idle}, M::hourglass, Palette::blue},
        {{P::working}, M::spinner, Palette::blue},
        {{P::selected, P::nothingLeft}, M::check, Palette::green},
        {{P::circled, P::scroll, P::wrongPage, P::noAccessibility, P::notOpen}, M::arrow, Palette::amber}};
    for (const auto& [phases, mark, colour] : cases) {
        for (const Phase phase : phases) {
            for (bool dark : {false, true}) {
                EXPECT_EQ(Banner::look(phase, dark).mark, mark) << int(phase);
                EXPECT_EQ(Banner::look(phase, dark).colour, colour(dark)) << int(phase) << dark;
            }
        }
    }
}

// The banner changes its mark in place and fades to the new colour; under
// static rendering it jumps there. A working banner spins, its outline at
// the top edge in the phase's blue.
TEST_F(BadgeBannerTest, BannerChangesMarkAndFadesToTheNewColour) {
    Rendering::setStatic(false);
    Banner banner(false, Phase::idle, QStringLiteral("Waiting."));
    banner.setState(Phase::circled, QStringLiteral("Marked in red."));
    EXPECT_EQ(banner.text(), QStringLiteral("Marked in red."));
    auto* mark = qobject_cast<SymbolView*>(banner.markWidget());
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->symbol(), Symbol::arrowDownCircle);
    EXPECT_EQ(mark->colour(), Palette::amber(false));
    EXPECT_NE(banner.shownColour(), Palette::amber(false)) << "mid-fade";
    Spinner spinning(Qt::gray);
    spinning.show();
    EXPECT_TRUE(spinning.isSpinning());
    StaticRenderingScope still;
    banner.setState(Phase::selected, QStringLiteral("Highlighted."));
    EXPECT_EQ(banner.shownColour(), Palette::green(false));
    Spinner spinner(Qt::gray);
    spinner.show();
    EXPECT_FALSE(spinner.isSpinning());
    for (bool dark : {false, true}) {
        Banner working(dark, Phase::working, QStringLiteral("One moment."));
        EXPECT_NE(qobject_cast<Spinner*>(working.markWidget()), nullptr);
        EXPECT_TRUE(
            test::near(test::pixel(test::render(&working, 400), {200, 0.7}), Palette::blue(dark), 40));
    }
}

TEST_F(BadgeBannerTest, LongSentenceWrapsFullyWithTheMarkOnTheFirstLine) {
    Banner banner(
        false, Phase::circled,
        QStringLiteral("I marked the row in red. Select it and press the minus button. ").repeated(3));
    test::render(&banner, 300);
    const auto labels = banner.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_GT(labels[0]->height(), 3 * labels[0]->fontMetrics().height());
    EXPECT_EQ(banner.markWidget()->y(), labels[0]->y());
}

}  // namespace
}  // namespace rk
