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

void configure(const QList<KTPermission>& permissions, bool writeState = false) {
    KTPermissionWizard::configure(kProduct, KTWizardBrand{.accent = [](bool) { return QColor(Qt::yellow); }},
                                  permissions, writeState);
}

// The one check of what "--permission-check" prints: one object in
// declaration order, each id once.
TEST(PermissionWizardCLI, AnswersOnStandardOutput) {
    KTPermission broken = samplePermission("broken");
    broken.title.clear();
    struct Case {
        std::optional<QList<KTPermission>> configured;
        QStringList args;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {std::nullopt,
         {"--permission-check"},
         3,
         "permission-check: NOT MEASURED (configure() has not run)\n"},
        {std::nullopt, {"--permission-lint"}, 3, "permission-lint: NOT MEASURED (configure() has not run)\n"},
        {QList{samplePermission("zeta", true), samplePermission("alpha"), samplePermission("zeta")},
         {"--permission-check"},
         0,
         "{\"zeta\":true,\"alpha\":false}\n"},
        {QList{samplePermission("fine"), broken},
         {"--permission-lint"},
         1,
         "FAIL: broken: the title is empty\npermission-lint: 1 of 2 permissions meet the bar\n"},
        {std::nullopt,
         {"--permission-lint", "--selftest"},
         0,
         "permission-lint selftest OK (16 rules, 1 control)\nstale-grant selftest OK (14 checks)\n"},
    };
    for (const Case& c : cases) {
        test::WizardSandbox sandbox;
        testing::internal::CaptureStderr();
        if (c.configured)
            configure(*c.configured);
        const std::string lint = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.args[0] == "--permission-check"
                      ? KTPermissionWizard::runPermissionCheckCLI()
                      : KTPermissionWizard::runLintCLI(QStringList{"app"} + c.args),
                  c.status);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.args.join(' ').toStdString();
        if (c.status == 1) {  // configuring prints what the lint finds
            EXPECT_EQ(lint, "permission-lint: broken: the title is empty\n");
        }
    }
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
        configure({samplePermission("one")}, c.writeState);
        EXPECT_EQ(QFile::exists(sandbox.dotFile("sampler", "permissions.json")), c.expectRecord)
            << c.args.join(" ").toStdString() << " writeState=" << c.writeState;
    }
}

TEST(PermissionWizardSkips, KeptPerSlugInDefaultsAndInTheRecord) {
    test::WizardSandbox sandbox;
    configure({samplePermission("one"), samplePermission("two")});
    KTPermissionWizard::markSkipped("two");
    KTPermissionWizard::markSkipped("one");
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), (QSet<QString>{"one", "two"}));
    EXPECT_EQ(QSettings().value("KTPermissionWizard.skipped.sampler").toStringList(),
              (QStringList{"one", "two"}));
    const QJsonArray record = QJsonDocument::fromJson(sandbox.readDotFile("sampler", "permissions.json"))
                                  .object()["permissions"]
                                  .toArray();
    EXPECT_TRUE(record.size() == 2 && record[0]["skipped"].toBool() && record[1]["skipped"].toBool());
    KTPermissionWizard::configure(KTWizardProduct{.name = "Other", .slug = "other"}, KTWizardBrand{}, {},
                                  false);
    EXPECT_TRUE(KTPermissionWizard::skippedIDs().isEmpty());
}

TEST(PermissionWizardSkips, SkipOutstandingSkipsWhatTheMapOrTheProbeLeavesUngranted) {
    test::WizardSandbox sandbox;
    configure({samplePermission("map-true"), samplePermission("map-false", true),
               samplePermission("probe-true", true), samplePermission("probe-false")});
    KTPermissionWizard::skipOutstanding({{"map-true", true}, {"map-false", false}});
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), (QSet<QString>{"map-false", "probe-false"}));
}

TEST(PermissionWizardRules, PickerPath) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/Applications/Rowkeeper.app", "/Users/anna", "Applications > Rowkeeper"},
        {"/Users/anna/Applications/Rowkeeper.app", "/Users/anna/",
         "Applications in your home folder > Rowkeeper"},
        {"/Users/bob/Applications/Rowkeeper.app", "/Users/anna", "Applications > Rowkeeper"},
        {"/Users/anna/Downloads/Rowkeeper 2.app", "/Users/anna", "Downloads > Rowkeeper 2"},
        {"/Users/anna/Dev/../Builds/Row.keeper.app", "/Users/anna", "Builds > Row.keeper"},
    };
    for (const auto& [bundle, home, expected] : cases)
        EXPECT_EQ(KTPermissionWizard::pickerPath(bundle, home), expected) << bundle;
}

}  // namespace
}  // namespace rk
