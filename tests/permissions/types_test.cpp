// The declaration types, the probes and the brand's derivations.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "permissions/Permission.h"
#include "permissions/PermissionProbes.h"
#include "permissions/WizardBrand.h"
#include "platform/Accessibility.h"
#include "platform/ScreenCapture.h"
#include "support/PlatformFakes.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using Pane = KTPermissionProbes::Pane;

TEST(PermissionProbesPane, LinksAreTheSystemSettingsPages) {
    const QString security = "x-apple.systempreferences:com.apple.preference.security?";
    EXPECT_EQ(Pane::accessibility().toString(), security + "Privacy_Accessibility");
    EXPECT_EQ(Pane::screenRecording().toString(), security + "Privacy_ScreenCapture");
    EXPECT_EQ(Pane::inputMonitoring().toString(), security + "Privacy_ListenEvent");
    EXPECT_EQ(Pane::fullDisk().toString(), security + "Privacy_AllFiles");
    EXPECT_EQ(Pane::microphone().toString(), security + "Privacy_Microphone");
    EXPECT_EQ(Pane::camera().toString(), security + "Privacy_Camera");
    EXPECT_EQ(Pane::automation().toString(), security + "Privacy_Automation");
    EXPECT_EQ(Pane::loginItems().toString(),
              "x-apple.systempreferences:com.apple.LoginItems-Settings.extension");
    EXPECT_TRUE(Pane::isKnown(QUrl(security + "Privacy_Camera")));
    EXPECT_FALSE(Pane::isKnown(QUrl(security + "Privacy_Bluetooth")));
}

TEST(PermissionProbes, ScreenRecordingIsTheWindowTitlesOrThePreflight) {
    test::FakeProbePlatform platform;
    EXPECT_FALSE(KTPermissionProbes::screenRecording(platform));
    platform.otherTitles = true;
    EXPECT_TRUE(KTPermissionProbes::screenRecording(platform));
    platform.otherTitles = false;
    platform.preflight = true;
    EXPECT_TRUE(KTPermissionProbes::screenRecording(platform));
}

TEST(PermissionProbes, TheHostAsksThePlatformSeamsAndOtherwiseSaysNo) {
    HostProbePlatform host;
    EXPECT_FALSE(KTPermissionProbes::accessibility(host));
    EXPECT_FALSE(KTPermissionProbes::screenRecording(host));
    EXPECT_EQ(host.listenEventAccess(), KTListenAccess::unknown);
    test::TrustAccessibility accessibility;
    test::ScopedCurrent<Accessibility> useAccessibility(&accessibility);
    EXPECT_TRUE(KTPermissionProbes::accessibility(host));
}

TEST(PermissionProbes, ListsThatTakeADraggedApp) {
    struct Case {
        const QUrl& pane;
        KTListenAccess listen;
        bool expected;
    };
    const Case cases[] = {
        {Pane::accessibility(), KTListenAccess::granted, true},
        {Pane::accessibility(), KTListenAccess::denied, true},  // as Input Monitoring
        {Pane::fullDisk(), KTListenAccess::unknown, true},
        {Pane::microphone(), KTListenAccess::unknown, false},
        {Pane::camera(), KTListenAccess::denied, false},
    };
    test::FakeProbePlatform platform;
    for (const Case& c : cases) {
        platform.listen = c.listen;
        KTPermission p = test::samplePermission("x");
        p.settingsURL = c.pane;
        EXPECT_EQ(KTPermissionProbes::takesDraggedApp(p, platform), c.expected)
            << c.pane.toString().toStdString();
    }
}

TEST(KTPermissionTest, PaneTitleIsInputMonitoringOnlyForAccessibilityWhileListeningIsDenied) {
    test::WizardSandbox sandbox;
    KTPermission p = test::samplePermission("ax");
    p.title = "Accessibility";
    p.settingsURL = Pane::accessibility();
    EXPECT_EQ(p.paneTitle(), "Accessibility");
    sandbox.probes.listen = KTListenAccess::denied;
    EXPECT_EQ(p.paneTitle(), "Input Monitoring");
    p.settingsURL = Pane::screenRecording();
    p.title = "Screen Recording";
    EXPECT_EQ(p.paneTitle(), "Screen Recording");
}

