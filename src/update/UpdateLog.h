#pragma once
// What the updater says: every step goes to the system log as one
// "[KTUpdate] <message>" line and to "updater.log", one line per entry:
// "yyyy-MM-dd HH:mm:ss app: <message>" in local time. The swap script appends
// its own " shim: " lines to the same file. Status messages also reach the
// host's `onStatus`, and `alert` shows a message to the person.
//
// The log file lives where this platform keeps an app's logs: the XDG state
// folder ($XDG_STATE_HOME, else ~/.local/state), in a folder named after the
// app. It is only ever appended to; nothing trims, rotates or replaces it.
//
// Every entry and status message is one line of text as it reads: the
// control characters in it (line breaks, NUL, ...) and the characters that
// turn the direction of text are each written as U+FFFD, so that a value
// from outside (a feed's text, a path, a tool's answer) can never start a
// forged line or turn the rest of one around.
//
// All three calls may be made from any thread and return at once: the file
// line is written on the log queue, in the order of the calls, and the
// caller never waits for the disk. A log that cannot be written loses that
// entry silently; the system log line is still written.

#include <QString>

namespace rk::KTUpdate {

// A control character (C0, DEL, C1, line and paragraph separators), or one
// that sets or turns the direction of text (marks, embeddings, overrides,
// isolates).
bool isControlOrDirection(QChar c);
// `text` with each such character written as U+FFFD.
QString plainLine(QString text);

// One log entry.
void trace(const QString& message);
// Only the system log line, for what the updater says while it is off or
// about the host's wiring.
void systemLog(const QString& message);
// `trace`, then `onStatus(message)` on the main thread (the hook is read when
// that runs, so a handler installed meanwhile receives it).
void status(const QString& message);
// Shows `message` under `title` on the main thread, with the app brought to
// the front: through `presentNotice` when the host set it, else through the
// built-in box (`MessageBoxes`).
void alert(const QString& title, const QString& message);

// The log file: worked out on first use unless set before.
QString logPath();
void setLogPath(const QString& path);

// The built-in message box: the updater's views put theirs in place; until
// then nothing is shown, since the updater itself has no windows.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Brings the app to the front, ahead of other apps.
    virtual void activate() {}
    // An informational box with `title`, `message` and one "OK" button, run modally.
    virtual void notice(const QString& title, const QString& message) {
        Q_UNUSED(title)
        Q_UNUSED(message)
    }
    // A modal box with `title`, `message` and two buttons, `confirmLabel`
    // first; true when the person chose it. The texts carry the feed's
    // version, so they are shown as plain text, never as rich text. Showing
    // nothing answers as "Later" would.
    virtual bool confirm(const QString& title, const QString& message, const QString& confirmLabel,
                         const QString& cancelLabel) {
        Q_UNUSED(title)
        Q_UNUSED(message)
        Q_UNUSED(confirmLabel)
        Q_UNUSED(cancelLabel)
        return false;
    }

    static MessageBoxes& current();
    // nullptr restores the one that shows nothing. The caller keeps ownership.
    static void setCurrent(MessageBoxes* boxes);
};

}  // namespace rk::KTUpdate
