#include "cli/SelfTestFiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "movein/DeviceMove.h"
#include "movein/MoveIn.h"

namespace rk {

namespace {

// A folder tree under the temporary folder. Whatever cannot be made is left
// out; the checks that need it look for it themselves.
class Tree {
public:
    explicit Tree(const QString& tempFolder)
        : root_(tempFolder + "/rk-newest-" + QUuid::createUuid().toString(QUuid::WithoutBraces)),
          move_(QDateTime::currentDateTime().addSecs(-3600)),
          dayBack_(QDateTime::currentDateTime().addSecs(-86400)) {}
    ~Tree() { QDir(root_).removeRecursively(); }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    QString at(const QString& relative) const { return root_ + "/" + relative; }

    void folder(const QString& relative) const { QDir().mkpath(at(relative)); }
    void write(const QString& relative, const QByteArray& contents = "x") const {
        QFile file(at(relative));
        if (file.open(QIODevice::WriteOnly))
            file.write(contents);
    }
    void link(const QString& relative, const QString& targetRelative) const {
        QFile::link(at(targetRelative), at(relative));
    }
    // Sets the modification date a day back, without following a link.
    void backdate(const QString& relative) const {
        const struct timespec times[2] = {{dayBack_.toSecsSinceEpoch(), 0}, {dayBack_.toSecsSinceEpoch(), 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(at(relative)).constData(), times, AT_SYMLINK_NOFOLLOW);
    }

    bool isLink(const QString& relative) const { return QFileInfo(at(relative)).isSymLink(); }
    bool exists(const QString& relative) const { return QFileInfo::exists(at(relative)); }

    // Nothing newer than the move at or below the path.
    bool quiet(const QString& relative) const {
        const std::optional<QDateTime> newest = MoveIn::newest(at(relative));
        return !newest || *newest < move_;
    }
    // Something newer than the move; no date counts as the distant past.
    bool opened(const QString& relative) const {
        const std::optional<QDateTime> newest = MoveIn::newest(at(relative));
        return newest && *newest > move_;
    }

private:
    QString root_;
    QDateTime move_;
    QDateTime dayBack_;
};

const QString kData = QStringLiteral("Containers/TEST.app/Data");

// A sandboxed app's data container: an old preference file, a fresh
// keychain, and links to fresh files elsewhere.
void buildContainer(const Tree& tree) {
    tree.folder(kData + "/Library/Keychains");
    tree.folder("fresh");
    tree.write(kData + "/Library/prefs.plist", "not a plist");
    tree.write(kData + "/Library/Keychains/keychain.db");
    tree.write("fresh/new.txt");
    tree.link(kData + "/Desktop", "fresh");
    tree.link(kData + "/latest.txt", "fresh/new.txt");
    for (const char* old : {"/Library/prefs.plist", "/Library", "/Library/Keychains", ""})
        tree.backdate(kData + old);
}

// An app's folder whose only fresh things are a link and a file four levels down.
void buildDeepFolder(const Tree& tree) {
    tree.folder("Setapp/Default/Databases/four");
    tree.write("Setapp/old.plist");
    tree.link("Setapp/Default/Databases/linked.json", "fresh/new.txt");
    tree.write("Setapp/Default/Databases/four/too-deep.db");
    for (const char* old : {"/old.plist", "/Default/Databases", "/Default/Databases/four", "/Default", ""})
        tree.backdate(QStringLiteral("Setapp") + old);
}

}  // namespace

void SelfTestFiles::run(SelfTestChecks& checks, const QString& tempFolder) {
    {
        const Tree tree(tempFolder);
        buildContainer(tree);
        // The decoys must be there, or the check would pass on nothing.
        const bool decoys = tree.isLink(kData + "/Desktop") && tree.isLink(kData + "/latest.txt") &&
                            tree.exists(kData + "/Library/Keychains/keychain.db");
        checks.check(decoys && tree.quiet(kData),
                     "decoy: a sandboxed app's links and Keychains never read as opened");
        tree.write(kData + "/Library/state.json");
        checks.check(tree.opened(kData), "control: a real file written since the move reads as opened");
        checks.check(tree.isLink(kData + "/Desktop") && !MoveIn::newest(tree.at(kData + "/Desktop")),
                     "decoy: a path that IS a link reads nothing");

        buildDeepFolder(tree);
        const bool deepDecoys = tree.isLink("Setapp/Default/Databases/linked.json") &&
                                tree.exists("Setapp/Default/Databases/four/too-deep.db");
        checks.check(deepDecoys && tree.quiet("Setapp"),
                     "decoy: a link at <path>/a/b and a file at <path>/a/b/c/f never read as opened");
        tree.write("Setapp/Default/Databases/Apps.sqlite");
        checks.check(tree.opened("Setapp"), "control: a real file at <path>/a/b/f reads as opened");
    }
    checks.check(KTDeviceMove::selftest(checks.out()), "device move detection selftest");
}

}  // namespace rk
