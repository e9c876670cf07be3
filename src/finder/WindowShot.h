#pragma once
// One still photo of one window (the System Settings window a snapshot
// named by its number) at the window's full pixel resolution, without the
// pointer and without the shadow. Blocks while the capture service answers:
// callers run it off the main thread and bring the result back.

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

#include "platform/Geometry.h"
#include "platform/Result.h"
#include "platform/ScreenCapture.h"

namespace rk {

struct WindowShot {
    struct Failure {
        enum class Kind {
            failed,          // the capture itself reported an error (`text`)
            noPermission,    // the list of shareable windows could not be had
            windowNotFound,  // no on-screen window has the number asked for
        };
        Kind kind = Kind::failed;
        QString text;  // the capture error; empty for the other kinds

        static Failure failed(const QString& text) { return {Kind::failed, text}; }
        static Failure noPermission() { return {Kind::noPermission, {}}; }
        static Failure windowNotFound() { return {Kind::windowNotFound, {}}; }

        friend bool operator==(const Failure&, const Failure&) = default;
    };

    // The photo of the window with that number, or why there is none.
    static Result<QImage, Failure> capture(qint64 windowNumber,
                                           ScreenCapture& capture = ScreenCapture::current());

    // A frame in points times the point-to-pixel scale, each side truncated
    // toward zero; none when a side is not a number of pixels an image can
    // have (negative, not finite, or beyond the integer range).
    static std::optional<QSize> pixelSize(const Rect& frame, double scale);
};

}  // namespace rk
