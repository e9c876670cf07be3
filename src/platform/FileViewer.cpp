#include "platform/FileViewer.h"

#include <QDebug>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <chrono>

#include "platform/DesktopOpener.h"
#include "platform/Machine.h"
#include "platform/Seam.h"

namespace rk {

FileViewer& FileViewer::current() {
    return Seam<FileViewer>::current<HostFileViewer>();
}

void FileViewer::setCurrent(FileViewer* viewer) {
    Seam<FileViewer>::setCurrent(viewer);
}

bool HostFileViewer::reveal(const QString& diskPath) {
    QString manager = QStringLiteral("dbus-send is not installed");
    const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
    if (!dbusSend.isEmpty()) {
        const ToolRun run = Machine::current().run(
            dbusSend,
            {QStringLiteral("--session"), QStringLiteral("--print-reply"),
             QStringLiteral("--dest=org.freedesktop.FileManager1"),
             QStringLiteral("/org/freedesktop/FileManager1"),
             QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
             QStringLiteral("array:string:") + QUrl::fromLocalFile(diskPath).toString(QUrl::FullyEncoded),
             QStringLiteral("string:")},
            std::chrono::milliseconds(2000));
        if (run.finished() && run.exitCode == 0)
            return true;
        manager = run.finished() ? DesktopOpener::oneLine(run.err) : QStringLiteral("no answer");
    }
    const std::optional<QString> refused =
        DesktopOpener::open(QUrl::fromLocalFile(QFileInfo(diskPath).absolutePath()));
    if (refused) {
        qInfo().noquote() << "FileViewer: could not show " + diskPath + ": the file manager: " + manager +
                                 "; the folder: " + *refused;
    }
    return !refused;
}

}  // namespace rk
