// The wizard's configuration, its small rules and its command-line questions.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include "permissions/PermissionState.h"
#include "permissions/PermissionWizard.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using test::samplePermission;

const KTWizardProduct kProduct{.name = "Sampler", .slug = "sampler"};

KTWizardBrand plainBrand() {
    return KTWizardBrand{.accent = [](bool) { return QColor(Qt::yellow); }};
}

TEST(PermissionWizardCLI, UnconfiguredCheckAndLintReportNotMeasured) {
    test::WizardSandbox sandbox;
    testing::internal::CaptureStdout();
    EXPECT_EQ(KTPermissionWizard::runPermissionCheckCLI(), 3);
    EXPECT_EQ(KTPermissionWizard::runLintCLI({"app", "--permission-lint"}), 3);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "permission-check: NOT MEASURED (configure() has not run)\n"
              "permission-lint: NOT MEASURED (configure() has not run)\n");
}

TEST(PermissionWizardCLI, CheckPrintsOneObjectInDeclarationOrder) {
    test::WizardSandbox sandbox;
    KTPermissionWizard::configure(kProduct, plainBrand(),
                                  {samplePermission("zeta", true), samplePermission("alpha", false)}, false);
    testing::internal::CaptureStdout();
    EXPECT_EQ(KTPermissionWizard::runPermissionCheckCLI(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "{\"zeta\":true,\"alpha\":false}\n");
}

TEST(PermissionWizardCLI, LintPrintsFindingsAndTheCountMeetingTheBar) {
    test::WizardSandbox sandbox;
    KTPermission broken = samplePermission("broken");
    broken.title.clear();
    testing::internal::CaptureStderr();
    KTPermissionWizard::configure(kProduct, plainBrand(), {samplePermission("fine"), broken}, false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "permission-lint: broken: the title is empty\n");

    testing::internal::CaptureStdout();
    EXPECT_EQ(KTPermissionWizard::runLintCLI({"app", "--permission-lint"}), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "FAIL: broken: the title is empty\n"
              "permission-lint: 1 of 2 permissions meet the bar\n");
}

TEST(PermissionWizardCLI, LintSelftestRunsBothSelftestsWithoutConfiguration) {
    test::WizardSandbox sandbox;
    testing::internal::CaptureStdout();
    EXPECT_EQ(KTPermissionWizard::runLintCLI({"app", "--permission-lint", "--selftest"}), 0);
    const QString out = QString::fromStdString(testing::internal::GetCapturedStdout());
    EXPECT_TRUE(out.contains("permission-lint selftest OK")) << out.toStdString();
    EXPECT_TRUE(out.contains("stale-grant selftest OK")) << out.toStdString();
}

TEST(PermissionWizardConfigure, WritesTheRecordOnlyWhenAskedAndNotACommandLineQuestion) {
    struct Case {
        QStringList args;
        bool writeState;
        bool expectRecord;
    };
    const QList<Case> cases{
        {{"app"}, true, true},
        {{"app"}, false, false},
        {{"app", "--permission-check"}, true, false},
        {{"app", "--permission-lint"}, true, false},
        {{"app", "--permission-windowshot", "/tmp/x"}, true, false},
        {{"app", "--permission-repair-legacy"}, true, false},
        {{"app", "--Permission-Check"}, true, true},  // exact match only
        {{"app", "--permission-check=1"}, true, true},
    };
    for (const Case& c : cases) {
        test::WizardSandbox sandbox;
        sandbox.bundle.args = c.args;
        KTPermissionWizard::configure(kProduct, plainBrand(), {samplePermission("one")}, c.writeState);
        EXPECT_EQ(QFile::exists(sandbox.dotFile("sampler", "permissions.json")), c.expectRecord)
            << c.args.join(" ").toStdString() << " writeState=" << c.writeState;
    }
}

TEST(PermissionWizardSkips, MarkSkippedKeepsIdsInDefaultsAndRewritesTheRecord) {
    test::WizardSandbox sandbox;
    KTPermissionWizard::configure(kProduct, plainBrand(), {samplePermission("one"), samplePermission("two")},
                                  false);
    KTPermissionWizard::markSkipped("two");
    KTPermissionWizard::markSkipped("one");
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), (QSet<QString>{"one", "two"}));
    EXPECT_EQ(QSettings().value("KTPermissionWizard.skipped.sampler").toStringList(),
              (QStringList{"one", "two"}));

    const QJsonObject record =
        QJsonDocument::fromJson(sandbox.readDotFile("sampler", "permissions.json")).object();
    for (const QJsonValue& entry : record.value("permissions").toArray())
        EXPECT_TRUE(entry.toObject().value("skipped").toBool());
}

