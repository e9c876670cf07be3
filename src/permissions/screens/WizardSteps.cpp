#include "permissions/screens/WizardSteps.h"

#include <algorithm>

namespace rk {

KTWizardSteps::Screen KTWizardSteps::screen(int step, int count) {
    if (step < 0)
        return Screen::summary;
    return step >= count ? Screen::done : Screen::permission;
}

KTWizardSteps::Footer KTWizardSteps::footer(int step, int count) {
    if (step < 0 || (step == 0 && count < 2))
        return {};
    return Footer{
        .shown = true, .dividerOpacity = step > 0 ? 0.5 : 0.0, .backAllowed = step >= 1 && step <= count};
}

bool KTWizardSteps::isGranted(const KTGrantMap& granted, const QString& id) {
    const auto entry = granted.find(id);
    return entry != granted.end() && entry->second;
}

int KTWizardSteps::firstOutstanding(const QList<KTPermission>& permissions, const KTGrantMap& granted) {
    const auto first = std::find_if(permissions.begin(), permissions.end(),
                                    [&](const KTPermission& p) { return !isGranted(granted, p.id); });
    return int(first - permissions.begin());
}

int KTWizardSteps::advance(int step, int count) {
    return std::min(step + 1, count);
}

}  // namespace rk