TEST(KTPermissionTest, ResolveDialogImagePrefersTheAppearancesVariant) {
    QTemporaryDir dir;
    auto save = [&](const QString& name, QColor colour) {
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(dir.filePath(name + ".png")));
    };
    save("both-dark", Qt::black);
    save("both-light", Qt::white);
    save("both", Qt::red);
    save("plain", Qt::green);
    auto colourOf = [&](const QString& name, bool dark) -> std::optional<QColor> {
        const auto image = KTPermission::resolveDialogImage(name, dark, dir.path());
        if (!image)
            return std::nullopt;
        return image->pixelColor(0, 0);
    };
    EXPECT_EQ(colourOf("both", true), QColor(Qt::black));
    EXPECT_EQ(colourOf("both", false), QColor(Qt::white));
    EXPECT_EQ(colourOf("plain", true), QColor(Qt::green));
    EXPECT_EQ(colourOf("missing", false), std::nullopt);
    EXPECT_EQ(colourOf("", false), std::nullopt);
    QFile broken(dir.filePath("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    EXPECT_EQ(colourOf("broken", false), std::nullopt);
}

TEST(KTWizardProductTest, BundleDisplayNameFallsBackToTheProductName) {
    test::FakeAppBundle bundle;
    KTWizardProduct product{.name = "Sampler"};
    EXPECT_EQ(product.bundleDisplayName(bundle), "Sampler");
    bundle.info["CFBundleName"] = "SamplerApp";
    EXPECT_EQ(product.bundleDisplayName(bundle), "SamplerApp");
    bundle.info["CFBundleDisplayName"] = "Sampler Pro";
    EXPECT_EQ(product.bundleDisplayName(bundle), "Sampler Pro");
}

TEST(KTResolvedBrandTest, AbsentColoursAreDerivedFromTheMutedInk) {
    const KTWizardBrand brand{.accent = [](bool) { return QColor(Qt::yellow); },
                              .ink = [](bool dark) { return dark ? QColor(Qt::white) : QColor(Qt::black); },
                              .inkMuted = [](bool) { return QColor(100, 100, 100); },
                              .onAccent = [](bool) { return QColor(Qt::black); },
                              .accentText = [](bool) { return QColor(Qt::darkYellow); }};
    const KTResolvedBrand resolved(brand, true);
    EXPECT_EQ(resolved.ink, QColor(Qt::white));
    EXPECT_FALSE(resolved.ground.has_value());
    EXPECT_EQ(resolved.card.rgb(), QColor(100, 100, 100).rgb());
    EXPECT_NEAR(resolved.card.alphaF(), 0.06, 0.005);
    EXPECT_NEAR(resolved.tag.alphaF(), 0.14, 0.005);
    EXPECT_NEAR(resolved.quiet.alphaF(), 0.5, 0.005);
    EXPECT_EQ(resolved.tagInk, QColor(100, 100, 100));
    EXPECT_FALSE(resolved.cardLine.has_value());
    EXPECT_FALSE(resolved.groundTop.has_value());
}

TEST(KTResolvedBrandTest, GivenColoursWinOverDerivations) {
    KTWizardBrand brand;
    brand.inkMuted = [](bool) { return QColor(100, 100, 100); };
    brand.ground = [](bool) { return QColor(1, 1, 1); };
    brand.panel = [](bool) { return QColor(2, 2, 2); };
    brand.panelRaised = [](bool) { return QColor(3, 3, 3); };
    brand.inkFaint = [](bool) { return QColor(4, 4, 4); };
    brand.line = [](bool) { return QColor(5, 5, 5); };
    brand.groundTop = [](bool) { return QColor(6, 6, 6); };
    int marked = 0;
    brand.mark = [&](QPainter&, const QRectF&, bool dark) { marked += dark ? 10 : 1; };
    const KTResolvedBrand resolved(brand, true);
    EXPECT_EQ(resolved.ground, QColor(1, 1, 1));
    EXPECT_EQ(resolved.card, QColor(2, 2, 2));
    EXPECT_EQ(resolved.tag, QColor(3, 3, 3));
    EXPECT_EQ(resolved.tagInk, QColor(4, 4, 4));
    EXPECT_EQ(resolved.quiet, QColor(4, 4, 4));
    EXPECT_EQ(resolved.cardLine, QColor(5, 5, 5));
    EXPECT_EQ(resolved.groundTop, QColor(6, 6, 6));
    QImage image(4, 4, QImage::Format_ARGB32);
    QPainter painter(&image);
    resolved.mark(painter, QRectF(0, 0, 4, 4));
    EXPECT_EQ(marked, 10);
}

TEST(HostAppBundleTest, WithoutAnApplicationObjectItReadsTheProcess) {
    HostAppBundle host;
    const QStringList args = host.arguments();
    ASSERT_FALSE(args.isEmpty());
    EXPECT_TRUE(args[0].endsWith("permissions_types_test"));
    EXPECT_EQ(host.executablePath(), QFile::symLinkTarget("/proc/self/exe"));
    EXPECT_EQ(host.bundlePath(), host.executablePath());
    EXPECT_FALSE(host.infoString("CFBundleName").has_value());
    EXPECT_FALSE(host.bundleIdentifier().has_value());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(host.launchDate().has_value());
    EXPECT_LE(*host.launchDate(), now.addSecs(1));
    EXPECT_GT(*host.launchDate(), now.addSecs(-600));
}

}  // namespace
}  // namespace rk
