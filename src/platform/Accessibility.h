#pragma once
// The program's view of the Accessibility interface: whether this process is
// trusted, the application element of a process, the messaging time-out, the
// attribute reads, and exactly one write (selecting an element). There is no
// general "set attribute" here on purpose: anything the program could write
// must pass through this one narrow door, and the gate in finder/AXWrite.h
// decides whether it may.

#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>

namespace rk {

// What an element reference points at. Each Accessibility implementation
// subclasses it with whatever it needs to find the element again; nobody else
// looks inside.
class AXHandle {
public:
    virtual ~AXHandle() = default;
};

// A retained reference to one Accessibility element; copies share it. Two
// references are equal when they hold the same handle.
class AXElement {
public:
    AXElement() = default;
    explicit AXElement(std::shared_ptr<const AXHandle> handle) : handle_(std::move(handle)) {}

    bool isNull() const { return handle_ == nullptr; }
    const AXHandle* handle() const { return handle_.get(); }
    template <typename T>
    const T* as() const {
        return dynamic_cast<const T*>(handle_.get());
    }

    friend bool operator==(const AXElement& a, const AXElement& b) { return a.handle_ == b.handle_; }

private:
    std::shared_ptr<const AXHandle> handle_;
};

// "AXPosition": the top-left corner in global points (top-left origin, y down).
struct AXPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const AXPoint&, const AXPoint&) = default;
};

// "AXSize", in points.
struct AXSize {
    double width = 0;
    double height = 0;
    friend bool operator==(const AXSize&, const AXSize&) = default;
};

// The raw value of one attribute as the element gives it: a text, a whole or
// real number, a Boolean, a position, a size, one element or a list of them.
using AXValue =
    std::variant<QString, std::int64_t, double, bool, AXPoint, AXSize, AXElement, QList<AXElement>>;

// Error codes the platform returns from a write; 0 is success.
namespace AXError {
inline constexpr std::int32_t success = 0;
inline constexpr std::int32_t invalidUIElement = -25202;
inline constexpr std::int32_t cannotComplete = -25204;
inline constexpr std::int32_t attributeUnsupported = -25205;
inline constexpr std::int32_t apiDisabled = -25211;
}  // namespace AXError

class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Whether this process is trusted for Accessibility. Never asks the person.
    virtual bool isProcessTrusted() = 0;
    // The element of the application with that process identifier. Always an
    // element; reads on it fail when there is no such process.
    virtual AXElement applicationElement(std::int32_t pid) = 0;
    // Messages to an application element, and to every element of that
    // application, give up after `seconds`; a read that gives up fails.
    virtual void setMessagingTimeout(const AXElement& element, double seconds) = 0;
    // One attribute's value, or none when the read fails for any reason.
    virtual std::optional<AXValue> attribute(const AXElement& element, const QString& name) = 0;
    // The one write: sets the element's "AXSelected" to true. Returns the
    // platform's error code unchanged (0 is success).
    virtual std::int32_t setSelected(const AXElement& element) = 0;

    // The process-wide implementation that defaults use; nullptr restores the host's.
    static Accessibility& current();
    static void setCurrent(Accessibility* accessibility);
};

// This machine's answer: Accessibility of another application does not exist
// here, so the process is not trusted, every read fails and the write is refused.
class HostAccessibility final : public Accessibility {
public:
    bool isProcessTrusted() override { return false; }
    AXElement applicationElement(std::int32_t) override { return {}; }
    void setMessagingTimeout(const AXElement&, double) override {}
    std::optional<AXValue> attribute(const AXElement&, const QString&) override { return std::nullopt; }
    std::int32_t setSelected(const AXElement&) override { return AXError::apiDisabled; }
};

}  // namespace rk
