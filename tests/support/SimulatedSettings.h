#pragma once
// A System Settings that runs inside the tests. `SimulatedAXTree` is a
// hand-built Accessibility tree (any shape a test needs) that counts every
// read and logs every write; `SimulatedSettings` builds on it the window of
// System Settings with the two pages the program drives, answers as the
// workspace (running, frontmost, page links) and as the window server (its
// window's number and bounds), and lets a test act as the person: remove a
// row, turn a background item off. Every call may come from any thread.

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "finder/Decision.h"
#include "platform/Accessibility.h"
#include "platform/Geometry.h"
#include "platform/WindowList.h"
#include "platform/Workspace.h"
#include "support/PlatformFakes.h"

namespace rk::test {

// A hand-built Accessibility tree. Elements are named by keys; a key that is
// no longer in the tree is an element that went away (reads fail, writes give
// the invalid-element code).
class SimulatedAXTree : public Accessibility {
public:
    struct Node {
        QString role;                        // "AXRole"; empty: the attribute is missing
        QHash<QString, AXValue> attributes;  // every other attribute, "AXChildren" excepted
        QStringList children;                // keys, in order
        QSet<QString> failing;               // attributes whose read fails
        bool selectable = false;             // whether "AXSelected" may be set
        QString name;                        // what the test calls it (not visible through Accessibility)
    };

    struct Write {
        QString key;
        QString role;  // the element's role when written ("" when it had none or was gone)
        QString attribute;
        std::int32_t code = 0;
        QString name;
    };

    bool trusted = true;

    // Building. `add` appends a child to `parent` (no parent when empty) and
    // returns its key (`key`, or a fresh one).
    void clear();
    QString add(const QString& parent, const QString& role, const Rect& frame,
                const QHash<QString, AXValue>& attributes = {}, const QString& key = {});
    Node* node(const QString& key);
    void remove(const QString& key);
    // The application element of `pid` is the node `key`; its "AXWindows" are `windows`.
    void setApplication(std::int32_t pid, const QString& key, const QStringList& windows);
    AXElement element(const QString& key);
    QString keyOf(const AXElement& element) const;

    // Observation. `readsUnder(key)` counts the reads that entered `key`:
    // reads of its children list and every read of any element below it.
    int totalReads() const { return get(totalReads_); }
    int readsOf(const QString& key) const { return get(reads_).value(key); }
    int readsUnder(const QString& key) const { return get(readsUnder_).value(key); }
    QList<Write> writes() const { return get(writes_); }
    std::optional<double> messagingTimeout() const { return get(timeout_); }
    QString messagingTimeoutElement() const { return get(timeoutKey_); }

    // Accessibility.
    bool isProcessTrusted() override { return get(trusted); }
    AXElement applicationElement(std::int32_t pid) override;
    void setMessagingTimeout(const AXElement& element, double seconds) override;
    std::optional<AXValue> attribute(const AXElement& element, const QString& name) override;
    std::int32_t setSelected(const AXElement& element) override;

protected:
    std::recursive_mutex& mutex() const { return mutex_; }
    template <typename T>
    T get(const T& value) const {
        std::lock_guard lock(mutex_);
        return value;
    }
    // Runs before every read, under the lock.
    virtual void willRead() {}
    // Selects a selectable node; the code the platform would give.
    virtual std::int32_t select(const QString& key);

private:
    struct Handle;

    mutable std::recursive_mutex mutex_;
    QHash<QString, Node> nodes_;
    QHash<QString, QString> parentOf_;
    QHash<QString, std::shared_ptr<const Handle>> handles_;
    QHash<std::int32_t, QString> applications_;
    QHash<QString, int> reads_;
    QHash<QString, int> readsUnder_;
    int totalReads_ = 0;
    QList<Write> writes_;
    std::optional<double> timeout_;
    QString timeoutKey_;
    int nextKey_ = 0;
};

// A window server that lists the windows given (none: it does not answer).
class FakeWindowList : public WindowList {
public:
    std::optional<QList<WindowDescription>> windows = QList<WindowDescription>{};
    std::optional<QList<WindowDescription>> onScreenWindows() override { return windows; }
};

// ---------------------------------------------------------------------------
// System Settings.

enum class SimulatedIcon {
    blankDocument,       // the generic document: the program is gone
    genericApplication,  // a program without art of its own
    colourful,           // a live program's own icon
};

// A row of the Accessibility list or of the open-at-login list.
struct SimulatedRow {
    QString title;
    SimulatedIcon icon = SimulatedIcon::colourful;
    QString recordKey;    // the store record behind the row
    bool allowed = true;  // the row's switch (Accessibility list only)
};

// An item of the "Allow in the Background" list.
struct SimulatedBackgroundItem {
    QString name;
    QString detail;  // the line under the name; empty: none
    SimulatedIcon icon = SimulatedIcon::colourful;
    bool on = true;
    QString recordKey;
};

enum class SimulatedPage { none, accessibility, loginItems, other };

// Where everything of the window is, in global points (for drawing the window).
struct SimulatedLayoutRow {
    PaneSection section = PaneSection::accessibility;
    QString title;
    Rect frame;  // the row as the reader reports it (background: the item's box with its icon)
    Rect iconFrame;
    Rect titleFrame;
    SimulatedIcon icon = SimulatedIcon::colourful;
    std::optional<Rect> switchFrame;
    bool switchOn = false;
    std::optional<Rect> detailFrame;
    QString detail;
    bool selected = false;
    QString key;  // its elements' key (background items: the prefix of their keys)
};

struct SimulatedText {
    Rect frame;
    QString text;
};

struct SimulatedLayout {
    SimulatedPage page = SimulatedPage::none;
    QString title;
    Rect window;
    Rect sidebar;
    Rect content;  // the visible part of the page: rows outside it are cut off
    QStringList sidebarTitles;
    QList<SimulatedLayoutRow> rows;  // list rows first, then background items, top to bottom
    QList<Rect> minusButtons;
    QList<Rect> addButtons;
    QList<SimulatedText> texts;  // headings and other words on the page
};

class SimulatedSettings : public SimulatedAXTree, public Workspace, public WindowList {
public:
    SimulatedSettings() { rebuild(); }
    ~SimulatedSettings() override { uninstall(); }
    SimulatedSettings(const SimulatedSettings&) = delete;
    SimulatedSettings& operator=(const SimulatedSettings&) = delete;

