#include <gtest/gtest.h>

#include "finder/WindowShot.h"
#include "support/QtApp.h"
#include "support/SimulatedPhoto.h"

using namespace rk;
using rk::test::SimulatedPhoto;
using rk::test::SimulatedWindow;
using ShotFailure = WindowShot::Failure;

namespace {

[[maybe_unused]] const auto* const kGui =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::gui, "window_shot_test"));

SimulatedWindow window(quint32 number, Rect frame, double scale) {
    SimulatedWindow w;
    w.number = number;
    w.scale = scale;
    w.layout.window = frame;
    return w;
}

}  // namespace

TEST(WindowShot, PhotographsTheWindowAtPointsTimesScaleTruncatedOrFails) {
    SimulatedPhoto capture;
    capture.windows = {window(7, Rect{0, 0, 300, 300}, 1), window(812, Rect{10, 10, 100.6, 200.4}, 2)};
    const auto photo = WindowShot::capture(812, capture);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->size(), QSize(201, 400));
    EXPECT_EQ(capture.captureRequests, 1);

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
    for (const auto& c : cases)
        EXPECT_EQ(WindowShot::pixelSize(c.frame, c.scale), c.want) << c.frame.width << " x " << c.scale;
    const QString outOfRange = "the window's size in pixels is out of range";
    const QString declined = "The user declined TCCs for application, window, display capture";
    struct Failing {
        const char* name;
        qint64 number;
        double scale;
        QString listingError;  // empty: none
        QString captureError;
        ShotFailure want;
        int requests;
    } failures[] = {
        {"another number", 8, 1, {}, {}, ShotFailure::windowNotFound(), 0},
        {"a negative number", -1, 1, {}, {}, ShotFailure::windowNotFound(), 0},
        {"the number plus 2^32", 0x1'0000'0007, 1, {}, {}, ShotFailure::windowNotFound(), 0},
        {"the listing refused", 7, 1, declined, {}, ShotFailure::noPermission(), 0},
        {"the capture failed", 7, 1, {}, "interrupted", ShotFailure::failed("interrupted"), 1},
        {"a size no image can have", 7, std::nan(""), {}, {}, ShotFailure::failed(outOfRange), 0},
    };
    for (const auto& c : failures) {
        SimulatedPhoto shots;
        shots.windows = {window(7, Rect{0, 0, 300, 300}, c.scale)};
        if (!c.listingError.isEmpty())
            shots.listingError = c.listingError;
        if (!c.captureError.isEmpty())
            shots.captureError = c.captureError;
        const auto shot = WindowShot::capture(c.number, shots);
        ASSERT_FALSE(shot) << c.name;
        EXPECT_EQ(shot.error(), c.want) << c.name;
        EXPECT_EQ(shots.captureRequests, c.requests) << c.name;
    }
}
