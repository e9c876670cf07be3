#include "platform/FileViewer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <chrono>

#include "platform/Machine.h"
#include "platform/Seam.h"

namespace rk {

FileViewer& FileViewer::current() {
    return Seam<FileViewer>::current<HostFileViewer>();
}

void FileViewer::setCurrent(FileViewer* viewer) {
    Seam<FileViewer>::setCurrent(viewer);
}

void HostFileViewer::reveal(const QString& diskPath) {
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
            return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(diskPath).absolutePath()));
}

}  // namespace rk
