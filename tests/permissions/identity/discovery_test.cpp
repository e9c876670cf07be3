#include <gtest/gtest.h>

#include "permissions/PermissionProbes.h"
#include "permissions/identity/BundleTwins.h"
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
        {Pane::screenRecording(), "ScreenCapture", "ScreenCapture"},
        {Pane::accessibility(), "Accessibility", "Accessibility"},
        {Pane::inputMonitoring(), "ListenEvent", "ListenEvent"},
        {Pane::fullDisk(), "AllFiles", "SystemPolicyAllFiles"},
        {Pane::microphone(), "Microphone", "Microphone"},
        {Pane::camera(), "Camera", "Camera"},
        {Pane::automation(), "Automation", "AppleEvents"},
        {QUrl(security + "Photos"), "Photos", std::nullopt},
    };
    for (const auto& [link, page, service] : cases) {
        EXPECT_EQ(link.toString(), security + page);
        EXPECT_EQ(KTLegacyIdentityRepair::tccService(link), service) << page.toStdString();
        EXPECT_EQ(Pane::isKnown(link), page != "Photos") << page.toStdString();
    }
    EXPECT_EQ(Pane::loginItems(), QUrl("x-apple.systempreferences:com.apple.LoginItems-Settings.extension"));
    EXPECT_TRUE(Pane::isKnown(Pane::loginItems()) && !KTLegacyIdentityRepair::tccService(Pane::loginItems()));

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
    EXPECT_EQ(KTLegacyIdentityRepair::lsregisterPath(), versioned);
}

// The dump keeps only app records. Former identities are found through the
// registry and the dump, same names through the dump; never the app's own
// path or identifier; each path once.
TEST(LegacyRepairDiscovery, RegisteredCopiesByIdentifierAndByName) {
    EXPECT_EQ(parseDump(kDump),
              (QList<DumpRecord>{{"/Apps/Old App.app", "com.example.old", {"Old App", "OLD APP"}},
                                 {"/Apps/Mid (0x12) Name.app", "com.other.mid", {"Mid"}},
                                 {"/Own/Self.app", "com.other.self", {"mid"}},
                                 {"/Apps/Empty.app", "", {}}}));
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

// A bundle at a logical path whose Info.plist holds `info`, or this identifier and name.
void bundleWith(const test::TempRoot& root, const QString& path, const PlistValue::Dictionary& info) {
    root.writeFile(path + "/Contents/Info.plist", Plist::toXml(PlistValue(info)));
}
void bundle(const test::TempRoot& root, const QString& path, const QString& id, const QString& name = "") {
    bundleWith(root, path, {{"CFBundleIdentifier", id}, {"CFBundleName", name}});
}

TEST(LegacyRepairDiscovery, CopiesInOwnedFoldersStrictlyInside) {
    test::TempRoot root;
    for (const char* path :
         {"/Users/anna/Owned/A.app", "/Users/anna/Owned/Self.app", "/Elsewhere/Old.app", "/Root.app"})
        bundle(root, path, "com.example.old");
    bundle(root, "/Users/anna/Owned/Named.app", "com.other", "rowkeeper");
    bundle(root, "/Users/anna/Owned/Own.app", "org.example.own");
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
    // Inside means strictly below.
    EXPECT_TRUE(isInside("/a/b", "/a") && isInside("/a/b/c", "/a/"));
    EXPECT_FALSE(isInside("/a", "/a") || isInside("/a/", "/a") || isInside("/ab", "/a"));
}

TEST(BundleTwins, TheNamesABundleIsListedUnder) {
    test::TempRoot root;
    bundleWith(root, "/A/foo.app", {{"CFBundleDisplayName", "Foo"}, {"CFBundleName", "FOO"}});
    bundleWith(root, "/A/Rowkeeper 2.app",
               {{"CFBundleDisplayName", "Rowkeeper Beta"}, {"CFBundleName", "Rowkeeper"}});
    bundleWith(root, "/A/Tool.app", {{"CFBundleDisplayName", ""}, {"CFBundleName", 3}});
    const std::tuple<QString, QStringList, QString> cases[] = {
        {"/A/foo.app", {"Foo"}, "Foo"},
        {"/A/Rowkeeper 2.app", {"Rowkeeper Beta", "Rowkeeper", "Rowkeeper 2"}, "Rowkeeper Beta"},
        {"/A/Tool.app", {"Tool"}, ""},
        {"/A/Bare.app", {"Bare"}, "Bare"},
    };
    for (const auto& [path, listed, shown] : cases) {
        EXPECT_EQ(KTBundleTwins::listedNames(path), listed) << path.toStdString();
        EXPECT_EQ(KTBundleTwins::displayName(path), shown) << path.toStdString();
    }
}

TEST(BundleTwins, OtherCopiesUnderTheSameIdentifier) {
    test::TempRoot root;
    bundleWith(root, "/Applications/App.app", {{"CFBundleName", "App"}});
    bundleWith(root, "/Old/App.app", {{"CFBundleDisplayName", "App Old"}});
    root.makeFolder("/Volumes/Image/app.app");
    root.makeFolder("/Links");
    QFile::link(root.disk("/Applications/App.app"), root.disk("/Links/App.app"));
    test::FakeAppRegistry registry;
    registry.pathsOf["org.app"] = {"/Applications/App.app", "/Links/App.app", "/Old/App.app", "/Gone/App.app",
                                   "/Volumes/Image/app.app"};

    const QStringList twins = KTBundleTwins::scan(QString("org.app"), "/Applications/App.app", registry);
    EXPECT_EQ(twins, QStringList({"App Old", "App", "app"}));
    EXPECT_EQ(KTBundleTwins::scan(std::nullopt, "/Applications/App.app", registry), QStringList());

    test::FakeAppBundle self;
    self.path = "/Applications/App.app";
    EXPECT_EQ(KTBundleTwins::names("Other", twins, self), QStringList({"App", "App Old"}));
    EXPECT_EQ(KTBundleTwins::names("app", twins, self), QStringList({"App Old"}));
    EXPECT_EQ(KTBundleTwins::names("App", {}, self), QStringList());
}

}  // namespace
}  // namespace rk
