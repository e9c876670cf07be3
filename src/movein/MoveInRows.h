#pragma once
// The rows of the Move-In page as reconnect items: the checklist's rows
// (checked live off the main thread, marked in "move-in-marks.json"), the
// permissions the permission wizard was configured with (probed on the main
// thread), and the made-up rows of demo mode.

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

#include "movein/MoveIn.h"
#include "movein/Reconnect.h"
#include "permissions/Permission.h"
#include "platform/SystemPaths.h"
#include "platform/Workspace.h"

namespace rk {

struct MoveInRows {
    // Receives the usage event of a button: "movein.fix" when a row is
    // opened, "movein.marked" when the person confirms one.
    using Recorder = std::function<void(const QString& event)>;
    // Turns a shown text into the text to show (the demo's marketing names).
    using Texts = std::function<QString(const QString&)>;

    static QList<KTReconnectItem> checklist(const MoveInList& list,
                                            const QString& marksPath = MoveIn::marksURL(),
                                            const SystemPaths& paths = SystemPaths::current(),
                                            Recorder record = {},
                                            Workspace& workspace = Workspace::current());

    static QList<KTReconnectItem> permissions(const QList<KTPermission>& permissions,
                                              Workspace& workspace = Workspace::current());

    // Rows that show every state without looking at this Mac; their buttons do nothing.
    static QList<KTReconnectItem> demo(const Texts& t = {});

    // What a checklist row's button did, given the title it showed: the usage
    // event it stands for (empty when it did nothing) and, when nothing here
    // took the row's link (or its app or link was not found), the line that
    // says so; the row is then not marked opened.
    struct Pressed {
        QString event{};
        std::optional<QString> refused{};
    };
    static Pressed press(const MoveInSpec& spec, const QString& actionLabel, const QString& marksPath,
                         const SystemPaths& paths, Workspace& workspace);
    // The line for a link nothing here opens: System Settings' own for its pages.
    static QString refusedLine(const QUrl& url);
    // The line for anything else a row could not open.
    static QString notOpenedLine();
};

}  // namespace rk
