// The permission record: where it lives, what it holds, and who may trust it.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "permissions/PermissionState.h"
#include "permissions/PermissionWizard.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using test::samplePermission;

void configureSampler(const QList<KTPermission>& permissions) {
    KTPermissionWizard::configure(KTWizardProduct{.name = "Sampler", .slug = "sampler"}, KTWizardBrand{},
                                  permissions, false);
}

TEST(PermissionState, RecordLivesInTheSlugsDotFolderOfTheHome) {
    test::WizardSandbox sandbox;
    EXPECT_EQ(KTPermissionState::folder("larkspur"), "/Users/anna/.larkspur");
    EXPECT_EQ(KTPermissionState::recordFile("larkspur"),
              sandbox.root.root() + "/Users/anna/.larkspur/permissions.json");
}

TEST(PermissionState, ASlugThatCouldNameAnotherFolderHasNoRecord) {
    test::WizardSandbox sandbox;
    for (const char* slug : {"", ".", "..", "a/b", "../etc", ".hidden", "/abs"})
        EXPECT_FALSE(KTPermissionState::folder(slug).has_value()) << slug;

    KTPermissionWizard::configure(KTWizardProduct{.name = "Bad", .slug = "../escape"}, KTWizardBrand{},
                                  {samplePermission("one", true)}, false);
    EXPECT_FALSE(KTPermissionState::write(KTPermissionWizard::configuredPermissions(), {}));
    EXPECT_FALSE(QFile::exists(sandbox.root.disk("/Users/escape/permissions.json")));
    EXPECT_FALSE(QFile::exists(sandbox.root.disk("/Users/anna/.../escape/permissions.json")));
}

TEST(PermissionState, WriteHoldsEveryPermissionWithItsProbeAndSkip) {
    test::WizardSandbox sandbox;
    KTPermission optional = samplePermission("screen", false);
    optional.isOptional = true;
    configureSampler({samplePermission("fulldisk", true), optional});
    // A longer old record is replaced whole, not overwritten in part.
    sandbox.root.writeFile("/Users/anna/.sampler/permissions.json", QByteArray(10000, 'x'));
    ASSERT_TRUE(KTPermissionState::write(KTPermissionWizard::configuredPermissions(), {"screen"}));

    const QJsonObject root =
        QJsonDocument::fromJson(sandbox.readDotFile("sampler", "permissions.json")).object();
    EXPECT_EQ(root.value("bundle_id").toString(), "org.example.sample");
    const QJsonArray entries = root.value("permissions").toArray();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].toObject(), (QJsonObject{{"id", "fulldisk"},
                                                  {"title", "Sample fulldisk"},
                                                  {"optional", false},
                                                  {"capability_probe", true},
                                                  {"skipped", false}}));
    EXPECT_EQ(entries[1].toObject(), (QJsonObject{{"id", "screen"},
                                                  {"title", "Sample screen"},
                                                  {"optional", true},
                                                  {"capability_probe", false},
                                                  {"skipped", true}}));
}

TEST(PermissionState, RecordRoundTripsThroughGrantedIDs) {
    test::WizardSandbox sandbox;
    configureSampler(
        {samplePermission("a", true), samplePermission("b", false), samplePermission("c", true)});
    ASSERT_TRUE(KTPermissionState::write(KTPermissionWizard::configuredPermissions(), {}));
    const QByteArray record = sandbox.readDotFile("sampler", "permissions.json");
    EXPECT_EQ(KTPermissionState::grantedIDs(record, QString("org.example.sample")),
              (QSet<QString>{"a", "c"}));
    EXPECT_TRUE(KTPermissionState::grantedIDs(record, QString("org.example.other")).isEmpty());

    // An app without an identifier writes a null writer, which any reader trusts.
    sandbox.bundle.identifier.reset();
    ASSERT_TRUE(KTPermissionState::write(KTPermissionWizard::configuredPermissions(), {}));
    const QByteArray anonymous = sandbox.readDotFile("sampler", "permissions.json");
    EXPECT_TRUE(QJsonDocument::fromJson(anonymous).object().value("bundle_id").isNull());
    EXPECT_EQ(KTPermissionState::grantedIDs(anonymous, QString("org.example.any")),
              (QSet<QString>{"a", "c"}));
}

TEST(PermissionState, GrantedIDsTable) {
    struct Case {
        const char* label;
        QByteArray record;
        std::optional<QString> own;
        QSet<QString> expected;
    };
    const QList<Case> cases{
        {"no writer",
         R"({"permissions":[{"id":"screen","capability_probe":true},{"id":"ax","capability_probe":false}]})",
         QString("me"),
         {"screen"}},
        {"other writer",
         R"({"bundle_id":"old","permissions":[{"id":"screen","capability_probe":true}]})",
         QString("me"),
         {}},
        {"other writer, own unknown",
         R"({"bundle_id":"old","permissions":[{"id":"s","capability_probe":true}]})",
         std::nullopt,
         {"s"}},
        {"writer not a string",
         R"({"bundle_id":7,"permissions":[{"id":"s","capability_probe":true}]})",
         QString("me"),
         {"s"}},
        {"probe as text is not true",
         R"({"permissions":[{"id":"s","capability_probe":"true"}]})",
         QString("me"),
         {}},
        {"permissions not a list", R"({"permissions":{"id":"s"}})", QString("me"), {}},
        {"not JSON", "not json at all", QString("me"), {}},
        {"a list, not an object", R"([{"id":"s","capability_probe":true}])", QString("me"), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KTPermissionState::grantedIDs(c.record, c.own), c.expected) << c.label;
}

TEST(PermissionState, AFailedWriteIsAnAnswerNotACrash) {
    test::WizardSandbox sandbox;
    // A file where the dot-folder should be.
    sandbox.root.writeFile("/Users/anna/.sampler", "in the way");
    configureSampler({samplePermission("a", true)});
    EXPECT_FALSE(KTPermissionState::write(KTPermissionWizard::configuredPermissions(), {}));
}

}  // namespace
}  // namespace rk
