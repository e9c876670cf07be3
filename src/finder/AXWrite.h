#pragma once
// The one door through which the program writes to System Settings. It lets
// exactly one kind of write through: selecting ("AXSelected" = true) an
// element whose role is "AXRow" and that belongs to System Settings. A Remove
// button, a switch, or anything of another application is refused before
// anything is sent, so the program can never press, flip or delete.

#include <QString>
#include <cstdint>
#include <optional>

#include "platform/Accessibility.h"
#include "platform/Result.h"

namespace rk {

struct AXWrite {
    // System Settings' bundle identifier.
    static QString settingsBundleID();

    // Whatever the gate may write to.
    class Element {
    public:
        virtual ~Element() = default;
        virtual std::optional<QString> role() = 0;           // the Accessibility role
        virtual std::optional<QString> ownerBundleID() = 0;  // the application it belongs to
        // Sets "AXSelected" to true; the Accessibility error code, 0 for success.
        virtual std::int32_t setSelected() = 0;
    };

    // Why a write was not made (or not accepted). Equal when kind and payload are.
    struct Refusal {
        enum class Kind { notARow, failed, notSystemSettings };

        Kind kind = Kind::notSystemSettings;
        QString role;           // notARow: the role as read ("none" when it had none)
        std::int32_t code = 0;  // failed: the Accessibility error code

        static Refusal notARow(const QString& role) { return {Kind::notARow, role, 0}; }
        static Refusal failed(std::int32_t code) { return {Kind::failed, {}, code}; }
        static Refusal notSystemSettings() { return {Kind::notSystemSettings, {}, 0}; }

        QString description() const;

        friend bool operator==(const Refusal& a, const Refusal& b);
    };

    // Selects the element when it belongs to System Settings and is a row; it
    // is written to at most once, and only then.
    static Result<Unit, Refusal> select(Element& element);
};

// The gate's element over a real Accessibility element. Its owner is told by
// whoever makes it (the element carries no trustworthy owner of its own).
class LiveAXElement final : public AXWrite::Element {
public:
    LiveAXElement(AXElement ref, std::optional<QString> ownerBundleID,
                  Accessibility& accessibility = Accessibility::current())
        : ref_(std::move(ref)), owner_(std::move(ownerBundleID)), accessibility_(accessibility) {}

    const AXElement& ref() const { return ref_; }

    // "AXRole"; none when the read fails or gives no text.
    std::optional<QString> role() override;
    std::optional<QString> ownerBundleID() override { return owner_; }
    // "AXSelected" = true on the element; the platform's code unchanged.
    std::int32_t setSelected() override;

private:
    AXElement ref_;
    std::optional<QString> owner_;
    Accessibility& accessibility_;
};

}  // namespace rk
