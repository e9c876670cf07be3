#include <gtest/gtest.h>

#include <cerrno>

#include "finder/BackgroundStore.h"
#include "finder/FullDiskAccess.h"
#include "finder/TCCStore.h"
#include "support/PlatformFakes.h"
#include "support/TempRoot.h"

using namespace rk;

namespace {

class CountingFileProbe : public test::FakeFileProbe {
public:
    mutable int listings = 0;
    Result<QStringList, int> listFolder(const QString& diskPath) const override {
        ++listings;
        return FakeFileProbe::listFolder(diskPath);
    }
};

}  // namespace

TEST(FullDiskAccess, BothStoresOpenAndTheSecondIsAskedOnlyAfterTheFirst) {
    test::TempRoot root;
    CountingFileProbe files;
    const QString store = BackgroundStore::folder() + "/BackgroundItems-v9.btm";

    EXPECT_FALSE(FullDiskAccess::granted(root.paths(), files));
    EXPECT_EQ(files.listings, 0) << "the background-task store was asked although the database did not open";

    root.writeFile(TCCStore::userPath(), "db");
    EXPECT_FALSE(FullDiskAccess::granted(root.paths(), files));
    EXPECT_GT(files.listings, 0);

    root.writeFile(store, "store");
    EXPECT_TRUE(FullDiskAccess::granted(root.paths(), files));

    files.openErrors.insert(root.disk(store), EACCES);
    EXPECT_FALSE(FullDiskAccess::granted(root.paths(), files));
}
