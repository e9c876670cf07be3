// The lint of permission texts: each rule fires on its fault and only there.

#include <gtest/gtest.h>

#include "permissions/PermissionLint.h"
#include "permissions/PermissionProbes.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

const KTWizardProduct kProduct{.name = "Sampler", .slug = "sampler"};

KTPermission sound() {
    KTPermission p = test::samplePermission("camera");
    p.bullets = {"Show you on the call", "Blur what is behind you", "Stop when you hang up", "Nothing else"};
    p.boundary = "Sampler uses the camera only during a call.";
    return p;
}

QList<KTLintRule> rulesOf(const QList<KTLintFinding>& findings) {
    QList<KTLintRule> rules;
    for (const KTLintFinding& f : findings)
        rules << f.rule;
    return rules;
}

TEST(PermissionLint, ASoundDeclarationHasNoFindings) {
    EXPECT_TRUE(KTPermissionLint::lint(kProduct, {sound()}).isEmpty());
}

TEST(PermissionLint, EachFaultGivesExactlyItsFinding) {
    struct Case {
        const char* label;
        std::function<void(KTWizardProduct&, KTPermission&)> breakIt;
        KTLintRule expected;
    };
    const QList<Case> cases{
        {"empty name",
         [](auto& product, auto& p) {
             product.name = "";
             p.boundary = "It uses the camera only during a call.";
         },
         KTLintRule::productNameEmpty},
        {"slug with a slash", [](auto& product, auto&) { product.slug = "a/b"; },
         KTLintRule::productSlugShape},
        {"empty slug", [](auto& product, auto&) { product.slug = ""; }, KTLintRule::productSlugShape},
        {"capital id", [](auto&, auto& p) { p.id = "Camera"; }, KTLintRule::idShape},
        {"id starting with a digit", [](auto&, auto& p) { p.id = "2cam"; }, KTLintRule::idShape},
        {"blank title", [](auto&, auto& p) { p.title = "  "; }, KTLintRule::titleEmpty},
        {"empty benefit", [](auto&, auto& p) { p.benefit = ""; }, KTLintRule::benefitEmpty},
        {"five bullets", [](auto&, auto& p) { p.bullets << "Fifth"; }, KTLintRule::bulletCount},
        {"no bullets", [](auto&, auto& p) { p.bullets.clear(); }, KTLintRule::bulletCount},
        {"blank bullet", [](auto&, auto& p) { p.bullets[1] = " "; }, KTLintRule::bulletEmpty},
        {"web link", [](auto&, auto& p) { p.settingsURL = QUrl("https://example.com/settings"); },
         KTLintRule::unknownPane},
        {"optional without cost",
         [](auto&, auto& p) {
             p.isOptional = true;
             p.costOfSkipping.reset();
         },
         KTLintRule::optionalWithoutCost},
        {"optional with blank cost",
         [](auto&, auto& p) {
             p.isOptional = true;
             p.costOfSkipping = " ";
         },
         KTLintRule::optionalWithoutCost},
        {"required with cost", [](auto&, auto& p) { p.costOfSkipping = "Nothing works."; },
         KTLintRule::requiredWithCost},
        {"the user", [](auto&, auto& p) { p.benefit = "So the user can be seen."; },
         KTLintRule::speaksOfPerson},
        {"each person in the row note", [](auto&, auto& p) { p.rowNote = "Each person must tick it."; },
         KTLintRule::speaksOfPerson},
        {"boundary says we", [](auto&, auto& p) { p.boundary = "Sampler and we use it in calls."; },
         KTLintRule::boundaryFirstPerson},
        {"boundary says I'm", [](auto&, auto& p) { p.boundary = "I'm using it only in calls."; },
         KTLintRule::boundaryFirstPerson},
        {"boundary names nothing", [](auto&, auto& p) { p.boundary = "Used only during calls."; },
         KTLintRule::boundaryWithoutApp},
    };
    for (const Case& c : cases) {
        KTWizardProduct product = kProduct;
        KTPermission p = sound();
        c.breakIt(product, p);
        EXPECT_EQ(rulesOf(KTPermissionLint::lint(product, {p})), QList<KTLintRule>{c.expected}) << c.label;
    }
}

TEST(PermissionLint, BoundaryMayNameTheAppOrCallItItOrThisApp) {
    for (const char* boundary : {"SAMPLER uses the camera.", "It uses the camera.",
                                 "Only while this app is open.", "Only while the app is open."}) {
        KTPermission p = sound();
        p.boundary = boundary;
        EXPECT_TRUE(KTPermissionLint::lint(kProduct, {p}).isEmpty()) << boundary;
    }
}

TEST(PermissionLint, RepeatedIdsAreReportedOnEveryHolderAndCountAgainstTheBar) {
    KTPermission other = sound();
    other.id = "mic";
    const QList<KTPermission> list{sound(), other, sound()};
    const QList<KTLintFinding> findings = KTPermissionLint::lint(kProduct, list);
    ASSERT_EQ(findings.size(), 2);
    EXPECT_EQ(findings[0], (KTLintFinding{0, "camera", KTLintRule::idUnique}));
    EXPECT_EQ(findings[1], (KTLintFinding{2, "camera", KTLintRule::idUnique}));
    EXPECT_EQ(KTPermissionLint::meetingTheBar(list, findings), 1);
}

TEST(PermissionLint, ProductFindingsDoNotCountAgainstPermissions) {
    KTWizardProduct product = kProduct;
    product.name = "";
    KTPermission p = sound();
    p.boundary = "It uses the camera.";
    const QList<KTLintFinding> findings = KTPermissionLint::lint(product, {p});
    ASSERT_EQ(findings.size(), 1);
    EXPECT_EQ(findings[0].line(), "product: the product's name is empty");
    EXPECT_EQ(KTPermissionLint::meetingTheBar({p}, findings), 1);
}

TEST(PermissionLint, AnUnnamedPermissionIsReportedByPosition) {
    KTPermission p = sound();
    p.id = "";
    const QList<KTLintFinding> findings = KTPermissionLint::lint(kProduct, {sound(), p});
    ASSERT_EQ(findings.size(), 1);
    EXPECT_EQ(findings[0].subject, "#2");
}

}  // namespace
}  // namespace rk
