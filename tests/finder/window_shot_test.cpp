#include <gtest/gtest.h>

#include "finder/WindowShot.h"
#include "support/QtApp.h"
#include "support/SimulatedPhoto.h"

using namespace rk;
using rk::test::SimulatedIcon;
using rk::test::SimulatedPhoto;
using rk::test::SimulatedWindow;

namespace {

[[maybe_unused]] const auto* const kGui =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::gui, "window_shot_test"));

SimulatedWindow window(quint32 number, Rect frame, double scale) {
    SimulatedWindow w;
    w.number = number;
    w.scale = scale;
    w.layout = SimulatedPhoto::listLayout(frame, PaneSection::accessibility, frame.y + 100,
                                          {{"Editor", SimulatedIcon::colourful}});
    return w;
}

}  // namespace

TEST(WindowShot, PhotographsTheWindowAtItsFullPixelSize) {
    SimulatedPhoto capture;
    capture.windows = {window(7, Rect{0, 0, 300, 300}, 1), window(812, Rect{100, 50, 715, 650}, 2)};
    const auto photo = WindowShot::capture(812, capture);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->size(), QSize(1430, 1300));
    EXPECT_EQ(capture.captureRequests, 1);
}

TEST(WindowShot, SizeIsPointsTimesScaleTruncated) {
    SimulatedPhoto capture;
    capture.windows = {window(3, Rect{10, 10, 100.6, 200.4}, 2)};
    ASSERT_TRUE(WindowShot::capture(3, capture));
    EXPECT_EQ(capture.lastRequestedSize, QSize(201, 400));

    struct Case {
        Rect frame;
        double scale;
        std::optional<QSize> want;
    } cases[] = {
        {Rect{0, 0, 715, 650}, 2, QSize(1430, 1300)},
        {Rect{0, 0, 100.99, 50.5}, 1, QSize(100, 50)},
        {Rect{0, 0, 0, 50}, 2, QSize(0, 100)},
        {Rect{0, 0, -10, 50}, 2, std::nullopt},
        {Rect{0, 0, 100, 50}, std::numeric_limits<double>::infinity(), std::nullopt},
        {Rect{0, 0, std::nan(""), 50}, 2, std::nullopt},
        {Rect{0, 0, 3e9, 50}, 1, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowShot::pixelSize(c.frame, c.scale), c.want) << c.frame.width << " x " << c.scale;
    }
}

TEST(WindowShot, WindowNotOnScreenIsNotFound) {
    SimulatedPhoto capture;
    capture.windows = {window(7, Rect{0, 0, 300, 300}, 1)};
    for (const qint64 number : {qint64{8}, qint64{-1}, qint64{0x1'0000'0007}}) {
        const auto photo = WindowShot::capture(number, capture);
        ASSERT_FALSE(photo) << number;
        EXPECT_EQ(photo.error(), WindowShot::Failure::windowNotFound()) << number;
    }
    EXPECT_EQ(capture.captureRequests, 0);
}

TEST(WindowShot, ListingErrorMeansNoPermissionAndNoImageIsAskedFor) {
    SimulatedPhoto capture;
    capture.windows = {window(7, Rect{0, 0, 300, 300}, 1)};
    capture.listingError = QStringLiteral("The user declined TCCs for application, window, display capture");
    const auto photo = WindowShot::capture(7, capture);
    ASSERT_FALSE(photo);
    EXPECT_EQ(photo.error(), WindowShot::Failure::noPermission());
    EXPECT_EQ(capture.captureRequests, 0);
}

TEST(WindowShot, CaptureErrorIsPassedOnAsText) {
    SimulatedPhoto capture;
    capture.windows = {window(7, Rect{0, 0, 300, 300}, 1)};
    capture.captureError = QStringLiteral("the stream was interrupted");
    const auto photo = WindowShot::capture(7, capture);
    ASSERT_FALSE(photo);
    EXPECT_EQ(photo.error(), WindowShot::Failure::failed("the stream was interrupted"));
}

TEST(WindowShot, SizeNoImageCanHaveFailsWithoutAskingForOne) {
    SimulatedPhoto capture;
    capture.windows = {window(7, Rect{0, 0, 300, 300}, std::numeric_limits<double>::quiet_NaN())};
    const auto photo = WindowShot::capture(7, capture);
    ASSERT_FALSE(photo);
    EXPECT_EQ(photo.error().kind, WindowShot::Failure::Kind::failed);
    EXPECT_EQ(capture.captureRequests, 0);
}

TEST(WindowShot, TheLinuxHostIsNeverPermitted) {
    HostScreenCapture host;
    EXPECT_FALSE(host.preflight());
    const auto photo = WindowShot::capture(1, host);
    ASSERT_FALSE(photo);
    EXPECT_EQ(photo.error(), WindowShot::Failure::noPermission());
    EXPECT_FALSE(ScreenCapture::current().preflight());
}
