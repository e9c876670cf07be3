#pragma once
// One row of the Move-In checklist ("move-in.json"), and the list itself.
//
// The checklist file is written by the person (or a setup script) and only
// read here. Its shape:
//
//   { "version": 1,
//     "since": 1767225600,            // the move, in seconds since 1970 (optional)
//     "rows": [ <row>, ... ] }        // "items" is read when "rows" is absent
//
// A bare array of rows is read as well. A row:
//
//   "id"           text, required: the key of the person's marks
//   "title"        text, required: what the row is about
//   "group"        text: a heading the view collects rows under
//   "systemImage"  text: the name of the row's symbol
//   "actionLabel"  text: the button's title before the row is opened
//   "optional"     true/false: the row may be left undone
//   "how"          text: one line on how to reconnect it by hand
//   "note"         text: a second, smaller line
//   "check"        object, below: how the row is checked live
//   "action"       object: { "url": link to open } or { "app": application to open }
//
// The check kinds and the fields each one reads:
//
//   "tcc-granted"            clients [text], service text, alsoAccept [text]
//       Green when every client has an allowed row in the privacy database
//       for the service or for one of the services in alsoAccept. A database
//       that cannot be read is never green.
//   "file-newer-than"        paths [text] (and/or path text), tier
//       Something at or below one of the paths changed after the move:
//       opened (tier "opened", the default) or green (tier "verified").
//   "process-and-file-newer" process text, path text (and/or paths), tier
//       As above, and the process must be running as well.
//   "codex-login"            (no fields)
//       Green when the Codex tool says "Logged in ..."; without the tool the
//       row cannot be checked.
//   "codesign-identity"      contains text
//       Green when the keychain holds a valid code-signing identity whose
//       name contains the text (any identity when the text is absent).
//   "app-installed"          bundle text
//       Green when an application with that bundle identifier is installed.
//   "file-exists"            path text
//       Green when something exists at the path.
//   "none"                   (no fields; also a row without a check)
//       Only the person can tell: green once they confirm it.
//
// Paths may start with "~" for the home folder. Rows whose check can only
// show that the person opened something (kind "none", and the two file kinds
// unless their tier is "verified") turn green when the person presses
// Confirm; the other kinds only by what the Mac shows. Any other kind cannot
// be checked and says so.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace rk {

struct MoveInSpec {
    struct Check {
        QString kind{};
        std::optional<QString> tier{};
        std::optional<QString> bundle{};
        std::optional<QStringList> clients{};
        std::optional<QString> service{};
        std::optional<QStringList> alsoAccept{};
        std::optional<QString> path{};
        std::optional<QStringList> paths{};
        std::optional<QString> process{};
        std::optional<QString> contains{};

        friend bool operator==(const Check&, const Check&) = default;
    };

    // What the row's button opens.
    struct Action {
        std::optional<QString> url{};  // a link: https:, x-apple.systempreferences:, file:
        std::optional<QString> app{};  // an application, by bundle identifier or path

        bool isEmpty() const { return !url && !app; }
        friend bool operator==(const Action&, const Action&) = default;
    };

    QString id{};
    QString title{};
    std::optional<QString> group{};
    std::optional<QString> systemImage{};
    std::optional<QString> actionLabel{};
    std::optional<bool> optional{};
    std::optional<QString> how{};
    std::optional<QString> note{};
    std::optional<Check> check{};
    std::optional<Action> action{};

    // The check's kind; "none" for a row without a check.
    QString kind() const { return check ? check->kind : QStringLiteral("none"); }

    friend bool operator==(const MoveInSpec&, const MoveInSpec&) = default;
};

struct MoveInList {
    std::optional<QDateTime> since{};  // the start of the move
    QList<MoveInSpec> specs{};         // in file order

    friend bool operator==(const MoveInList&, const MoveInList&) = default;
};

}  // namespace rk
