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
