// The wizard's configuration, its small rules, its command-line questions, and
// the permission record: where it lives, what it holds, and who may trust it.

#include <gtest/gtest.h>

#include <QFile>
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
    const QString unconfigured = ": NOT MEASURED (configure() has not run)\n";
    const QList<KTPermission> repeated{samplePermission("zeta", true), samplePermission("alpha"),
                                       samplePermission("zeta")};
    struct Case {
        std::optional<QList<KTPermission>> configured;
        QString args;
        int status;
        QString out;
    };
    const Case cases[] = {
        {std::nullopt, "--permission-check", 3, "permission-check" + unconfigured},
        {std::nullopt, "--permission-lint", 3, "permission-lint" + unconfigured},
        {repeated, "--permission-check", 0, "{\"zeta\":true,\"alpha\":false}\n"},
        {QList{samplePermission("fine"), broken}, "--permission-lint", 1,
         "FAIL: broken: the title is empty\npermission-lint: 1 of 2 permissions meet the bar\n"},
        {std::nullopt, "--permission-lint --selftest", 0,
         "permission-lint selftest OK (16 rules, 1 control)\nstale-grant selftest OK (14 checks)\n"},
    };
    for (const Case& c : cases) {
        test::WizardSandbox sandbox;
        testing::internal::CaptureStderr();
        if (c.configured)
            configure(*c.configured);
        const std::string lint = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.args == "--permission-check"
                      ? KTPermissionWizard::runPermissionCheckCLI()
                      : KTPermissionWizard::runLintCLI(("app " + c.args).split(' ')),
                  c.status);
        EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStdout()), c.out)
            << c.args.toStdString();
        if (c.status == 1) {  // configuring prints what the lint finds
            EXPECT_EQ(lint, "permission-lint: broken: the title is empty\n");
        }
    }
}

TEST(PermissionWizardConfigure, WritesTheRecordOnlyWhenAskedAndNotACommandLineQuestion) {
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
}

// Skips are kept per slug in user defaults and in the record; skipping the
// outstanding ones skips what the map, else the probe, leaves ungranted.
TEST(PermissionWizardSkips, KeptPerSlugInDefaultsAndInTheRecord) {
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

bool write(const QString& slug, const QList<KTPermission>& permissions, const QSet<QString>& skipped = {}) {
    KTPermissionWizard::configure(KTWizardProduct{.name = "Sampler", .slug = slug}, KTWizardBrand{},
                                  permissions, false);
    return KTPermissionState::write(KTPermissionWizard::configuredPermissions(), skipped);
}

// The record lives in the slug's dot-folder of the home; a slug that could
// name another folder has none, and a folder that cannot be made is an answer.
TEST(PermissionState, RecordLivesInTheSlugsDotFolderOfTheHome) {
    test::WizardSandbox sandbox;
    EXPECT_EQ(KTPermissionState::folder("larkspur"), "/Users/anna/.larkspur");
    EXPECT_EQ(KTPermissionState::recordFile("larkspur"),
              sandbox.root.root() + "/Users/anna/.larkspur/permissions.json");
    for (const char* slug : {"", ".", "..", "a/b", "../etc", ".hidden", "/abs"})
        EXPECT_FALSE(KTPermissionState::folder(slug).has_value()) << slug;
    EXPECT_FALSE(write("../escape", {samplePermission("one", true)}));
    EXPECT_FALSE(QFile::exists(sandbox.root.disk("/Users/escape/permissions.json")));
    EXPECT_FALSE(QFile::exists(sandbox.root.disk("/Users/anna/.../escape/permissions.json")));
    sandbox.root.writeFile("/Users/anna/.sampler", "in the way");
    EXPECT_FALSE(write("sampler", {samplePermission("a", true)}));
}

TEST(PermissionState, WriteHoldsEveryPermissionWithItsProbeAndSkip) {
    test::WizardSandbox sandbox;
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
}

// The identity self-test holds the own, other and absent writer.
TEST(PermissionState, GrantedIDsTrustOnlyTheirOwnOrAnUnknownWriter) {
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
}

}  // namespace
}  // namespace rk
