#include <gtest/gtest.h>

#include "permissions/PermissionProbes.h"
#include "permissions/identity/LegacyRepairDiscovery.h"
#include "platform/Plist.h"
#include "support/FakeTools.h"
#include "support/PlatformFakes.h"
#include "support/TempRoot.h"

namespace rk {
namespace {

using Pane = KTPermissionProbes::Pane;
using namespace KTLegacyIdentityRepair;

// A record before the first separator without an identifier, a registry
// number at the end of a path and one inside it, an indented nested path, a
// later path, tabs around a value, an extension bundle, a record without an
// identifier and one with an empty identifier.
const QString kDump =
    "path: /Early/Lacks.app\n"
    "--------------------------------------------------------------------------------\n"
    "path:                       /Apps/Old App.app (0x1a2b)\n"
    "name:                       Old App\n"
    "    path: /Apps/Old App.app/Contents/Nested.app\n"
    "displayName:                OLD APP\n"
    "identifier:                 com.example.old\n"
    "path:                       /ignored/second.app\n"
    "-----\n"
    "path: /Apps/Mid (0x12) Name.app\nidentifier: com.other.mid\nname:\t Mid\t\nname:\n"
    "-----\npath: /Apps/Old App.app/Contents/PlugIns/E.appex\nidentifier: com.example.old.ext\n"
    "-----\npath: /Apps/NoID.app\n"
    "-----\npath: /Own/Self.app\nname: mid\nidentifier: com.other.self\n"
    "-----\npath: /Apps/Empty.app\nidentifier:";

// Each page's link and its privacy service; only these pages are known.
TEST(LegacyRepairDiscovery, EachPrivacyPageHasItsLinkAndService) {
    const QString security = "x-apple.systempreferences:com.apple.preference.security?Privacy_";
    const std::tuple<QUrl, QString, std::optional<QString>> cases[] = {
        {Pane::screenRecording(), security + "ScreenCapture", QString("ScreenCapture")},
        {Pane::accessibility(), security + "Accessibility", QString("Accessibility")},
        {Pane::inputMonitoring(), security + "ListenEvent", QString("ListenEvent")},
        {Pane::fullDisk(), security + "AllFiles", QString("SystemPolicyAllFiles")},
        {Pane::microphone(), security + "Microphone", QString("Microphone")},
        {Pane::camera(), security + "Camera", QString("Camera")},
        {Pane::automation(), security + "Automation", QString("AppleEvents")},
        {Pane::loginItems(), "x-apple.systempreferences:com.apple.LoginItems-Settings.extension",
         std::nullopt},
        {QUrl(security + "Photos"), security + "Photos", std::nullopt},
    };
    for (const auto& [link, text, service] : cases) {
        EXPECT_EQ(link.toString(), text);
        EXPECT_EQ(KTLegacyIdentityRepair::tccService(link), service) << text.toStdString();
        EXPECT_EQ(Pane::isKnown(link), !text.endsWith("Photos")) << text.toStdString();
    }

    const auto on = [](const QUrl& link) { return KTPermission{.settingsURL = link}; };
    EXPECT_EQ(KTLegacyIdentityRepair::services(
                  {on(Pane::fullDisk()), on(Pane::loginItems()), on(Pane::camera()), on(Pane::fullDisk())}),
              QStringList({"SystemPolicyAllFiles", "Camera"}));
}

TEST(LegacyRepairDiscovery, TheRegisterToolIsTheFirstExecutableOfItsPlaces) {
    {
        test::TempRoot bare;
        EXPECT_EQ(KTLegacyIdentityRepair::lsregisterPath(), std::nullopt);
    }
    test::TempRoot root;
    test::FakeTools tools(root);
    root.writeFile(SystemPaths::toolLocation(MacTool::launchServicesRegister), "not a program");
    const QString versioned = tools.install(MacTool::launchServicesRegisterVersioned);
    ASSERT_EQ(KTLegacyIdentityRepair::lsregisterPath(), versioned);

    tools.answer(MacTool::launchServicesRegisterVersioned, 0, "path: /Applications/A.app\n");
    EXPECT_EQ(KTLegacyIdentityRepair::run(versioned, {"-dump"}),
              (ToolResult{.status = 0, .out = "path: /Applications/A.app\n"}));
    tools.answer(MacTool::launchServicesRegisterVersioned, 2);
    EXPECT_EQ(KTLegacyIdentityRepair::run(versioned, {"-u", "/Old App.app"}).status, 2);
    EXPECT_EQ(tools.calls(), QStringList({"lsregister -dump", "lsregister -u /Old App.app"}));
}

TEST(LegacyRepairDiscovery, TheDumpKeepsOnlyAppRecords) {
    EXPECT_EQ(parseDump(kDump),
              (QList<DumpRecord>{{"/Apps/Old App.app", "com.example.old", {"Old App", "OLD APP"}},
                                 {"/Apps/Mid (0x12) Name.app", "com.other.mid", {"Mid"}},
                                 {"/Own/Self.app", "com.other.self", {"mid"}},
                                 {"/Apps/Empty.app", "", {}}}));
}

// Former identities through the registry and the dump, same names through
// the dump; never the app's own path or identifier; each path once.
TEST(LegacyRepairDiscovery, RegisteredCopiesByIdentifierAndByName) {
    test::FakeAppRegistry registry;
    registry.pathsOf["com.example.old"] = {"/Apps/Z Old.app", "/Apps/../Apps/Old App.app"};
    registry.pathsOf["org.example.own"] = {"/Apps/Own.app"};
    const AppIdentity app{.legacyIDs = {"com.example.old", "org.example.own"},
                          .displayNames = {"MID", ""},
                          .ownID = "org.example.own",
                          .ownPath = "/Own/./Self.app"};
    EXPECT_EQ(discover(app, kDump, registry),
              (QList<Copy>{{"/Apps/Mid (0x12) Name.app", "com.other.mid", false},
                           {"/Apps/Old App.app", "com.example.old", true},
                           {"/Apps/Z Old.app", "com.example.old", true}}));
    EXPECT_EQ(discover(app, std::nullopt, registry).size(), 2);
}

void bundle(const test::TempRoot& root, const QString& path, const QString& id, const QString& name = "") {
    root.writeFile(path + "/Contents/Info.plist",
                   Plist::toXml(PlistValue({{"CFBundleIdentifier", id}, {"CFBundleName", name}})));
}

TEST(LegacyRepairDiscovery, CopiesInOwnedFolders) {
    test::TempRoot root;
    bundle(root, "/Users/anna/Owned/A.app", "com.example.old");
    bundle(root, "/Users/anna/Owned/Named.app", "com.other", "rowkeeper");
    bundle(root, "/Users/anna/Owned/Self.app", "com.example.old");
    bundle(root, "/Users/anna/Owned/Own.app", "org.example.own");
    bundle(root, "/Elsewhere/Old.app", "com.example.old");
    bundle(root, "/Root.app", "com.example.old");
    root.makeFolder("/Users/anna/Owned/Broken.app");
    QFile::link(root.disk("/Elsewhere/Old.app"), root.disk("/Users/anna/Owned/Link.app"));
    QFile::link(root.disk("/Users/anna/Owned"), root.disk("/Linked"));
    using Disposition = KTOwnedBundleFolder::Disposition;
    const QList<KTOwnedBundleFolder> folders{{"~/Owned", Disposition::rename},
                                             {"~/../..", Disposition::remove},
                                             {"/Missing", Disposition::remove},
                                             {"/Linked/", Disposition::remove}};
    const AppIdentity app{.legacyIDs = {"com.example.old"},
                          .displayNames = {"Rowkeeper"},
                          .ownID = "org.example.own",
                          .ownPath = "/Linked/Self.app"};
    const auto found = [](const QString& name, Disposition disposition) {
        return OwnedAction{"/Users/anna/Owned/" + name, name == "A.app" ? "com.example.old" : "com.other",
                           disposition, "/Users/anna/Owned"};
    };
    EXPECT_EQ(
        discoverOwned(folders, app),
        (QList<OwnedAction>{found("A.app", Disposition::rename), found("Named.app", Disposition::rename),
                            found("A.app", Disposition::remove), found("Named.app", Disposition::remove)}));
}

TEST(LegacyRepairDiscovery, InsideAFolder) {
    EXPECT_TRUE(isInside("/a/b", "/a"));
    EXPECT_TRUE(isInside("/a/b/c", "/a/"));
    EXPECT_FALSE(isInside("/a", "/a"));
    EXPECT_FALSE(isInside("/a/", "/a"));
    EXPECT_FALSE(isInside("/ab", "/a"));
}

}  // namespace
}  // namespace rk
