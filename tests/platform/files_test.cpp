#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>

#include "platform/FileProbe.h"
#include "platform/OutputFolder.h"
#include "support/FileShapes.h"
#include "support/Printers.h"

using namespace rk;
using test::FileShape;

namespace {

QString put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

QByteArray contents(const QString& path) {
    return readWholeFile(path, 1024).valueOr(QByteArray("(unread)"));
}

}  // namespace

// A file of exactly the cap is read whole, one byte more is refused; nothing
// but a regular file is read or waited on, by the read or by the check alone.
TEST(BoundedRead, UpToTheCapAndOnlyRegularFiles) {
    QTemporaryDir dir;
    constexpr qint64 cap = 100;
    const std::pair<QString, int> cases[] = {
        {put(dir.filePath("at-cap"), QByteArray(cap, 'x')), 0},
        {put(dir.filePath("empty"), {}), 0},
        {put(dir.filePath("over"), QByteArray(cap + 1, 'x')), EFBIG},
        {dir.filePath("missing"), ENOENT},
        {dir.filePath("pipe"), EINVAL},
        {dir.filePath("zeros"), EINVAL},
        {dir.filePath("folder"), EINVAL},
    };
    ASSERT_TRUE(test::plant(FileShape::pipe, dir.filePath("pipe")));
    ASSERT_TRUE(test::plant(FileShape::linkToZeros, dir.filePath("zeros")));
    ASSERT_TRUE(test::plant(FileShape::folder, dir.filePath("folder")));
    EXPECT_TRUE(test::finishesWithoutWaitingOn({dir.filePath("pipe")}, [&] {
        for (const auto& [path, error] : cases) {
            const auto read = readWholeFile(path, cap);
            EXPECT_EQ(read ? 0 : read.error(), error) << path.toStdString();
            EXPECT_EQ(read.valueOr(QByteArray()).size(), error ? 0 : QFileInfo(path).size());
            const auto checked = checkRegularFile(path, cap);
            EXPECT_EQ(checked ? 0 : checked.error(), error) << path.toStdString();
        }
    }));
}

// A file is put in place whole and an earlier one of ours replaced, never
// written into; links, non-files and other accounts' files at the name, and
// folders others could have filled with them, are refused and left alone.
TEST(OutputFolder, ReplacesOurFilesAndRefusesWhatOthersCouldHavePut) {
    QTemporaryDir dir;
    const QString target = put(dir.filePath("target"), "mine");
    const bool root = ::geteuid() == 0;  // only root can give a file away
    const auto own = [&](const QString& name, mode_t mode = 0755, uid_t owner = ::geteuid()) {
        const QString folder = dir.filePath(name);
        QDir().mkdir(folder);
        const QByteArray path = QFile::encodeName(folder);
        EXPECT_EQ(::chmod(path.constData(), mode) | ::chown(path.constData(), owner, gid_t(-1)), 0);
        return folder;
    };
    const auto at = [](const QString& folder) { return folder + "/shot.png"; };
    struct Case {
        const char* name;
        QString folder;
        std::function<void(const QString& file)> before;
        QString refusal;  // empty: written
    } cases[] = {
        {"a new folder", dir.filePath("new/deeper"), [](const QString&) {}, ""},
        {"an earlier file of ours", own("earlier"),
         [&](const QString& file) {
             ::link(QFile::encodeName(put(file, "old")).constData(), QFile::encodeName(dir.filePath("hard")).constData());
         },
         ""},
        {"a link at the name", own("link"), [&](const QString& file) { QFile::link(target, file); },
         "a link stands at that name"},
        {"a pipe at the name", own("pipe"), [](const QString& file) { test::plant(FileShape::pipe, file); },
         "something other than a file stands at that name"},
        {"a folder others may write", own("shared", 0775), [](const QString&) {},
         "others may write to the folder"},
        {"a sticky folder", own("sticky", 01777), [](const QString&) {}, ""},
        {"a link at the folder's place", dir.filePath("folder-link"),
         [&](const QString&) { QFile::link(own("linked"), dir.filePath("folder-link")); }, "the folder is a link"},
        {"a folder inside a file", target + "/shots", [](const QString&) {},
         "could not make or open the folder (errno 20)"},
    };
    for (const auto& c : cases) {
        c.before(at(c.folder));
        const auto written = OutputFolder(c.folder).write("shot.png", "new");
        EXPECT_EQ(written ? QString() : written.error(), c.refusal) << c.name;
        EXPECT_EQ(contents(at(c.folder)) == "new", c.refusal.isEmpty()) << c.name;
        EXPECT_EQ(QDir(c.folder).entryList(QDir::Hidden | QDir::Files).filter(".shot"), QStringList()) << c.name;
    }
    EXPECT_EQ(contents(target), "mine");
    EXPECT_EQ(contents(dir.filePath("hard")), "old");
    EXPECT_EQ(OutputFolder(dir.path()).write("../escape", "x").error(), "not a file name");
    if (!root)
        return;
    const uid_t nobody = 65534;
    EXPECT_EQ(OutputFolder(own("theirs", 0755, nobody)).write("shot.png", "x").error(),
              "the folder belongs to another account");
    const QString sticky = own("sticky", 01777);
    ASSERT_EQ(::chown(QFile::encodeName(put(at(sticky), "theirs")).constData(), nobody, gid_t(-1)), 0);
    EXPECT_EQ(OutputFolder(sticky).write("shot.png", "x").error(), "the file there belongs to another account");
    EXPECT_EQ(contents(at(sticky)), "theirs");
}
