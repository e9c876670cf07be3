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

QList<KTLintRule> rulesOf(const KTWizardProduct& product, const KTPermission& p) {
    QList<KTLintRule> rules;
    for (const KTLintFinding& f : KTPermissionLint::lint(product, {p}))
        rules << f.rule;
    return rules;
}

// A sound declaration has no findings; each fault gives exactly its own.
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
        {"slug with a slash", [](auto& product, auto&) { product.slug = "a/b"; }, R::productSlugShape},
        {"empty slug", [](auto& product, auto&) { product.slug = ""; }, R::productSlugShape},
        {"capital id", [](auto&, auto& p) { p.id = "Camera"; }, R::idShape},
        {"id starting with a digit", [](auto&, auto& p) { p.id = "2cam"; }, R::idShape},
        {"blank title", [](auto&, auto& p) { p.title = "  "; }, R::titleEmpty},
        {"empty benefit", [](auto&, auto& p) { p.benefit = ""; }, R::benefitEmpty},
        {"empty boundary", [](auto&, auto& p) { p.boundary = " "; }, R::boundaryEmpty},
        {"five bullets", [](auto&, auto& p) { p.bullets << "Fifth"; }, R::bulletCount},
        {"no bullets", [](auto&, auto& p) { p.bullets.clear(); }, R::bulletCount},
        {"blank bullet", [](auto&, auto& p) { p.bullets[1] = " "; }, R::bulletEmpty},
        {"web link", [](auto&, auto& p) { p.settingsURL = QUrl("https://example.com/settings"); },
         R::unknownPane},
        {"optional without cost", [](auto&, auto& p) { p.isOptional = true; }, R::optionalWithoutCost},
        {"optional with blank cost", [](auto&, auto& p) { p.isOptional = true, p.costOfSkipping = " "; },
         R::optionalWithoutCost},
        {"required with cost", [](auto&, auto& p) { p.costOfSkipping = "Nothing works."; },
         R::requiredWithCost},
        {"the user", [](auto&, auto& p) { p.benefit = "So the user can be seen."; }, R::speaksOfPerson},
        {"each person in the row note", [](auto&, auto& p) { p.rowNote = "Each person must tick it."; },
         R::speaksOfPerson},
        {"boundary says we", [](auto&, auto& p) { p.boundary = "Sampler and we use it."; },
         R::boundaryFirstPerson},
        {"boundary says I'm", [](auto&, auto& p) { p.boundary = "I'm using it."; }, R::boundaryFirstPerson},
        {"boundary names nothing", [](auto&, auto& p) { p.boundary = "Used only in calls."; },
         R::boundaryWithoutApp},
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
