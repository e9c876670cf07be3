// The declaration types, the probes, the brand's derivations, and the lint of
// permission texts: each rule fires on its fault and only there.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "permissions/Permission.h"
#include "permissions/PermissionLint.h"
#include "permissions/PermissionProbes.h"
#include "permissions/WizardBrand.h"
#include "platform/Accessibility.h"
#include "platform/ScreenCapture.h"
#include "support/PlatformFakes.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using Pane = KTPermissionProbes::Pane;

TEST(PermissionProbes, ScreenRecordingIsTheWindowTitlesOrThePreflight) {
    test::FakeProbePlatform platform;
    EXPECT_FALSE(KTPermissionProbes::screenRecording(platform));
    platform.otherTitles = true;
    EXPECT_TRUE(KTPermissionProbes::screenRecording(platform));
    platform.otherTitles = false, platform.preflight = true;
    EXPECT_TRUE(KTPermissionProbes::screenRecording(platform));

    // The host asks the platform's seams and otherwise says no.
    HostProbePlatform host;
    EXPECT_FALSE(KTPermissionProbes::screenRecording(host));
    EXPECT_EQ(host.listenEventAccess(), KTListenAccess::unknown);
    EXPECT_FALSE(KTPermissionProbes::accessibility(host));
    test::TrustAccessibility accessibility;
    test::ScopedCurrent<Accessibility> useAccessibility(&accessibility);
    EXPECT_TRUE(KTPermissionProbes::accessibility(host));
}

TEST(PermissionProbes, ListsThatTakeADraggedAppAndThePaneTitle) {
    const std::tuple<const QUrl&, KTListenAccess, bool> cases[] = {
        {Pane::accessibility(), KTListenAccess::granted, true},
        {Pane::accessibility(), KTListenAccess::denied, true},  // as Input Monitoring
        {Pane::fullDisk(), KTListenAccess::unknown, true},
        {Pane::microphone(), KTListenAccess::unknown, false},
        {Pane::camera(), KTListenAccess::denied, false},
    };
    test::FakeProbePlatform platform;
    KTPermission p = test::samplePermission("x");
    for (const auto& [pane, listen, takes] : cases) {
        platform.listen = listen, p.settingsURL = pane;
        EXPECT_EQ(KTPermissionProbes::takesDraggedApp(p, platform), takes) << pane.toString().toStdString();
    }

    // Accessibility is listed as Input Monitoring while listening is denied.
    test::WizardSandbox sandbox;
    p.title = "Accessibility", p.settingsURL = Pane::accessibility();
    EXPECT_EQ(p.paneTitle(), "Accessibility");
    sandbox.probes.listen = KTListenAccess::denied;
    EXPECT_EQ(p.paneTitle(), "Input Monitoring");
    p.settingsURL = Pane::screenRecording();
    EXPECT_EQ(p.paneTitle(), "Accessibility");

    // The bundle's display name, else its name, else the product's.
    KTWizardProduct product{.name = "Sampler"};
    EXPECT_EQ(product.bundleDisplayName(sandbox.bundle), "Sampler");
    sandbox.bundle.info["CFBundleName"] = "SamplerApp";
    EXPECT_EQ(product.bundleDisplayName(sandbox.bundle), "SamplerApp");
    sandbox.bundle.info["CFBundleDisplayName"] = "Sampler Pro";
    EXPECT_EQ(product.bundleDisplayName(sandbox.bundle), "Sampler Pro");
}

