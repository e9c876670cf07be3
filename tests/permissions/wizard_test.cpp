// The declaration types, probes and brand; the lint; the wizard's
// configuration and command-line questions; the permission record.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include "permissions/PermissionLint.h"
#include "permissions/PermissionState.h"
#include "support/FileShapes.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using test::samplePermission;

const KTWizardProduct kProduct{.name = "Sampler", .slug = "sampler"};

void configure(const QList<KTPermission>& permissions, bool writeState = false) {
    KTPermissionWizard::configure(kProduct, KTWizardBrand{.accent = [](bool) { return QColor(Qt::yellow); }},
                                  permissions, writeState);
}

// The one check of what "--permission-check" prints: one object in
// declaration order, each id once.
TEST(PermissionWizard, AnswersOnStandardOutputWritesTheRecordOnlyWhenAskedKeepsSkipsAndNamesThePickerPath) {
    KTPermission broken = samplePermission("broken");
    broken.title.clear();
    const QString unconfigured = ": NOT MEASURED (configure() has not run)\n";
    const QList<KTPermission> repeated{samplePermission("zeta", true), samplePermission("alpha"),
                                       samplePermission("zeta")};
    const std::tuple<std::optional<QList<KTPermission>>, QString, int, QString> cases[] = {
        {std::nullopt, "--permission-check", 3, "permission-check" + unconfigured},
        {std::nullopt, "--permission-lint", 3, "permission-lint" + unconfigured},
        {repeated, "--permission-check", 0, "{\"zeta\":true,\"alpha\":false}\n"},
        {QList{samplePermission("fine"), broken}, "--permission-lint", 1,
         "FAIL: broken: the title is empty\npermission-lint: 1 of 2 permissions meet the bar\n"},
        {std::nullopt, "--permission-lint --selftest", 0,
         "permission-lint selftest OK (16 rules, 1 control)\nstale-grant selftest OK (14 checks)\n"},
    };
    for (const auto& [configured, args, status, out] : cases) {
        test::WizardSandbox sandbox;
        testing::internal::CaptureStderr();
        if (configured)
            configure(*configured);
        const std::string lint = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(args == "--permission-check" ? KTPermissionWizard::runPermissionCheckCLI()
                                               : KTPermissionWizard::runLintCLI(("app " + args).split(' ')),
                  status);
        EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStdout()), out) << args.toStdString();
        if (status == 1) {  // configuring prints what the lint finds
            EXPECT_EQ(lint, "permission-lint: broken: the title is empty\n");
        }
    }

    const auto recordWritten = [](const QString& args, bool writeState) {
        test::WizardSandbox sandbox;
        sandbox.bundle.args = args.split(' ');
        configure({samplePermission("one")}, writeState);
        return QFile::exists(sandbox.dotFile("sampler", "permissions.json"));
    };
    EXPECT_FALSE(recordWritten("app", false));
    // Command-line questions match whole arguments only.
    for (const char* args : {"app", "app --Permission-Check", "app --permission-check=1"})
        EXPECT_TRUE(recordWritten(args, true)) << args;
    for (const char* args : {"app --permission-check", "app --permission-lint",
                             "app --permission-windowshot /x", "app --permission-repair-legacy"})
        EXPECT_FALSE(recordWritten(args, true)) << args;

    // Skips are kept per slug in user defaults and in the record; skipping the
    // outstanding ones skips what the map, else the probe, leaves ungranted.
    test::WizardSandbox sandbox;
    configure({samplePermission("one"), samplePermission("two")});
    KTPermissionWizard::markSkipped("two");
    KTPermissionWizard::markSkipped("one");
    EXPECT_EQ(QSettings().value("KTPermissionWizard.skipped.sampler").toStringList(),
              (QStringList{"one", "two"}));
    const QJsonArray record = QJsonDocument::fromJson(sandbox.readDotFile("sampler", "permissions.json"))
                                  .object()["permissions"]
                                  .toArray();
    EXPECT_TRUE(record.size() == 2 && record[0]["skipped"].toBool() && record[1]["skipped"].toBool());

    KTPermissionWizard::configure({.name = "Other", .slug = "other"}, KTWizardBrand{},
                                  {samplePermission("map-true"), samplePermission("map-false", true),
                                   samplePermission("probe-true", true), samplePermission("probe-false")},
                                  false);
    EXPECT_TRUE(KTPermissionWizard::skippedIDs().isEmpty()) << "another slug's skips are not these";
    KTPermissionWizard::skipOutstanding({{"map-true", true}, {"map-false", false}});
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), (QSet<QString>{"map-false", "probe-false"}));

    const std::pair<const char*, const char*> pickers[] = {
        {"/Applications/Rowkeeper.app", "Applications > Rowkeeper"},
        {"/Users/anna/Applications/Rowkeeper.app", "Applications in your home folder > Rowkeeper"},
        {"/Users/bob/Applications/Rowkeeper.app", "Applications > Rowkeeper"},
        {"/Users/anna/Downloads/Rowkeeper 2.app", "Downloads > Rowkeeper 2"},
        {"/Users/anna/Dev/../Builds/Row.keeper.app", "Builds > Row.keeper"},
    };
    for (const auto& [bundle, expected] : pickers)
        EXPECT_EQ(KTPermissionWizard::pickerPath(bundle, "/Users/anna"), expected) << bundle;
    EXPECT_EQ(KTPermissionWizard::pickerPath("/Users/anna/Applications/R.app", "/Users/anna/"),
              "Applications in your home folder > R");
}

