// The app's own declaration as the wizard sees it.

#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "app/PermissionDeclaration.h"
#include "permissions/PermissionLint.h"
#include "permissions/PermissionProbes.h"
#include "permissions/PermissionWizard.h"
#include "support/WizardFixture.h"
#include "ui/Palette.h"

namespace rk {
namespace {

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
    EXPECT_TRUE(KTPermissionWizard::renderScreens);  // for "--permission-windowshot"
    testing::internal::CaptureStdout();
    EXPECT_EQ(KTPermissionWizard::runPermissionCheckCLI(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "{\"fulldisk\":false,\"accessibility\":false,\"screen\":false}\n");
}

TEST(PermissionDeclaration, ThreePermissionsInScreenOrderWithTheirFlags) {
    const QList<KTPermission> permissions = PermissionDeclaration::permissions();
    ASSERT_EQ(ids(permissions), (QStringList{"fulldisk", "accessibility", "screen"}));
    const QUrl pages[] = {KTPermissionProbes::Pane::fullDisk(), KTPermissionProbes::Pane::accessibility(),
                          KTPermissionProbes::Pane::screenRecording()};
    for (int i = 0; i < 3; ++i) {
        const KTPermission& p = permissions[i];
        EXPECT_EQ(p.settingsURL, pages[i]) << p.id.toStdString();
        EXPECT_EQ(bool(p.request), p.id != "fulldisk") << "Full Disk Access has no prompt to ask for";
        EXPECT_EQ(p.isOptional, p.id == "screen") << p.id.toStdString();
        EXPECT_EQ(p.costOfSkipping.has_value(), p.id == "screen") << p.id.toStdString();
        EXPECT_EQ(p.requiresManualDrag, p.id == "fulldisk") << p.id.toStdString();
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

// The colours themselves are the palette's, checked with the palette.
TEST(PermissionDeclaration, BrandColoursAreThePalettesForEachAppearance) {
    for (bool dark : {false, true}) {
        const KTResolvedBrand brand(PermissionDeclaration::brand(), dark);
        EXPECT_EQ(brand.accent, Palette::gold(dark));
        EXPECT_EQ(brand.ink, Palette::ink(dark)) << dark;
        EXPECT_EQ(brand.inkMuted, Palette::dim(dark)) << dark;
        EXPECT_EQ(brand.ground, Palette::ground(dark)) << dark;
        EXPECT_EQ(brand.onAccent, Palette::onGold(dark));
        EXPECT_EQ(brand.accentText, Palette::goldText(dark)) << dark;
    }
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
    EXPECT_LT(image.pixelColor(20, 8).lightness(), 80) << "a dark tile near its top edge";
}

}  // namespace
}  // namespace rk