TEST(KTPermissionTest, ResolveDialogImagePrefersTheAppearancesVariant) {
    QTemporaryDir dir;
    for (const auto& [name, colour] : {std::pair{"both-dark", Qt::black},
                                       {"both-light", Qt::white},
                                       {"both", Qt::red},
                                       {"plain", Qt::green}}) {
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(dir.filePath(QString(name) + ".png")));
    }
    QFile broken(dir.filePath("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("not a picture") > 0);
    broken.close();
    const auto colourOf = [&](const QString& name, bool dark) -> std::optional<QColor> {
        const auto image = KTPermission::resolveDialogImage(name, dark, dir.path());
        return image ? std::optional(image->pixelColor(0, 0)) : std::nullopt;
    };
    EXPECT_EQ(colourOf("both", true), QColor(Qt::black));
    EXPECT_EQ(colourOf("both", false), QColor(Qt::white));
    EXPECT_EQ(colourOf("plain", true), QColor(Qt::green));
    for (const char* none : {"missing", "", "broken"})
        EXPECT_EQ(colourOf(none, false), std::nullopt) << none;
}

// Colours a brand leaves out are derived from its muted ink; given ones win.
TEST(KTResolvedBrandTest, AbsentColoursAreDerivedAndGivenOnesWin) {
    const auto grey = [](int level) { return [level](bool) { return QColor(level, level, level); }; };
    KTWizardBrand brand{.inkMuted = grey(100)};
    const KTResolvedBrand derived(brand, true);
    EXPECT_EQ(derived.ink, QColor(Qt::white)) << "a required colour left out";
    for (const auto& [colour, alpha] :
         {std::pair{derived.card, 0.06}, {derived.tag, 0.14}, {derived.quiet, 0.5}}) {
        EXPECT_EQ(colour.rgb(), QColor(100, 100, 100).rgb());
        EXPECT_NEAR(colour.alphaF(), alpha, 0.005);
    }
    EXPECT_FALSE(derived.ground || derived.cardLine || derived.groundTop);

    brand.panel = grey(2), brand.panelRaised = grey(3), brand.inkFaint = grey(4), brand.line = grey(5);
    int marked = 0;
    brand.mark = [&](QPainter&, const QRectF&, bool dark) { marked += dark ? 10 : 1; };
    const KTResolvedBrand given(brand, true);
    EXPECT_EQ(
        (QList<QColor>{given.card, given.tag, given.tagInk, given.quiet, given.cardLine.value_or(Qt::red)}),
        (QList<QColor>{grey(2)(true), grey(3)(true), grey(4)(true), grey(4)(true), grey(5)(true)}));
    QImage image(4, 4, QImage::Format_ARGB32);
    QPainter painter(&image);
    given.mark(painter, QRectF(0, 0, 4, 4));
    EXPECT_EQ(marked, 10);
}

TEST(HostAppBundleTest, WithoutAnApplicationObjectItReadsTheProcess) {
    HostAppBundle host;
    ASSERT_FALSE(host.arguments().isEmpty());
    EXPECT_TRUE(host.arguments()[0].endsWith("permissions_types_test"));
    EXPECT_EQ(host.executablePath(), QFile::symLinkTarget("/proc/self/exe"));
    EXPECT_EQ(host.bundlePath(), host.executablePath());
    EXPECT_FALSE(host.infoString("CFBundleName") || host.bundleIdentifier());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(host.launchDate().has_value());
    EXPECT_TRUE(*host.launchDate() <= now.addSecs(1) && *host.launchDate() > now.addSecs(-600));
}

const KTWizardProduct kProduct{.name = "Sampler", .slug = "sampler"};

KTPermission sound() {
    KTPermission p = test::samplePermission("camera");
    p.bullets = {"Show you on the call", "Blur what is behind you", "Stop when you hang up", "Nothing else"};
    p.boundary = "Sampler uses the camera only during a call.";
    return p;
}

QList<KTLintRule> rulesOf(const KTWizardProduct& product, const KTPermission& p) {
    QList<KTLintRule> rules;
    for (const KTLintFinding& f : KTPermissionLint::lint(product, {p}))
        rules << f.rule;
    return rules;
}

// A sound declaration has no findings; each fault gives exactly its own. (The
// lint's self-test, run by the wizard's command-line test, breaks the sample
// once for each rule; these are the edges it does not try.)
TEST(PermissionLint, EachFaultGivesExactlyItsFinding) {
    EXPECT_TRUE(rulesOf(kProduct, sound()).isEmpty());
    using R = KTLintRule;
    struct Case {
        const char* label;
        std::function<void(KTWizardProduct&, KTPermission&)> breakIt;
        std::optional<R> expected;  // none: sound after all
    };
    const QList<Case> cases{
        {"empty name", [](auto& product, auto& p) { product.name = "", p.boundary = "It uses it."; },
         R::productNameEmpty},
        {"empty slug", [](auto& product, auto&) { product.slug = ""; }, R::productSlugShape},
        {"id starting with a digit", [](auto&, auto& p) { p.id = "2cam"; }, R::idShape},
        {"blank bullet", [](auto&, auto& p) { p.bullets[1] = " "; }, R::bulletEmpty},
        {"optional with blank cost", [](auto&, auto& p) { p.isOptional = true, p.costOfSkipping = " "; },
         R::optionalWithoutCost},
        {"each person in the row note", [](auto&, auto& p) { p.rowNote = "Each person must tick it."; },
         R::speaksOfPerson},
        {"boundary says we", [](auto&, auto& p) { p.boundary = "Sampler and we use it."; },
         R::boundaryFirstPerson},
        {"boundary says I'm", [](auto&, auto& p) { p.boundary = "I'm using it."; }, R::boundaryFirstPerson},
        {"boundary names the app", [](auto&, auto& p) { p.boundary = "SAMPLER uses the camera."; }, {}},
        {"boundary says this app", [](auto&, auto& p) { p.boundary = "Only while this app is open."; }, {}},
        {"boundary says the app", [](auto&, auto& p) { p.boundary = "Only while the app is open."; }, {}},
    };
    for (const Case& c : cases) {
        KTWizardProduct product = kProduct;
        KTPermission p = sound();
        c.breakIt(product, p);
        EXPECT_EQ(rulesOf(product, p), c.expected ? QList<R>{*c.expected} : QList<R>{}) << c.label;
    }
}

// Findings name the product, the id or the position; only permissions'
// own findings count against the bar, a repeated id on every holder.
TEST(PermissionLint, FindingsNameTheirSubjectAndCountAgainstTheBar) {
    KTPermission other = sound();
    other.id = "mic";
    const QList<KTPermission> list{sound(), other, sound()};
    QList<KTLintFinding> findings = KTPermissionLint::lint(kProduct, list);
    EXPECT_EQ(findings, (QList<KTLintFinding>{{0, "camera", KTLintRule::idUnique},
                                              {2, "camera", KTLintRule::idUnique}}));
    EXPECT_EQ(KTPermissionLint::meetingTheBar(list, findings), 1);

    KTPermission ok = sound();
    ok.boundary = "It uses the camera.";
    KTPermission unnamed = ok;
    unnamed.id = "";
    findings = KTPermissionLint::lint({.name = " ", .slug = "sampler"}, {ok, unnamed});
    EXPECT_EQ(findings, (QList<KTLintFinding>{{-1, "product", KTLintRule::productNameEmpty},
                                              {1, "#2", KTLintRule::idShape}}));
    EXPECT_EQ(findings[0].line(), "product: the product's name is empty");
    EXPECT_EQ(KTPermissionLint::meetingTheBar({ok, unnamed}, findings), 1);
}

}  // namespace
}  // namespace rk
