#include "finder/Presence.h"

#include <gtest/gtest.h>

#include "support/PlatformFakes.h"
#include "support/TempRoot.h"

using namespace rk;

namespace rk {
void PrintTo(const Liveness& l, std::ostream* os) {
    *os << int(l.kind()) << " \"" << l.evidence().toStdString() << "\"";
}
}  // namespace rk

namespace {

// Counts the questions, so a test can tell the registry was not asked.
class CountingRegistry : public test::FakeAppRegistry {
public:
    mutable int asked = 0;
    QStringList applicationPaths(const QString& id) const override {
        ++asked;
        return FakeAppRegistry::applicationPaths(id);
    }
};

const VolumeFlags kDiskImage{true, false};

}  // namespace

TEST(Presence, OfPath) {
    test::TempRoot root("/Users/anna");
    root.writeFile("/Users/anna/.Trash/Old.app/Contents/Info.plist");
    root.writeFile("/Volumes/Backup/Tools/Tool.app/Contents/Info.plist");
    root.writeFile("/usr/local/Cellar/tool/2.0/bin/tool");
    root.writeFile("/Users/anna/Apps/Sync.app/Contents/Info.plist");
    struct Case {
        const char* path;
        Liveness want;
    } cases[] = {
        {"/Users/anna/.Trash/Old.app", Liveness::gone("in the Trash")},
        {"/Users/anna/.Trash/Missing.app", Liveness::gone("in the Trash")},
        {"/Volumes/Archive/Tools/Tool.app",
         Liveness::driveNotConnected("on the drive \"Archive\", which is not connected")},
        {"/Volumes/Backup/Tools/Tool.app", Liveness::live("found at /Volumes/Backup/Tools/Tool.app")},
        {"/Volumes/Backup/Tools/Gone.app", Liveness::gone("nothing at /Volumes/Backup/Tools/Gone.app")},
        {"/Volumes/Archive", Liveness::driveNotConnected("on the drive \"Archive\", which is not connected")},
        {"/usr/local/Cellar/tool/1.0/bin/tool",
         Liveness::gone("an older Homebrew version; Homebrew moved it when it upgraded")},
        {"/opt/homebrew/Cellar/tool/1.0/bin/tool",
         Liveness::gone("an older Homebrew version; Homebrew moved it when it upgraded")},
        {"/usr/local/Cellar/tool/2.0/bin/tool",
         Liveness::live("found at /usr/local/Cellar/tool/2.0/bin/tool")},
        {"/Users/anna/Apps/Sync.app", Liveness::live("found at ~/Apps/Sync.app")},
        {"/Users/anna/Apps/Gone.app", Liveness::gone("nothing at ~/Apps/Gone.app")},
        {"/Users/annabel/.Trash/x", Liveness::gone("nothing at /Users/annabel/.Trash/x")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Presence::ofPath(c.path), c.want) << c.path;
}

TEST(Presence, IsOnDiskImage) {
    test::TempRoot root;
    test::FakeVolumes volumes;
    volumes.flagsOf["/Volumes/Image"] = kDiskImage;
    volumes.flagsOf["/Volumes/Internal"] = {true, true};
    volumes.flagsOf["/Volumes/Unknown"] = {true, std::nullopt};
    volumes.flagsOf["/Volumes/Writable"] = {false, false};
    volumes.flagsOf["/Volumes/Partial"] = {std::nullopt, false};
    struct Case {
        const char* path;
        bool want;
    } cases[] = {{"/Volumes/Image/Tool.app", true},
                 {"/Volumes/Internal/Tool.app", false},
                 {"/Volumes/Unknown/Tool.app", false},
                 {"/Volumes/Writable/Tool.app", false},
                 {"/Volumes/Partial/Tool.app", false},
                 {"/Volumes/Missing/Tool.app", false},
                 {"/Applications/Tool.app", false},
                 {"/Volumes/", false},
                 {"/Volumes/Image", true}};
    for (const auto& c : cases)
        EXPECT_EQ(Presence::isOnDiskImage(c.path, root.paths(), volumes), c.want) << c.path;
}

TEST(Presence, OfBundle) {
    test::TempRoot root;
    root.makeFolder("/Applications/Tool.app");
    root.makeFolder("/Users/anna/.Trash/Tool.app");
    root.makeFolder("/Volumes/Image/Tool.app");
    root.makeFolder("/Users/anna/Applications/Tool.app");
    test::FakeVolumes volumes;
    volumes.flagsOf["/Volumes/Image"] = kDiskImage;

    const QString app = "/Applications/Tool.app", trash = "/Users/anna/.Trash/Tool.app";
    const Liveness installed = Liveness::live("installed at /Applications/Tool.app");
    const Liveness onlyCopies = Liveness::gone("only copies in the Trash or on a disk image");
    struct Case {
        const char* name;
        QStringList copies;
        Liveness want;
    } cases[] = {
        {"none registered", {}, Liveness::gone("no installed app answers to com.vendor.tool")},
        {"Applications then Trash", {app, trash}, installed},
        {"Trash then Applications", {trash, app}, installed},
        {"only on a disk image", {"/Volumes/Image/Tool.app"}, onlyCopies},
        {"disk image then home Applications",
         {"/Volumes/Image/Tool.app", "/Users/anna/Applications/Tool.app"},
         Liveness::live("installed at ~/Applications/Tool.app")},
        {"Trash and a missing copy", {trash, "/Applications/Old.app"}, onlyCopies},
        {"disconnected drive",
         {"/Volumes/Backup/Tool.app"},
         Liveness::driveNotConnected("on the drive \"Backup\", which is not connected")},
        {"two disconnected drives: the last one named",
         {"/Volumes/First/Tool.app", trash, "/Volumes/Second/Tool.app"},
         Liveness::driveNotConnected("on the drive \"Second\", which is not connected")},
        {"disconnected drive, then a live copy", {"/Volumes/Backup/Tool.app", app}, installed},
    };
    for (const auto& c : cases) {
        test::FakeAppRegistry registry;
        registry.pathsOf["com.vendor.tool"] = c.copies;
        EXPECT_EQ(Presence::ofBundle("com.vendor.tool", root.paths(), registry, volumes), c.want) << c.name;
    }
}

TEST(Presence, AppleIdentifiersAreNotLookedUp) {
    CountingRegistry registry;
    const Liveness apple = Presence::ofBundle("com.apple.Terminal", SystemPaths::current(), registry);
    EXPECT_EQ(apple, Liveness::apple());
    EXPECT_EQ(apple.evidence(), "part of macOS");
    EXPECT_EQ(registry.asked, 0);
    Presence::ofBundle("com.applesauce.tool", SystemPaths::current(), registry);
    EXPECT_EQ(registry.asked, 1);
}

TEST(TestNames, Why) {
    struct Case {
        const char* text;
        std::optional<QString> reason;
    } cases[] = {
        {"com.vendor.tool.1712345678", "a per-run numeric suffix"},
        {"com.vendor.tool.1712345678-42", "a per-run numeric suffix"},
        {"com.vendor.tool.12345678", std::nullopt},  // eight digits
        {"com.vendor.tool.1712345678x", std::nullopt},
        {"com.vendor.Harness", "a test-harness name"},
        {"com.vendor.selftest.helper", "a test-harness name"},
        {"com.vendor.decoys", std::nullopt},
        {"com.vendor.Tests", "\"test\" in the identifier"},
        {"test.vendor.tool", "\"test\" in the identifier"},
        {"com.vendor.contest", std::nullopt},
        {"com.vendor.test-app", std::nullopt},
        {"/private/tmp/x/tool", "a program in a temporary folder"},
        {"/tmp/tool", "a program in a temporary folder"},
        {"/var/tmp/tool", std::nullopt},
        {"/Users/anna/src/.build/debug/tool", "a build-output program"},
        {"/Users/anna/Library/Developer/Xcode/DerivedData/X/Build/Products/Debug/X.app",
         "a build-output program"},
        // Several match: the earliest pattern's reason.
        {"/tmp/fixture.test.1234567890", "a per-run numeric suffix"},
        {"/tmp/fixture/tool", "a test-harness name"},
        {"com.vendor.tool", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TestNames::why(c.text), c.reason) << c.text;
}
