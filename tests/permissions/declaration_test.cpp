// The app's own declaration as the wizard sees it.

#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "app/PermissionDeclaration.h"
#include "finder/BackgroundStore.h"
#include "finder/TCCStore.h"
#include "permissions/PermissionLint.h"
#include "permissions/PermissionProbes.h"
#include "permissions/PermissionWizard.h"
#include "support/PlatformFakes.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

class CountingFileProbe : public test::FakeFileProbe {
public:
    mutable int listings = 0;
    Result<QStringList, int> listFolder(const QString& diskPath) const override {
        ++listings;
        return FakeFileProbe::listFolder(diskPath);
    }
};

QStringList ids(const QList<KTPermission>& permissions) {
    QStringList list;
    for (const KTPermission& p : permissions)
        list << p.id;
    return list;
}

TEST(PermissionDeclaration, PermissionCheckPrintsTheThreeIdsWithLinuxAnswers) {
    test::WizardSandbox sandbox;
    KTProbePlatform::setCurrent(nullptr);  // the host's own answers
    configureWizard(false);
    testing::internal::CaptureStdout();
    EXPECT_EQ(KTPermissionWizard::runPermissionCheckCLI(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "{\"fulldisk\":false,\"accessibility\":false,\"screen\":false}\n");
}

TEST(PermissionDeclaration, FullDiskAccessNeedsBothStoresAndAsksTheSecondOnlyAfterTheFirst) {
    test::WizardSandbox sandbox;
    CountingFileProbe files;
    test::ScopedCurrent<FileProbe> useFiles(&files);
    const QString tcc = TCCStore::userPath(sandbox.root.paths());
    const QString btm = BackgroundStore::folder(sandbox.root.paths()) + "/BackgroundItems-v9.btm";

    EXPECT_FALSE(PermissionDeclaration::fullDiskAccess());
    EXPECT_EQ(files.listings, 0) << "the background-task store was asked although the database did not open";

    sandbox.root.writeFile(tcc, "db");
    EXPECT_FALSE(PermissionDeclaration::fullDiskAccess());
    EXPECT_GT(files.listings, 0);

    sandbox.root.writeFile(btm, "store");
    EXPECT_TRUE(PermissionDeclaration::fullDiskAccess());

    files.openErrors.insert(sandbox.root.disk(btm), EACCES);
    EXPECT_FALSE(PermissionDeclaration::fullDiskAccess());
}

TEST(PermissionDeclaration, ThreePermissionsInScreenOrderWithTheirFlags) {
    const QList<KTPermission> permissions = PermissionDeclaration::permissions();
    ASSERT_EQ(ids(permissions), (QStringList{"fulldisk", "accessibility", "screen"}));
    const KTPermission& disk = permissions[0];
    const KTPermission& ax = permissions[1];
    const KTPermission& screen = permissions[2];

    EXPECT_EQ(disk.settingsURL, KTPermissionProbes::Pane::fullDisk());
    EXPECT_EQ(ax.settingsURL, KTPermissionProbes::Pane::accessibility());
    EXPECT_EQ(screen.settingsURL, KTPermissionProbes::Pane::screenRecording());

    EXPECT_FALSE(disk.request) << "Full Disk Access has no prompt to ask for";
    EXPECT_TRUE(ax.request);
    EXPECT_TRUE(screen.request);

    for (const KTPermission& p : permissions) {
        EXPECT_EQ(p.isOptional, p.id == "screen") << p.id.toStdString();
        EXPECT_EQ(p.costOfSkipping.has_value(), p.id == "screen") << p.id.toStdString();
        EXPECT_EQ(p.requiresManualDrag, p.id == "fulldisk") << p.id.toStdString();
        EXPECT_EQ(p.rowsToTick, QStringList{"Rowkeeper"});
        EXPECT_FALSE(p.checkboxProbe);
        EXPECT_FALSE(p.rowNote.has_value());
        EXPECT_TRUE(p.rowsAreAllRequired);
        EXPECT_FALSE(p.dialogImageName.has_value());
        EXPECT_FALSE(p.hero);
        EXPECT_TRUE(p.restartsOnStaleGrant);
        EXPECT_EQ(p.bullets.size(), 3);
    }
}

TEST(PermissionDeclaration, ProbesAndRequestsGoThroughThePlatform) {
    test::WizardSandbox sandbox;
    const QList<KTPermission> permissions = PermissionDeclaration::permissions();
    EXPECT_FALSE(permissions[1].probe());
    EXPECT_FALSE(permissions[2].probe());
    sandbox.probes.trusted = true;
    sandbox.probes.preflight = true;
    EXPECT_TRUE(permissions[1].probe());
    EXPECT_TRUE(permissions[2].probe());
    permissions[1].request();
    permissions[2].request();
    EXPECT_EQ(sandbox.probes.accessibilityPrompts, 1);
    EXPECT_EQ(sandbox.probes.captureRequests, 1);
}

TEST(PermissionDeclaration, TheAppsOwnTextsPassTheLint) {
    EXPECT_TRUE(KTPermissionLint::lint(PermissionDeclaration::product(), PermissionDeclaration::permissions())
                    .isEmpty());
    test::WizardSandbox sandbox;
    configureWizard(false);
    testing::internal::CaptureStdout();
    EXPECT_EQ(KTPermissionWizard::runLintCLI({"rowkeeper", "--permission-lint"}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "permission-lint: 3 of 3 permissions meet the bar\n");
}

TEST(PermissionDeclaration, ConfiguringWithWriteStateWritesTheLarkspurRecord) {
    test::WizardSandbox sandbox;
    configureWizard(false);
    EXPECT_TRUE(sandbox.readDotFile("larkspur", "permissions.json").isEmpty());
    configureWizard(true);
    EXPECT_EQ(KTPermissionWizard::product().name, "Rowkeeper");
    const QJsonArray entries = QJsonDocument::fromJson(sandbox.readDotFile("larkspur", "permissions.json"))
                                   .object()
                                   .value("permissions")
                                   .toArray();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[2].toObject().value("id").toString(), "screen");
    EXPECT_TRUE(entries[2].toObject().value("optional").toBool());
}

TEST(PermissionDeclaration, BrandColoursFollowTheAppearance) {
    const KTWizardBrand brand = PermissionDeclaration::brand();
    const KTResolvedBrand dark(brand, true);
    const KTResolvedBrand light(brand, false);
    EXPECT_EQ(dark.accent, QColor(0xC8, 0xA8, 0x72));
    EXPECT_EQ(light.accent, dark.accent);
    EXPECT_EQ(dark.onAccent, QColor(0x1D, 0x1D, 0x1F));
    EXPECT_EQ(dark.ink, QColor(0xF2, 0xF2, 0xF7));
    EXPECT_EQ(light.ink, QColor(0x1D, 0x1D, 0x1F));
    EXPECT_EQ(dark.inkMuted, QColor(0xA1, 0xA1, 0xA6));
    EXPECT_EQ(light.inkMuted, QColor(0x5E, 0x5E, 0x63));
    EXPECT_EQ(dark.ground, QColor(0x1C, 0x1C, 0x1E));
    EXPECT_EQ(light.ground, QColor(0xF7, 0xF6, 0xF2));
    EXPECT_EQ(dark.accentText, QColor(0xD9, 0xBE, 0x8C));
    EXPECT_EQ(light.accentText, QColor(0x8E, 0x67, 0x2C));
    // Left to the wizard to derive.
    EXPECT_FALSE(dark.cardLine.has_value());
    EXPECT_FALSE(dark.groundTop.has_value());
    EXPECT_EQ(light.tagInk, light.inkMuted);
}

TEST(PermissionDeclaration, TheMarkIsTheLetterTile) {
    test::ensureApplication();
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    KTResolvedBrand(PermissionDeclaration::brand(), false).mark(painter, QRectF(0, 0, 40, 40));
    painter.end();
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "the 26-point tile is centred, leaving the corner clear";
    EXPECT_EQ(image.pixelColor(20, 8).alpha(), 255);
    // Dark tile near its top edge.
    const QColor top = image.pixelColor(20, 8);
    EXPECT_LT(top.lightness(), 80);
}

}  // namespace
}  // namespace rk
