#include "finder/AXWrite.h"

namespace rk {

QString AXWrite::settingsBundleID() {
    return QStringLiteral("com.apple.systempreferences");
}

QString AXWrite::Refusal::description() const {
    switch (kind) {
        case Kind::notARow:
            return QStringLiteral("refused: element role is ") + role + QStringLiteral(", not AXRow");
        case Kind::failed:
            return QStringLiteral("Accessibility error ") + QString::number(code);
        case Kind::notSystemSettings:
            return QStringLiteral("refused: element is not in System Settings");
    }
    return {};
}

bool operator==(const AXWrite::Refusal& a, const AXWrite::Refusal& b) {
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
        case AXWrite::Refusal::Kind::notARow:
            return a.role == b.role;
        case AXWrite::Refusal::Kind::failed:
            return a.code == b.code;
        case AXWrite::Refusal::Kind::notSystemSettings:
            return true;
    }
    return false;
}

Result<Unit, AXWrite::Refusal> AXWrite::select(Element& element) {
    // The owner comes first: an element of another application is not even
    // asked for its role.
    const std::optional<QString> owner = element.ownerBundleID();
    if (!owner || *owner != settingsBundleID())
        return fail(Refusal::notSystemSettings());

    if (element.role() == QStringLiteral("AXRow")) {
        const std::int32_t code = element.setSelected();
        if (code == AXError::success)
            return Unit{};
        return fail(Refusal::failed(code));
    }
    return fail(Refusal::notARow(element.role().value_or(QStringLiteral("none"))));
}

std::optional<QString> LiveAXElement::role() {
    const std::optional<AXValue> value = accessibility_.attribute(ref_, QStringLiteral("AXRole"));
    if (!value)
        return std::nullopt;
    if (const QString* text = std::get_if<QString>(&*value))
        return *text;
    return std::nullopt;
}

std::int32_t LiveAXElement::setSelected() {
    return accessibility_.setSelected(ref_);
}

}  // namespace rk
