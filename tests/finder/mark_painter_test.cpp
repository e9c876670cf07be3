#include <gtest/gtest.h>

#include <QPainter>

#include "finder/MarkPainter.h"
#include "finder/MarksOverlay.h"
#include "support/QtApp.h"
#include "support/SimulatedPhoto.h"

using namespace rk;
using rk::test::isMarkGreen;
using rk::test::isMarkRed;

namespace {

[[maybe_unused]] const auto* const kWidgets = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::widgets, "mark_painter_test"));

const Rect kWindow{100, 50, 400, 300};

// A mark on a row 300 by 30 points whose left edge is 50 points into the window.
Mark mark(Mark::Kind kind, double windowY, QString label = "Remove this") {
    return Mark{kind,
                PaneRow{PaneSection::accessibility, "Row", Rect{kWindow.x + 50, kWindow.y + windowY, 300, 30},
                        0, true, std::nullopt},
                label};
}

// The overlay's window, and one remove mark at its (50, 80).
const Rect kOverlayWindow{100, 80, 400, 300};
QList<Mark> overlayMarks() {
    return {mark(Mark::Kind::remove, 110)};
}

QImage greyPhoto(double scale) {
    QImage photo(int(kWindow.width * scale), int(kWindow.height * scale),
                 QImage::Format_ARGB32_Premultiplied);
    photo.fill(QColor(128, 128, 128));
    return photo;
}

}  // namespace

