#pragma once
// Handing a link or a file to the desktop's own opener (freedesktop's
// xdg-open), with an honest answer: the host workspace's links and the host
// file viewer's folders go through here. Any thread; it blocks the caller
// for at most `queryLimit` plus `answerLimit`.
//
// A link whose scheme is not one the opener always takes (web, mail and
// file links) is handed over only when the desktop names an application
// for its scheme, asked of xdg-mime, which looks the answer up and starts
// nothing; otherwise xdg-open would hunt through every browser it knows and
// report each one missing. The opener runs in a session of its own, its
// error channel read by us and never passed to the terminal; its exit
// status answers. One still running at `answerLimit` is running the
// application it found and counts as handed over; it is left to finish,
// and reaped, in the background.

#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

namespace rk {

struct DesktopOpener {
    static constexpr std::chrono::milliseconds queryLimit{2000};
    // An opener that refuses answers in a few hundredths of a second; one
    // still running by then has found its application, and the window waits
    // no longer for it.
    static constexpr std::chrono::milliseconds answerLimit{300};

    // None when `url` was handed to something that opens it; else why not,
    // in one line (what the opener wrote on its error channel included).
    // Logs nothing: the caller writes its one line.
    static std::optional<QString> open(const QUrl& url);

    // What a tool wrote, as one line: blanks squeezed, at most 300 characters.
    static QString oneLine(const QByteArray& bytes);
};

}  // namespace rk
