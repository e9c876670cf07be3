#include "support/FakeTools.h"

#include <QFile>
#include <QFileInfo>

namespace rk::test {

namespace {
// The log and the answers, in a folder of the machine that nothing else reads.
const QString kLog = "/.fake-tools/calls";

QString modeFile(MacTool tool) {
    return "/.fake-tools/mode-" + QString::number(static_cast<int>(tool));
}
}  // namespace

QString FakeTools::quoted(QString text) {
    return "'" + text.replace("'", "'\\''") + "'";
}

QString FakeTools::install(MacTool tool) {
    // The answer for the n-th call, when one was given, else the tool's own.
    const QString name = QFileInfo(SystemPaths::toolLocation(tool)).fileName();
    return place(tool,
                 "mode=" + quoted(root_.disk(modeFile(tool))) + "\nn=$(grep -c " + quoted("^" + name + " ") +
                     " " + quoted(root_.disk(kLog)) + ")\n[ -f \"$mode.$n\" ] && mode=\"$mode.$n\"" +
                     "\n[ -f \"$mode\" ] || exit 0\ntail -n +2 \"$mode\"\nexit \"$(head -n 1 \"$mode\")\"\n");
}

QString FakeTools::installStandIn(MacTool tool, const QString& prelude) {
    const QString name = QFileInfo(SystemPaths::toolLocation(tool)).fileName();
    return place(tool, prelude + "exec /bin/sh " +
                           quoted(QStringLiteral(ROWKEEPER_STAND_IN_SOURCES "/") + name) + " \"$@\"\n");
}

QString FakeTools::place(MacTool tool, const QString& body) {
    root_.makeFolder("/.fake-tools");
    const QString name = QFileInfo(SystemPaths::toolLocation(tool)).fileName();
    const QString script =
        "#!/bin/sh\nprintf '%s\\n' " + quoted(name) + "\" $*\" >> " + quoted(root_.disk(kLog)) + "\n" + body;
    const QString path = root_.writeFile(SystemPaths::toolLocation(tool), script.toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void FakeTools::answer(MacTool tool, int status, const QByteArray& output) {
    root_.writeFile(modeFile(tool), QByteArray::number(status) + "\n" + output);
}

void FakeTools::answerCall(MacTool tool, int call, int status, const QByteArray& output) {
    root_.writeFile(modeFile(tool) + "." + QString::number(call), QByteArray::number(status) + "\n" + output);
}

QStringList FakeTools::calls() const {
    QFile log(root_.disk(kLog));
    QStringList lines;
    if (log.open(QIODevice::ReadOnly)) {
        for (const QString& line : QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts))
            lines << line.trimmed();
    }
    return lines;
}

}  // namespace rk::test