TEST(MarkPainter, BoxClampedToTheWindowAndPillOnTheRightEdgeCentredOnTheLine) {
    struct Case {
        const char* what;
        Rect row;
        double windowWidth;
        Rect want;
    } cases[] = {
        {"ordinary row", Rect{50, 100, 300, 30}, 700, Rect{44, 102, 312, 26}},
        {"two points from the left edge", Rect{2, 100, 300, 30}, 700, Rect{4, 102, 304, 26}},
        {"narrow row widened to 120", Rect{50, 100, 30, 30}, 700, Rect{44, 102, 120, 26}},
        {"widening cut 10 short of the right edge", Rect{50, 100, 30, 30}, 150, Rect{44, 102, 96, 26}},
        {"wide row cut 10 short of the right edge", Rect{50, 100, 600, 30}, 600, Rect{44, 102, 546, 26}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MarkPainter::box(c.row, c.windowWidth), c.want) << c.what;
    QImage image(400, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    QFont font;
    font.setPixelSize(13);
    const Rect pill = MarkPainter::badge(painter, "Remove this", font, MarkStyle::red(), 300, 50);
    painter.end();
    EXPECT_DOUBLE_EQ(pill.x + pill.width, 300);
    EXPECT_DOUBLE_EQ(pill.y + pill.height / 2, 50);
    EXPECT_GT(pill.width, 16 + 40);  // the text's width plus 16
    EXPECT_TRUE(isMarkRed(image.pixel(int(pill.x) + 3, 50)));
    EXPECT_EQ(image.pixel(int(pill.x) - 3, 50), qRgb(0, 0, 0));
}

// Red around remove rows, green around keep rows. A photo taken on a Retina
// screen carries its device pixel ratio; it still fills the whole marked
// image, pixel for pixel.
TEST(MarkPainterAnnotate, RedAroundRemoveRowsGreenAroundKeepRowsOnAPhotoWithADevicePixelRatio) {
    for (const double ratio : {1.0, 2.0}) {
        QImage photo = greyPhoto(2);
        photo.setDevicePixelRatio(ratio);
        const auto marked = MarkPainter::annotate(
            photo, kWindow, {mark(Mark::Kind::remove, 50), mark(Mark::Kind::keep, 120, "")}, std::nullopt);
        ASSERT_TRUE(marked);
        ASSERT_EQ(marked->size(), QSize(800, 600));
        // Box left edges at 44 points; at scale 2 the strokes sit at x = 88 pixels.
        EXPECT_TRUE(isMarkRed(marked->pixel(88, 2 * 65))) << ratio;
        EXPECT_TRUE(isMarkGreen(marked->pixel(88, 2 * 135))) << ratio;
        // Between the marks and beyond them the photo shows through unchanged.
        for (const QPoint p :
             {QPoint(88, 200), QPoint(0, 0), QPoint(799, 0), QPoint(0, 599), QPoint(799, 599)})
            EXPECT_EQ(marked->pixel(p), qRgb(128, 128, 128)) << ratio << ": " << p.x() << "," << p.y();
        // The keep box is washed green inside; the remove box is not filled.
        EXPECT_GT(qGreen(marked->pixel(200, 270)), qRed(marked->pixel(200, 270)) + 20) << ratio;
        EXPECT_EQ(marked->pixel(200, 130), qRgb(128, 128, 128)) << ratio;
    }
}

TEST(MarkPainterAnnotate, NoImageWithoutAPhotoOrAWindowWidth) {
    const QList<Mark> marks = {mark(Mark::Kind::remove, 50)};
    EXPECT_FALSE(MarkPainter::annotate(QImage(), kWindow, marks, std::nullopt));
    for (const double width : {0.0, -400.0, std::nan(""), 1e-320}) {
        Rect frame = kWindow;
        frame.width = width;
        EXPECT_FALSE(MarkPainter::annotate(greyPhoto(1), frame, marks, std::nullopt)) << width;
    }
}

// The ring around the minus button comes with remove marks only, and keep
// marks are drawn first: where a keep frame and a remove frame meet, red shows.
TEST(MarkPainterDraw, RingOnlyWithRemoveMarksAndRedOverGreen) {
    using K = Mark::Kind;
    const Rect minus{kWindow.x + 80, kWindow.y + 250, 22, 22};
    struct Case {
        const char* what;
        QList<Mark> marks;
        std::optional<Rect> minus;
        bool ring;
        bool redEdge;  // the left edge of the frames on the row at 20
    } cases[] = {
        {"remove marks", {mark(K::remove, 20), mark(K::remove, 60)}, minus, true, true},
        {"only keep marks", {mark(K::keep, 20, ""), mark(K::keep, 60, "")}, minus, false, false},
        {"no minus button", {mark(K::remove, 20)}, std::nullopt, false, true},
        {"remove and keep on one row", {mark(K::remove, 20), mark(K::keep, 20, "")}, minus, true, true},
    };
    for (const auto& c : cases) {
        const auto marked = MarkPainter::annotate(greyPhoto(1), kWindow, c.marks, c.minus);
        ASSERT_TRUE(marked) << c.what;
        // The ring's left end lies 20 points left of the minus button's middle.
        EXPECT_EQ(isMarkRed(marked->pixel(80 + 11 - 20, 250 + 11)), c.ring) << c.what;
        EXPECT_EQ(isMarkRed(marked->pixel(44, 35)), c.redEdge) << c.what;
        EXPECT_EQ(isMarkGreen(marked->pixel(44, 35)), !c.redEdge) << c.what;
    }
}

TEST(MarksOverlayGeometry, BottomLeftFrameFromTheWindowFrame) {
    struct Case {
        Rect window;
        Rect want;
    } cases[] = {
        {Rect{0, 100, 715, 600}, Rect{0, 380, 715, 600}},
        {Rect{40, 0, 800, 1080}, Rect{40, 0, 800, 1080}},
        {Rect{-300, 900, 500, 400}, Rect{-300, -220, 500, 400}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MarksOverlay::panelFrame(c.window, 1080), c.want);
        // And back to the toolkit's top-left space, where it is the window again.
        EXPECT_EQ(MarksOverlay::toolkitGeometry(c.want, 1080), c.window.toQRectF().toRect());
    }
    for (const Rect& bad : {Rect{0, 0, 0, 300}, Rect{0, std::nan(""), 400, 300}, Rect{1e12, 0, 400, 300}})
        EXPECT_FALSE(MarksOverlay::toolkitGeometry(bad, 1080));
}

// Made for the first marks (not for none), a click-through floating panel
// over the window that then follows the window and hides on empty marks.
TEST(MarksOverlay, AClickThroughPanelOverTheWindowMadeOnceFollowingItAndHidingOnEmptyMarks) {
    MarksOverlay overlay;
    overlay.hide();
    overlay.show({}, std::nullopt, kOverlayWindow);
    EXPECT_EQ(overlay.panel(), nullptr);
    EXPECT_FALSE(overlay.isShowing());

    overlay.show(overlayMarks(), Rect{180, 340, 22, 22}, kOverlayWindow);
    ASSERT_TRUE(overlay.isShowing());
    const QWidget* panel = overlay.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->geometry(), QRect(100, 80, 400, 300));
    EXPECT_EQ(overlay.view().geometry(), QRect(0, 0, 400, 300));
    for (const Qt::WindowType flag : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint,
                                      Qt::WindowTransparentForInput, Qt::WindowDoesNotAcceptFocus})
        EXPECT_TRUE(panel->windowFlags().testFlag(flag)) << flag;
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating) &&
                panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(panel->isActiveWindow());
    // The marks on a transparent panel: the remove frame's left edge is
    // (150 - 6) - 100 = 44 points in, the row's middle at 95.
    const QImage shown = const_cast<QWidget*>(panel)->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_TRUE(test::isMarkRed(shown.pixel(44, 95)));
    EXPECT_EQ(qAlpha(shown.pixel(10, 10)), 0);

    overlay.show(overlayMarks(), std::nullopt, Rect{150, 60, 420, 320});
    EXPECT_EQ(overlay.panel(), panel);  // made once, then reused
    EXPECT_EQ(panel->geometry(), QRect(150, 60, 420, 320));
    EXPECT_TRUE(overlay.isShowing());
    overlay.show({}, std::nullopt, kOverlayWindow);
    EXPECT_FALSE(overlay.isShowing());
    overlay.show(overlayMarks(), std::nullopt, kOverlayWindow);
    EXPECT_TRUE(overlay.isShowing());
    overlay.hide();
    EXPECT_FALSE(overlay.isShowing());
    EXPECT_EQ(overlay.panel(), panel);
}
