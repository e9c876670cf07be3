// Where things are on the machine (logical paths under a re-rooted machine,
// the app's bundle and folders, the machine's identity file) and the
// platform's small values: ages on the clock, boxes, and text order.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/AppFolders.h"
#include "platform/BundleInfo.h"
#include "platform/Clock.h"
#include "platform/Geometry.h"
#include "platform/MachineIdentity.h"
#include "platform/SystemPaths.h"
#include "platform/Text.h"

namespace rk {
namespace {

TEST(SystemPaths, TildeOnlyAtFolderBoundary) {
    const auto paths = SystemPaths::rerooted("/tmp/root", "/Users/ann");
    const std::pair<const char*, const char*> cases[] = {
        {"/Users/ann", "~"},
        {"/Users/ann/Library/x", "~/Library/x"},
        {"/Users/anna/x", "/Users/anna/x"},
        {"/Applications/Tool.app", "/Applications/Tool.app"},
    };
    for (const auto& [path, want] : cases)
        EXPECT_EQ(paths.tilde(path), want) << path;
}

TEST(SystemPaths, DiskMapsLogicalPathsUnderTheRoot) {
    const auto paths = SystemPaths::rerooted("/tmp/root/", "/Users/ann/");
    EXPECT_EQ(paths.home(), "/Users/ann");
    EXPECT_EQ(paths.disk(paths.userTCC()),
              "/tmp/root/Users/ann/Library/Application Support/com.apple.TCC/TCC.db");
    EXPECT_EQ(paths.disk("relative/x"), "relative/x");
    EXPECT_EQ(SystemPaths::host().disk("/Library"), "/Library");
}

TEST(BundleInfo, TheBundleIsTheAppFolderAboveContentsMacOS) {
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"/Applications/Tool.app/Contents/MacOS/Tool", QString("/Applications/Tool.app")},
        {"/Applications/Tool.app/Contents/MacOS/../MacOS/Tool", QString("/Applications/Tool.app")},
        {"/usr/local/bin/rowkeeper", std::nullopt},
        {"/x/Tool/Contents/MacOS/Tool", std::nullopt},
        {"/x/Tool.app/Contents/Tool", std::nullopt},
        {"/.app/Contents/MacOS/Tool", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [executable, bundle] : cases)
        EXPECT_EQ(BundleInfo::enclosingBundle(executable), bundle) << executable.toStdString();
}

// The Move-In checklist only reads from the folder: naming it must neither
// make it nor move the old one over; preparing it for a write does both, or
// makes a missing folder. No base means the data location.
TEST(AppFolders, OnlyPreparingTouchesTheDisk) {
    QTemporaryDir base;
    const QString old = QDir(base.path()).filePath("Lark Spur");
    ASSERT_TRUE(QDir().mkpath(old));
    const QString folder = QDir(base.path()).filePath("Rowkeeper");
    EXPECT_EQ(AppFolders::support(base.path()), folder);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists(old));
    EXPECT_EQ(AppFolders::preparedSupport(base.path()), folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_TRUE(QFileInfo(AppFolders::preparedSupport(base.path() + "/deeper/still")).isDir());
    qputenv("XDG_DATA_HOME", QFile::encodeName(base.path()));
    EXPECT_EQ(AppFolders::support(), folder);
    qunsetenv("XDG_DATA_HOME");
}

// The identity file under the machine's root, trimmed; none when it is
// missing or blank. Made without paths, it follows the current ones.
TEST(MachineIdentity, ReadsTheIdentityFileUnderTheMachinesRoot) {
    QTemporaryDir root;
    const HostMachineIdentity identity(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(identity.platformIdentity(), std::nullopt);
    ASSERT_TRUE(QDir().mkpath(root.path() + "/etc"));
    QFile file(root.path() + "/etc/machine-id");
    const QString id = "5f3c0a9e1b2d4c6e8f0a1b2c3d4e5f60";
    for (const auto& [data, want] :
         {std::pair<QByteArray, std::optional<QString>>{" \n", std::nullopt}, {id.toLatin1() + "\n", id}}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
        file.close();
        EXPECT_EQ(identity.platformIdentity(), want);
    }
    SystemPaths::setCurrent(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(HostMachineIdentity().platformIdentity(), id);
    SystemPaths::setCurrent(SystemPaths::host());
}

Clock::Time at(double seconds) {
    using namespace std::chrono;
    return Clock::Time(duration_cast<Clock::Time::duration>(duration<double>(seconds)));
}

TEST(Clock, NeverAndTheFutureAreOlderThanAnyAgeAndNothingOverflows) {
    const Clock::Time now = at(1'700'000'000);
    struct Case {
        const char* name;
        std::optional<Clock::Time> then;
        bool older;
    } cases[] = {
        {"never", std::nullopt, true},
        {"exactly at the limit", at(1'700'000'000 - 3.0), false},
        {"just past the limit", at(1'700'000'000 - 3.001), true},
        {"just now", now, false},
        // The wall clock was set back after the stamp: waiting for it to
        // catch up would stall whatever the stamp throttles.
        {"in the future (clock set back)", at(1'700'000'100), true},
        {"a hair in the future", at(1'700'000'000.001), true},
        // now minus the earliest time overflows a signed duration (the sanitizers would say).
        {"earliest representable time", Clock::Time::min(), true},
        {"latest representable time", Clock::Time::max(), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isOlderThan(c.then, 3.0, now), c.older) << c.name;
}

TEST(Rect, EqualityComparesStandardisedBoxesExactly) {
    const Rect box{10, 20, 300, 28};
    struct Case {
        const char* name;
        Rect other;
        bool equal;
    } cases[] = {
        {"the same numbers", Rect{10, 20, 300, 28}, true},
        {"negative width", Rect{310, 20, -300, 28}, true},
        {"negative height", Rect{10, 48, 300, -28}, true},
        {"both negative", Rect{310, 48, -300, -28}, true},
        {"moved by 1e-13", Rect{10, 20 + 1e-13, 300, 28}, false},
        {"wider by 1e-12", Rect{10, 20, 300 + 1e-12, 28}, false},
        {"negative width, one point off", Rect{311, 20, -300, 28}, false},
        {"mirrored, not standardised", Rect{10, 20, -300, 28}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(box == c.other, c.equal) << c.name;
        EXPECT_EQ(c.other == box, c.equal) << c.name;
        if (c.equal) {
            EXPECT_EQ(qHash(box), qHash(c.other)) << c.name;
        }
    }
    EXPECT_EQ((Rect{0, 0, 0, 0}), (Rect{-0.0, 0, -0.0, 0}));
    EXPECT_EQ(qHash(Rect{0, 0, 0, 0}), qHash(Rect{-0.0, 0, -0.0, 0}));
}

TEST(Text, OrdersByScalarValueNotUtf16Units) {
    const QString astral = QString::fromUcs4(U"\U0001F600");  // surrogate pair in UTF-16
    const QString high = QString::fromUcs4(U"\uFF21");        // fullwidth A, above the surrogates
    EXPECT_TRUE(Text::less(high, astral));
    EXPECT_FALSE(Text::less(astral, high));
    EXPECT_TRUE(Text::less("Zebra", "apple"));  // case matters: 'Z' < 'a'
    // Decomposed and composed forms are one title.
    EXPECT_EQ(Text::compare(QString::fromUtf8("e\xCC\x81"), QString::fromUtf8("\xC3\xA9")), 0);
}

}  // namespace
}  // namespace rk
