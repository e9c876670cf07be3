#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>
#include <functional>

#include "finder/BackgroundStoreCache.h"
#include "support/KeyedArchiveWriter.h"
#include "support/PlatformFakes.h"
#include "support/TempRoot.h"

using namespace rk;

namespace {

QByteArray storeNaming(const QString& name) {
    test::ArchivedItem item;
    item.name = name;
    item.url = "/Applications/A.app";
    return test::KeyedArchiveWriter::store({{"501", {item}}});
}

void setModified(const QString& disk, timespec when) {
    const timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(disk).constData(), times, 0), 0);
}

}  // namespace

// Bytes rewritten in place under the same size and time read as the last
// parse; any change of the file's identity, or of the newest file, reads anew.
TEST(BackgroundStoreCache, ReusesTheLastParseWhileTheFileIsTheSame) {
    test::TempRoot root;
    test::FakeFileProbe probe;
    const QString store = BackgroundStore::folder() + "/BackgroundItems-v4.btm";
    const QString disk = root.disk(store);
    timespec was{};
    const auto rewrite = [&](const QString& name) {
        root.writeFile(store, storeNaming(name));
        setModified(disk, was);
    };
    struct Case {
        const char* name;
        std::function<void()> change;
        const char* read;
    } cases[] = {
        {"nothing else", [] {}, "Alpha"},
        {"modified a nanosecond later",
         [&] {
             setModified(disk, {was.tv_sec, was.tv_nsec + 1});
         },
         "Bravo"},
        {"grown", [&] { rewrite("Charlie"); }, "Charlie"},
        {"replaced by a new file",
         [&] {
             root.writeFile(store + ".new", storeNaming("Delta"));
             setModified(disk + ".new", was);
             QFile::remove(disk);
             QFile::rename(disk + ".new", disk);
         },
         "Delta"},
        {"a newer store beside it",
         [&] { root.writeFile(BackgroundStore::folder() + "/BackgroundItems-v5.btm", storeNaming("Echo")); },
         "Echo"},
        {"closed to us", [&] { probe.openErrors[disk] = EACCES; }, "no access"},
    };
    for (const Case& c : cases) {
        root.remove(BackgroundStore::folder());
        probe.openErrors.clear();
        BackgroundStoreCache cache;
        const auto read = [&] {
            const auto result = cache.read(root.paths(), probe);
            return result ? result->records.value(0).name : result.error().description();
        };
        root.writeFile(store, storeNaming("Alpha"));
        EXPECT_EQ(read(), "Alpha");
        struct stat info {};
        ASSERT_EQ(stat(QFile::encodeName(disk).constData(), &info), 0);
        was = info.st_mtim;
        rewrite("Bravo");  // the same size and time
        c.change();
        EXPECT_EQ(read(), c.read) << c.name;
    }
}