    static QString settingsBundleID() { return QStringLiteral("com.apple.systempreferences"); }

    // Makes it the current Accessibility, Workspace and WindowList; the
    // destructor puts the host's back.
    void install();
    void uninstall();

    // The process and its window.
    std::int32_t pid() const { return pid_; }
    void setRunning(bool running);
    bool running() const { return get(running_); }
    void setFrontmost(std::optional<QString> bundleID) {
        change([&] { frontmost_ = bundleID; });
    }
    void setWindowFrame(const Rect& frame) {
        change([&] { frame_ = frame; });
    }
    Rect windowFrame() const { return get(frame_); }
    void setWindowNumber(WindowNumber number) {
        change([&] { number_ = number; });
    }
    WindowNumber windowNumber() const { return get(number_); }

    // Pages. A link opens its page after `openDelay` further reads (0: at once).
    void showPage(SimulatedPage page);
    SimulatedPage page() const { return get(page_); }
    void setOpenDelay(int reads) {
        change([&] { openDelay_ = std::max(0, reads); });
    }
    QList<QUrl> openedLinks() const { return get(opened_); }
    // false: a machine where nothing opens its page links (they are still listed).
    void setLinksOpen(bool open) {
        change([&] { linksOpen_ = open; });
    }

    // What the lists hold.
    void setAccessibilityRows(const QList<SimulatedRow>& rows) {
        change([&] { accessibilityRows_ = rows; });
    }
    void setOpenAtLoginRows(const QList<SimulatedRow>& rows) {
        change([&] { openAtLoginRows_ = rows; });
    }
    void setBackgroundItems(const QList<SimulatedBackgroundItem>& items) {
        change([&] { backgroundItems_ = items; });
    }
    QList<SimulatedRow> accessibilityRows() const { return get(accessibilityRows_); }

    // The person at work. Removing goes through `onRemove` (so the test can
    // drop the record from its store files) and then off the page.
    std::function<void(const SimulatedRow&)> onRemove;
    std::function<void(const SimulatedBackgroundItem&)> onSwitch;
    // Presses the minus button of the showing page's list and confirms: the
    // selected row goes. False when no row is selected.
    bool pressMinusAndConfirm();
    bool setBackgroundSwitch(const QString& name, bool on);

    // Selection, as System Settings keeps it: one row per list.
    QStringList selectedTitles() const;
    bool selectionSticks = true;                  // false: the write is accepted but nothing changes
    std::optional<std::int32_t> rejectSelection;  // set: the write gives this code

    // Reads that went into the sidebar (they must stay 0).
    int sidebarReads() const { return readsUnder(QStringLiteral("sidebar")); }
    // Writes to anything other than a row of this window (they must stay none).
    QList<Write> forbiddenWrites() const;
    SimulatedLayout layout() const;

    // Workspace.
    QList<RunningApplication> runningApplications(const QString& bundleID) override;
    std::optional<QString> frontmostBundleID() override { return get(frontmost_); }
    bool openURL(const QUrl& url, bool activate) override;
    // It never quits when asked.
    bool terminate(const RunningApplication&) override { return false; }
    bool forceTerminate(const RunningApplication&) override { return false; }
    bool isGone(const RunningApplication&) override { return false; }
    bool launchApplication(const QString&) override { return false; }
    // WindowList.
    std::optional<QList<WindowDescription>> onScreenWindows() override;

protected:
    void willRead() override;
    std::int32_t select(const QString& key) override;

private:
    // Runs `edit` under the lock, then rebuilds the tree from the new state.
    template <typename Edit>
    void change(Edit edit) {
        std::lock_guard lock(mutex());
        edit();
        rebuild();
    }
    void goTo(SimulatedPage page);
    void rebuild();
    void buildSidebar(const QString& window, const SimulatedLayout& layout);
    void buildPage(const QString& content, const SimulatedLayout& layout);

    const std::int32_t pid_ = 4242;
    bool running_ = false;
    std::optional<QString> frontmost_;
    Rect frame_{100, 50, 715, 650};
    WindowNumber number_ = 812;
    SimulatedPage page_ = SimulatedPage::none;
    std::optional<SimulatedPage> pending_;
    int openDelay_ = 0;
    bool linksOpen_ = true;
    int pendingReads_ = 0;
    QList<QUrl> opened_;
    QList<SimulatedRow> accessibilityRows_;
    QList<SimulatedRow> openAtLoginRows_;
    QList<SimulatedBackgroundItem> backgroundItems_;
    QHash<int, QString> selected_;  // list (PaneSection) -> the selected row's key
    bool installed_ = false;
};

}  // namespace rk::test
