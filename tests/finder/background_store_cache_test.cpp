#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <functional>

#include "finder/BackgroundStoreCache.h"
#include "platform/KeyedArchiveWriter.h"
#include "support/PlatformFakes.h"
#include "support/TempRoot.h"

using namespace rk;

namespace {

// A store of one item with this name, modified at this many nanoseconds past a fixed second.
void writeStore(const test::TempRoot& root, const QString& logical, const QString& name, long nanos = 5) {
    ArchivedItem item;
    item.name = name;
    item.url = "/Applications/A.app";
    root.writeFile(logical, KeyedArchiveWriter::store({{"501", {item}}}));
    const timespec times[2] = {{1'700'000'000, nanos}, {1'700'000'000, nanos}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(root.disk(logical)).constData(), times, 0), 0);
}

}  // namespace

// Bytes rewritten in place under the same size and time read as the last
// parse; any change of the file's identity, or of the newest file, reads anew.
TEST(BackgroundStoreCache, ReusesTheLastParseWhileTheFileIsTheSame) {
    test::TempRoot root;
    test::FakeFileProbe probe;
    const QString store = BackgroundStore::folder() + "/BackgroundItems-v4.btm";
    const QString disk = root.disk(store);
    struct Case {
        const char* name;
        std::function<void()> change;
        const char* read;
    } cases[] = {
        {"nothing else", [] {}, "Alpha"},
        {"modified a nanosecond later", [&] { writeStore(root, store, "Bravo", 6); }, "Bravo"},
        {"replaced by a new file",
         [&] {
             writeStore(root, store + ".new", "Delta");
             std::rename(QFile::encodeName(disk + ".new").constData(), QFile::encodeName(disk).constData());
         },
         "Delta"},
        {"a newer store beside it",
         [&] { writeStore(root, BackgroundStore::folder() + "/BackgroundItems-v5.btm", "Echo"); }, "Echo"},
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
        writeStore(root, store, "Alpha");
        EXPECT_EQ(read(), "Alpha");
        writeStore(root, store, "Bravo");  // the same size and time
        c.change();
        EXPECT_EQ(read(), c.read) << c.name;
    }
}
