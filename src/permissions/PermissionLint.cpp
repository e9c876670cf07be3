#include "permissions/PermissionLint.h"

#include <QRegularExpression>
#include <QSet>

#include "permissions/PermissionProbes.h"
#include "platform/ToolOutput.h"

namespace rk {

QString KTPermissionLint::findingText(KTLintRule rule) {
    switch (rule) {
        case KTLintRule::productNameEmpty:
            return "the product's name is empty";
        case KTLintRule::productSlugShape:
            return "the product's slug must be one lower-case word of letters, digits and \"-\"";
        case KTLintRule::idShape:
            return "the id must be lower-case letters, digits, \"-\" or \"_\", beginning with a letter";
        case KTLintRule::idUnique:
            return "the id is used by more than one permission";
        case KTLintRule::titleEmpty:
            return "the title is empty";
        case KTLintRule::benefitEmpty:
            return "the benefit is empty";
        case KTLintRule::boundaryEmpty:
            return "the boundary is empty";
        case KTLintRule::bulletCount:
            return "there must be one to four bullets";
        case KTLintRule::bulletEmpty:
            return "a bullet is empty";
        case KTLintRule::unknownPane:
            return "the System Settings link is not one of the known privacy pages";
        case KTLintRule::optionalWithoutCost:
            return "an optional permission must say what skipping it costs";
        case KTLintRule::requiredWithCost:
            return "a required permission cannot be skipped, so it must not name a cost of skipping";
        case KTLintRule::speaksOfPerson:
            return "a text speaks of the person in the third person; address them as \"you\"";
        case KTLintRule::boundaryFirstPerson:
            return "the boundary speaks as \"I\" or \"we\"; name the app or call it \"it\"";
        case KTLintRule::boundaryWithoutApp:
            return "the boundary must name the app, or call it \"it\" or \"this app\"";
    }
    return {};
}

QString KTLintFinding::text() const {
    return KTPermissionLint::findingText(rule);
}
QString KTLintFinding::line() const {
    return subject + ": " + text();
}

namespace {
bool blank(const QString& text) {
    return text.trimmed().isEmpty();
}

bool matches(const QString& pattern, const QString& text,
             QRegularExpression::PatternOptions options = QRegularExpression::CaseInsensitiveOption) {
    return QRegularExpression(pattern, options).match(text).hasMatch();
}

bool speaksOfPerson(const QString& text) {
    return matches(R"(\b(the|a|each|every|any)\s+(users?|person|customers?)\b)", text) ||
           matches(R"(\busers'?s?\b)", text);
}

bool firstPerson(const QString& text) {
    return matches(R"(\bI\b)", text, QRegularExpression::NoPatternOption) ||
           matches(R"(\b(me|my|mine|we|us|our|ours)\b)", text);
}

bool namesApp(const QString& text, const QString& productName) {
    if (!blank(productName) && text.contains(productName, Qt::CaseInsensitive))
        return true;
    return matches(R"(\bit\b|\b(this|the) app\b)", text);
}

QStringList personTexts(const KTPermission& p) {
    QStringList texts{p.title, p.benefit, p.boundary};
    texts << p.bullets;
    if (p.costOfSkipping)
        texts << *p.costOfSkipping;
    if (p.rowNote)
        texts << *p.rowNote;
    return texts;
}

QList<KTLintRule> permissionRules(const KTPermission& p, const QString& productName, bool duplicateId) {
    QList<KTLintRule> rules;
    if (!matches("^[a-z][a-z0-9_-]*$", p.id, QRegularExpression::NoPatternOption))
        rules << KTLintRule::idShape;
    if (duplicateId)
        rules << KTLintRule::idUnique;
    if (blank(p.title))
        rules << KTLintRule::titleEmpty;
    if (blank(p.benefit))
        rules << KTLintRule::benefitEmpty;
    if (blank(p.boundary))
        rules << KTLintRule::boundaryEmpty;
    if (p.bullets.isEmpty() || p.bullets.size() > KTPermissionLint::maxBullets)
        rules << KTLintRule::bulletCount;
    if (std::any_of(p.bullets.begin(), p.bullets.end(), blank))
        rules << KTLintRule::bulletEmpty;
    if (!KTPermissionProbes::Pane::isKnown(p.settingsURL))
        rules << KTLintRule::unknownPane;
    const bool hasCost = p.costOfSkipping && !blank(*p.costOfSkipping);
    if (p.isOptional && !hasCost)
        rules << KTLintRule::optionalWithoutCost;
    if (!p.isOptional && p.costOfSkipping)
        rules << KTLintRule::requiredWithCost;
    const QStringList texts = personTexts(p);
    if (std::any_of(texts.begin(), texts.end(), speaksOfPerson))
        rules << KTLintRule::speaksOfPerson;
    if (!blank(p.boundary)) {
        if (firstPerson(p.boundary))
            rules << KTLintRule::boundaryFirstPerson;
        if (!namesApp(p.boundary, productName))
            rules << KTLintRule::boundaryWithoutApp;
    }
    return rules;
}
}  // namespace

QList<KTLintFinding> KTPermissionLint::lint(const KTWizardProduct& product,
                                            const QList<KTPermission>& permissions) {
    QList<KTLintFinding> findings;
    if (blank(product.name))
        findings.append({-1, "product", KTLintRule::productNameEmpty});
    if (!matches("^[a-z0-9][a-z0-9-]*$", product.slug, QRegularExpression::NoPatternOption))
        findings.append({-1, "product", KTLintRule::productSlugShape});

    QMap<QString, int> idCounts;
    for (const KTPermission& p : permissions)
        idCounts[p.id] += 1;
    for (int i = 0; i < permissions.size(); ++i) {
        const KTPermission& p = permissions[i];
        const QString subject = p.id.isEmpty() ? "#" + QString::number(i + 1) : p.id;
        for (KTLintRule rule : permissionRules(p, product.name, idCounts.value(p.id) > 1))
            findings.append({i, subject, rule});
    }
    return findings;
}

int KTPermissionLint::meetingTheBar(const QList<KTPermission>& permissions,
                                    const QList<KTLintFinding>& findings) {
    QSet<int> failing;
    for (const KTLintFinding& finding : findings) {
        if (finding.permissionIndex >= 0)
            failing.insert(finding.permissionIndex);
    }
    return int(permissions.size()) - int(failing.size());
}

namespace {
KTPermission soundSample() {
    return KTPermission{
        .id = "camera",
        .title = "Camera",
        .benefit = "So you can appear in the call.",
        .bullets = {"Show you to the people you call", "Blur what is behind you"},
        .boundary = "Uses the camera only while you are in a call; it records nothing.",
        .settingsURL = KTPermissionProbes::Pane::camera(),
        .probe = [] { return false; },
        .isOptional = true,
        .costOfSkipping = "The others hear you but do not see you.",
    };
}

struct SelftestCase {
    const char* label;
    std::function<void(KTWizardProduct&, QList<KTPermission>&)> breakIt;
    KTLintRule expected;
};
}  // namespace

bool KTPermissionLint::selftest() {
    const KTWizardProduct soundProduct{.name = "Sampler", .slug = "sampler"};
    const QList<KTPermission> soundList{soundSample()};
    QStringList failures;
    if (!lint(soundProduct, soundList).isEmpty())
        failures << "a sound declaration has no findings (control)";

    const QList<SelftestCase> cases{
        {"empty product name", [](auto& product, auto&) { product.name = " "; },
         KTLintRule::productNameEmpty},
        {"slug with a slash", [](auto& product, auto&) { product.slug = "../x"; },
         KTLintRule::productSlugShape},
        {"upper-case id", [](auto&, auto& list) { list[0].id = "Camera"; }, KTLintRule::idShape},
        {"repeated id", [](auto&, auto& list) { list.append(list[0]); }, KTLintRule::idUnique},
        {"empty title", [](auto&, auto& list) { list[0].title.clear(); }, KTLintRule::titleEmpty},
        {"empty benefit", [](auto&, auto& list) { list[0].benefit = "  "; }, KTLintRule::benefitEmpty},
        {"empty boundary", [](auto&, auto& list) { list[0].boundary.clear(); }, KTLintRule::boundaryEmpty},
        {"no bullets", [](auto&, auto& list) { list[0].bullets.clear(); }, KTLintRule::bulletCount},
        {"five bullets",
         [](auto&, auto& list) {
             list[0].bullets = {"a", "b", "c", "d", "e"};
         },
         KTLintRule::bulletCount},
        {"empty bullet", [](auto&, auto& list) { list[0].bullets << ""; }, KTLintRule::bulletEmpty},
        {"unknown page", [](auto&, auto& list) { list[0].settingsURL = QUrl("https://example.com"); },
         KTLintRule::unknownPane},
        {"optional without cost", [](auto&, auto& list) { list[0].costOfSkipping.reset(); },
         KTLintRule::optionalWithoutCost},
        {"required with cost", [](auto&, auto& list) { list[0].isOptional = false; },
         KTLintRule::requiredWithCost},
        {"speaks of the user", [](auto&, auto& list) { list[0].bullets[0] = "Show the user to others"; },
         KTLintRule::speaksOfPerson},
        {"boundary says I", [](auto&, auto& list) { list[0].boundary = "I use it only in calls."; },
         KTLintRule::boundaryFirstPerson},
        {"boundary without the app", [](auto&, auto& list) { list[0].boundary = "Used only in calls."; },
         KTLintRule::boundaryWithoutApp},
    };
    for (const SelftestCase& c : cases) {
        KTWizardProduct product = soundProduct;
        QList<KTPermission> list = soundList;
        c.breakIt(product, list);
        const QList<KTLintFinding> found = lint(product, list);
        const bool caught = std::any_of(found.begin(), found.end(),
                                        [&](const KTLintFinding& f) { return f.rule == c.expected; });
        if (!caught)
            failures << QString(c.label) + " (decoy)";
    }

    return reportSelftest("permission-lint", QString("%1 rules, 1 control").arg(cases.size()), failures);
}

}  // namespace rk