bool write(const QString& slug, const QList<KTPermission>& permissions, const QSet<QString>& skipped = {}) {
    KTPermissionWizard::configure(KTWizardProduct{.name = "Sampler", .slug = slug}, KTWizardBrand{},
                                  permissions, false);
    return KTPermissionState::write(KTPermissionWizard::configuredPermissions(), skipped);
}

// The record lives in the slug's dot-folder of the home; a slug that could
// name another folder has none, and a folder that cannot be made is an answer.
TEST(PermissionState, TheRecordLivesInTheSlugsDotFolderHoldsEveryPermissionAndTrustsItsOwnWriter) {
    test::WizardSandbox sandbox;
    EXPECT_EQ(KTPermissionState::folder("larkspur"), "/Users/anna/.larkspur");
    EXPECT_EQ(KTPermissionState::recordFile("larkspur"),
              sandbox.root.root() + "/Users/anna/.larkspur/permissions.json");
    for (const char* slug : {"", ".", "..", "a/b", "../etc", ".hidden", "/abs"})
        EXPECT_FALSE(KTPermissionState::folder(slug).has_value()) << slug;
    EXPECT_FALSE(write("../escape", {samplePermission("one", true)}));
    EXPECT_FALSE(QFile::exists(sandbox.root.disk("/Users/escape/permissions.json")));
    EXPECT_FALSE(QFile::exists(sandbox.root.disk("/Users/anna/.../escape/permissions.json")));
    sandbox.root.writeFile("/Users/anna/.blocked", "in the way");
    EXPECT_FALSE(write("blocked", {samplePermission("a", true)}));

    KTPermission optional = samplePermission("screen", false);
    optional.isOptional = true;
    // A longer old record is replaced whole, not overwritten in part.
    sandbox.root.writeFile("/Users/anna/.sampler/permissions.json", QByteArray(10000, 'x'));
    ASSERT_TRUE(write("sampler", {samplePermission("fulldisk", true), optional}, {"screen"}));

    const QJsonObject root =
        QJsonDocument::fromJson(sandbox.readDotFile("sampler", "permissions.json")).object();
    EXPECT_EQ(root.value("bundle_id").toString(), "org.example.sample");
    const QByteArray expected = R"([
        {"id":"fulldisk","title":"Sample fulldisk","optional":false,"capability_probe":true,"skipped":false},
        {"id":"screen","title":"Sample screen","optional":true,"capability_probe":false,"skipped":true}])";
    EXPECT_EQ(root.value("permissions").toArray(), QJsonDocument::fromJson(expected).array());

    // The identity self-test holds the own, other and absent writer.
    const QString held = R"("permissions":[{"id":"s","capability_probe":true}])";
    const std::tuple<const char*, QString, std::optional<QString>, QSet<QString>> cases[] = {
        {"other writer, own unknown", R"({"bundle_id":"old",)" + held + "}", std::nullopt, {"s"}},
        {"writer not a string", R"({"bundle_id":7,)" + held + "}", "me", {"s"}},
        {"probe as text is not true", R"({"permissions":[{"id":"s","capability_probe":"true"}]})", "me", {}},
        {"permissions not a list", R"({"permissions":{"id":"s"}})", "me", {}},
        {"not JSON", "not json at all", "me", {}},
        {"a list, not an object", "[{" + held + "}]", "me", {}},
    };
    for (const auto& [label, record, own, expected] : cases)
        EXPECT_EQ(KTPermissionState::grantedIDs(record.toUtf8(), own), expected) << label;

    // On disk, what is no file is no answer, given at once.
    const QString logical = "/Users/anna/.sampler/permissions.json", disk = sandbox.root.disk(logical);
    sandbox.root.writeFile(logical, R"({"bundle_id": "old"})");
    EXPECT_TRUE(KTPermissionState::writtenByAnotherIdentity("sampler", QString("me")));
    for (const auto shape : {test::FileShape::pipe, test::FileShape::linkToZeros, test::FileShape::folder}) {
        ASSERT_TRUE(sandbox.root.remove(logical) && test::plant(shape, disk));
        EXPECT_TRUE(test::finishesWithoutWaitingOn({disk}, [] {
            EXPECT_FALSE(KTPermissionState::writtenByAnotherIdentity("sampler", QString("me")));
        }));
    }
}

