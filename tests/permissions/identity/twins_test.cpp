#include <gtest/gtest.h>

#include <QFile>

#include "permissions/identity/BundleTwins.h"
#include "platform/Plist.h"
#include "support/PlatformFakes.h"
#include "support/TempRoot.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

// A bundle at a logical path whose Info.plist holds the given strings.
void bundle(const test::TempRoot& root, const QString& path, const PlistValue::Dictionary& info) {
    root.writeFile(path + "/Contents/Info.plist", Plist::toXml(PlistValue(info)));
}

TEST(BundleTwins, TheNamesABundleIsListedUnder) {
    test::TempRoot root;
    bundle(root, "/A/foo.app", {{"CFBundleDisplayName", "Foo"}, {"CFBundleName", "FOO"}});
    bundle(root, "/A/Rowkeeper 2.app",
           {{"CFBundleDisplayName", "Rowkeeper Beta"}, {"CFBundleName", "Rowkeeper"}});
    bundle(root, "/A/Tool.app", {{"CFBundleDisplayName", ""}, {"CFBundleName", 3}});
    const struct {
        QString path;
        QStringList listed;
        QString shown;
    } cases[] = {
        {"/A/foo.app", {"Foo"}, "Foo"},
        {"/A/Rowkeeper 2.app", {"Rowkeeper Beta", "Rowkeeper", "Rowkeeper 2"}, "Rowkeeper Beta"},
        {"/A/Tool.app", {"Tool"}, ""},
        {"/A/Bare.app", {"Bare"}, "Bare"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KTBundleTwins::listedNames(c.path), c.listed) << c.path.toStdString();
        EXPECT_EQ(KTBundleTwins::displayName(c.path), c.shown) << c.path.toStdString();
    }
}

TEST(BundleTwins, OtherCopiesUnderTheSameIdentifier) {
    test::TempRoot root;
    bundle(root, "/Applications/App.app", {{"CFBundleName", "App"}});
    bundle(root, "/Old/App.app", {{"CFBundleDisplayName", "App Old"}});
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
