#pragma once
// The application model's vocabulary: the app's pages (`Step`, the tabs of
// the main window), the guide's state on a System Settings page (`Phase`)
// and the three permissions as last probed (`Grants`).

#include <QString>
#include <QUrl>
#include <array>
#include <functional>
#include <optional>

#include "finder/Pane.h"
#include "platform/Accessibility.h"
#include "platform/FileProbe.h"
#include "platform/ScreenCapture.h"
#include "platform/SystemPaths.h"

namespace rk {

// One page of the app. Behaves like an enumeration (`Step::accessibility`,
// switch, ==) with the page's words attached.
class Step {
public:
    // Declaration order is the order of the tabs.
    enum Value { start, accessibility, loginItems, moveIn, done };

    constexpr Step(Value value = start) : value_(value) {}
    constexpr operator Value() const { return value_; }

    // "start", "accessibility", "loginItems", "moveIn", "done": the page's
    // identity, and the word after "page." in its usage counter.
    QString rawValue() const;
    QString id() const { return rawValue(); }
    QString title() const;
    // The System Settings page this step drives; only the two Settings steps
    // have one.
    std::optional<Pane> pane() const;
    bool isSettings() const { return value_ == accessibility || value_ == loginItems; }

    static const std::array<Step, 5>& allCases();
    // Exactly one of the five raw values (case matters); none otherwise.
    static std::optional<Step> fromRawValue(const QString& raw);
    // The page a link of the app's own "rowkeeper" scheme names: its host,
    // else its path, in any case, without surrounding "/". Every page but
    // `done` has a word; a link of another scheme, an invalid link or an
    // unknown word gives none.
    static std::optional<Step> forLink(const QUrl& link);

private:
    Value value_;
};

inline size_t qHash(Step step, size_t seed = 0) {
    return ::qHash(int(Step::Value(step)), seed);
}

// The guide's state on a System Settings page.
enum class Phase {
    idle,             // nothing said yet on this page
    working,          // the person pressed Open; the page is being opened
    selected,         // the row to remove is selected (demo: the made-up page is shown)
    circled,          // a row to remove is marked but not selected, or only listed
    scroll,           // the next row to remove is further down than System Settings shows
    wrongPage,        // System Settings shows another page
    noAccessibility,  // Accessibility is off; findings come from the stores alone
    nothingLeft,      // no row to remove is left on the page
    notOpen,          // the page's System Settings window was not found
};

// The three permissions as last probed.
struct Grants {
    bool fullDisk = false;       // both stores open for reading
    bool accessibility = false;  // the process is trusted for Accessibility
    bool screen = false;         // screen capture is allowed

    friend bool operator==(const Grants&, const Grants&) = default;

    // Asks the machine now, without prompting the person; Full Disk Access
    // is FullDiskAccess::granted.
    static Grants probe(const SystemPaths& paths = SystemPaths::current(),
                        const FileProbe& files = FileProbe::current(),
                        Accessibility& accessibility = Accessibility::current(),
                        ScreenCapture& capture = ScreenCapture::current());
};

}  // namespace rk

template <>
struct std::hash<rk::Step> {
    size_t operator()(rk::Step step) const noexcept { return std::hash<int>()(int(rk::Step::Value(step))); }
};