using Pane = KTPermissionProbes::Pane;

TEST(PermissionProbes, ScreenRecordingDraggedAppListsAndNames) {
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

    const std::tuple<const QUrl&, KTListenAccess, bool> cases[] = {
        {Pane::accessibility(), KTListenAccess::granted, true},
        {Pane::accessibility(), KTListenAccess::denied, true},  // as Input Monitoring
        {Pane::fullDisk(), KTListenAccess::unknown, true},
        {Pane::microphone(), KTListenAccess::unknown, false},
        {Pane::camera(), KTListenAccess::denied, false},
    };
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

TEST(PermissionTypes, DialogImagesTheBrandTheHostBundleAndTheLintOfTheirTexts) {
    QTemporaryDir dir;
    for (const auto& [name, colour] : {std::pair{"both-dark", Qt::black},
                                       {"both-light", Qt::white},
                                       {"both", Qt::red},
                                       {"plain", Qt::green}}) {
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(dir.filePath(QString(name) + ".png")));
    }
    ASSERT_TRUE(QFile(dir.filePath("broken.png")).open(QIODevice::WriteOnly));  // empty: not a picture
    const auto colourOf = [&](const QString& name, bool dark) -> std::optional<QColor> {
        const auto image = KTPermission::resolveDialogImage(name, dark, dir.path());
        return image ? std::optional(image->pixelColor(0, 0)) : std::nullopt;
    };
    EXPECT_EQ(colourOf("both", true), QColor(Qt::black));
    EXPECT_EQ(colourOf("both", false), QColor(Qt::white));
    EXPECT_EQ(colourOf("plain", true), QColor(Qt::green));
    for (const char* none : {"missing", "", "broken"})
        EXPECT_EQ(colourOf(none, false), std::nullopt) << none;

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
    QImage canvas(4, 4, QImage::Format_ARGB32);
    QPainter painter(&canvas);
    given.mark(painter, QRectF(0, 0, 4, 4));
    EXPECT_EQ(marked, 10);

    HostAppBundle host;
    ASSERT_FALSE(host.arguments().isEmpty());
    EXPECT_TRUE(host.arguments()[0].endsWith("permissions_wizard_test"));
    EXPECT_EQ(host.executablePath(), QFile::symLinkTarget("/proc/self/exe"));
    EXPECT_EQ(host.bundlePath(), host.executablePath());
    EXPECT_FALSE(host.infoString("CFBundleName") || host.bundleIdentifier());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(host.launchDate().has_value());
    EXPECT_TRUE(*host.launchDate() <= now.addSecs(1) && *host.launchDate() > now.addSecs(-600));

    // A sound declaration has no findings; each fault gives exactly its own. (The
    // lint's self-test, run by the wizard's command-line test, breaks the sample
    // once for each rule; these are the edges it does not try.)
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

    // Findings name the product, the id or the position; only permissions'
    // own findings count against the bar, a repeated id on every holder.
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