TEST(PermissionWizardSkips, SkipOutstandingSkipsWhatTheMapOrTheProbeLeavesUngranted) {
    test::WizardSandbox sandbox;
    KTPermissionWizard::configure(kProduct, plainBrand(),
                                  {samplePermission("map-true"), samplePermission("map-false", true),
                                   samplePermission("probe-true", true), samplePermission("probe-false")},
                                  false);
    KTPermissionWizard::skipOutstanding({{"map-true", true}, {"map-false", false}});
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), (QSet<QString>{"map-false", "probe-false"}));
}

TEST(PermissionWizardSkips, SkipsAreKeptPerProductSlug) {
    test::WizardSandbox sandbox;
    KTPermissionWizard::configure(kProduct, plainBrand(), {samplePermission("one")}, false);
    KTPermissionWizard::markSkipped("one");
    KTPermissionWizard::configure(KTWizardProduct{.name = "Other", .slug = "other"}, plainBrand(), {}, false);
    EXPECT_TRUE(KTPermissionWizard::skippedIDs().isEmpty());
}

TEST(PermissionWizardRules, PickerPath) {
    struct Case {
        const char* bundle;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/Applications/Rowkeeper.app", "/Users/anna", "Applications > Rowkeeper"},
        {"/Users/anna/Applications/Rowkeeper.app", "/Users/anna/",
         "Applications in your home folder > Rowkeeper"},
        {"/Users/bob/Applications/Rowkeeper.app", "/Users/anna", "Applications > Rowkeeper"},
        {"/Users/anna/Downloads/Rowkeeper 2.app", "/Users/anna", "Downloads > Rowkeeper 2"},
        {"/Users/anna/Dev/../Builds/Row.keeper.app", "/Users/anna", "Builds > Row.keeper"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KTPermissionWizard::pickerPath(c.bundle, c.home), c.expected) << c.bundle;
}

TEST(PermissionWizardRules, PlusLineOnlyForListsThatTakeADraggedApp) {
    test::WizardSandbox sandbox;
    KTPermission p = samplePermission("x");
    p.settingsURL = KTPermissionProbes::Pane::screenRecording();
    EXPECT_EQ(KTPermissionWizard::plusLine(p, "/Users/anna/Applications/Sample.app"),
              "Not in the list? Click + under it and choose Applications in your home folder > Sample.");
    p.settingsURL = KTPermissionProbes::Pane::microphone();
    EXPECT_FALSE(KTPermissionWizard::plusLine(p, "/Applications/Sample.app").has_value());
}

TEST(PermissionWizardRules, PresentationSettleAndSurvivingSkips) {
    EXPECT_EQ(KTPermissionWizard::presentation(true), KTPermissionWizard::Presentation::activate);
    EXPECT_EQ(KTPermissionWizard::presentation(false), KTPermissionWizard::Presentation::frontWithoutFocus);
    EXPECT_TRUE(KTPermissionWizard::shouldSettleBeforePresenting({"a", "b"}, {"b"}));
    EXPECT_FALSE(KTPermissionWizard::shouldSettleBeforePresenting({"a"}, {"b"}));
    EXPECT_FALSE(KTPermissionWizard::shouldSettleBeforePresenting({}, {"b"}));
    EXPECT_FALSE(KTPermissionWizard::shouldSettleBeforePresenting({"a"}, {}));

    EXPECT_EQ(KTPermissionWizard::skipsSurvivingGrants({"a", "b", "c"}, {"b", "z"}),
              (QSet<QString>{"a", "c"}));
}

}  // namespace
}  // namespace rk
