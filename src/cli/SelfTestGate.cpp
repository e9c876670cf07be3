#include "cli/SelfTestGate.h"

#include <QUrl>

#include "app/model/Step.h"
#include "finder/AXWrite.h"

namespace rk {

namespace {

// Stands in for a row of System Settings: reports the role and owner it was
// made with and counts how often it is selected.
class FakeEl final : public AXWrite::Element {
public:
    FakeEl(std::optional<QString> role, std::optional<QString> ownerBundleID)
        : role_(std::move(role)), owner_(std::move(ownerBundleID)) {}

    std::optional<QString> role() override { return role_; }
    std::optional<QString> ownerBundleID() override { return owner_; }
    std::int32_t setSelected() override {
        ++writes;
        return 0;
    }

    int writes = 0;

private:
    std::optional<QString> role_;
    std::optional<QString> owner_;
};

// Whether selecting an element of this role and owner is refused as `expected`
// and leaves it unwritten.
bool refused(const QString& role, const QString& owner, AXWrite::Refusal::Kind expected) {
    FakeEl element(role, owner);
    const auto result = AXWrite::select(element);
    return !result.ok() && result.error().kind == expected && element.writes == 0;
}

bool opens(const QString& link, std::optional<Step> expected) {
    return Step::forLink(QUrl(link)) == expected;
}

}  // namespace

void SelfTestGate::run(SelfTestChecks& checks) {
    using Kind = AXWrite::Refusal::Kind;
    const QString settings = AXWrite::settingsBundleID();

    checks.check(refused("AXButton", settings, Kind::notARow),
                 "decoy: a Remove BUTTON is refused and never written");
    checks.check(refused("AXCheckBox", settings, Kind::notARow),
                 "decoy: a SWITCH is refused and never written");
    checks.check(refused("AXRow", "com.example.TESTother", Kind::notSystemSettings),
                 "decoy: a row in another app is refused");
    FakeEl row("AXRow", settings);
    const bool selected = AXWrite::select(row).ok();
    checks.check(selected && row.writes == 1, "control: a System Settings row is selected exactly once");

    checks.check(opens("rowkeeper://login-items", Step::loginItems), "link: login-items opens Login Items");
    checks.check(opens("rowkeeper://accessibility", Step::accessibility),
                 "link: accessibility opens Accessibility");
    checks.check(opens("rowkeeper://", Step::start), "link: a bare link opens the start page");
    checks.check(opens("rowkeeper://remove-everything", std::nullopt),
                 "decoy: an unknown page name moves nowhere");
    checks.check(opens("https://login-items", std::nullopt), "decoy: another scheme is ignored");
    checks.check(opens("rowkeeper://move-in", Step::moveIn), "link: move-in opens Move-In");
}

}  // namespace rk
