#pragma once
// The lint of a product's permission texts. The rules keep the wizard's
// screens sound: ids that can key files and settings, every text present, a
// short list of bullets, a System Settings page the wizard knows, a cost of
// skipping exactly for the optional permissions, and the house voice (the
// person is "you"; the boundary names the app or calls it "it").

#include <QList>
#include <QString>

#include "permissions/Permission.h"

namespace rk {

enum class KTLintRule {
    productNameEmpty,
    productSlugShape,
    idShape,
    idUnique,
    titleEmpty,
    benefitEmpty,
    boundaryEmpty,
    bulletCount,
    bulletEmpty,
    unknownPane,
    optionalWithoutCost,
    requiredWithCost,
    speaksOfPerson,
    boundaryFirstPerson,
    boundaryWithoutApp,
};

struct KTLintFinding {
    int permissionIndex = -1;  // -1: the product
    QString subject;           // the permission's id ("#n" when it has none), or "product"
    KTLintRule rule;
    QString text() const;
    QString line() const;  // subject + ": " + text
    friend bool operator==(const KTLintFinding&, const KTLintFinding&) = default;
};

struct KTPermissionLint {
    static constexpr int maxBullets = 4;
    static QString findingText(KTLintRule rule);
    static QList<KTLintFinding> lint(const KTWizardProduct& product, const QList<KTPermission>& permissions);
    // Permissions with no finding of their own.
    static int meetingTheBar(const QList<KTPermission>& permissions, const QList<KTLintFinding>& findings);
    // Runs every rule against a sound sample and one broken sample per rule;
    // prints one line to standard output; true when every rule behaved.
    static bool selftest();
};

}  // namespace rk
