#pragma once
// A System Settings that runs inside the tests. `SimulatedAXTree` is a
// hand-built Accessibility tree (any shape a test needs) that counts every
// read and logs every write; `SimulatedSettings` builds on it the window of
// System Settings with the two pages the program drives, answers as the
// workspace (running, frontmost, page links) and as the window server (its
// window's number and bounds), and lets a test act as the person: scroll,
// remove a row, turn a background item off.

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

#include "finder/BackgroundStore.h"
#include "finder/Decision.h"
#include "finder/TCCStore.h"
#include "platform/Accessibility.h"
#include "platform/Geometry.h"
#include "platform/WindowList.h"
#include "platform/Workspace.h"
#include "support/PlatformFakes.h"

namespace rk::test {

// ---------------------------------------------------------------------------
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

    SimulatedAXTree();
    ~SimulatedAXTree() override;

    bool trusted = true;
    // How long the application takes to answer, in seconds; with a messaging
    // time-out shorter than that, every read fails and every write gives up.
    double responseDelay = 0;
    static constexpr double defaultTimeout = 6.0;

    // Building. `add` appends a child to `parent` (no parent when empty) and
    // returns its key (`key`, or a fresh one).
    void clear();
    void setNode(const QString& key, Node node);
    QString add(const QString& parent, const QString& role, const Rect& frame,
                const QHash<QString, AXValue>& attributes = {}, const QString& key = {});
    Node* node(const QString& key);
    void remove(const QString& key);
    // The application element of `pid` is the node `key`; its "AXWindows" are `windows`.
    void setApplication(std::int32_t pid, const QString& key, const QStringList& windows);
    AXElement element(const QString& key);
    QString keyOf(const AXElement& element) const;

    // Observation.
    int totalReads() const;
    int readsOf(const QString& key) const;
    // Reads that entered `key`: reads of its children list and every read of
    // any element below it.
    int readsUnder(const QString& key) const;
    QList<Write> writes() const;
    std::optional<double> messagingTimeout() const;
    QString messagingTimeoutElement() const;
    void resetCounts();

    // Accessibility.
    bool isProcessTrusted() override;
    AXElement applicationElement(std::int32_t pid) override;
    void setMessagingTimeout(const AXElement& element, double seconds) override;
    std::optional<AXValue> attribute(const AXElement& element, const QString& name) override;
    std::int32_t setSelected(const AXElement& element) override;

protected:
    std::recursive_mutex& mutex() const { return mutex_; }
    // Runs before every read, under the lock.
    virtual void willRead() {}
    // Selects a selectable node; the code the platform would give.
    virtual std::int32_t select(const QString& key);

private:
    struct Handle;
    QString keyLocked(const AXElement& element) const;
    bool answersInTime() const;

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

    // The row a privacy database row gives; System Settings shows the app's
    // name (`title`), which the database does not hold.
    static SimulatedRow fromTCC(const TCCRow& row, const QString& title,
                                SimulatedIcon icon = SimulatedIcon::colourful);
    // An open-at-login row of a background-task record.
    static SimulatedRow fromBTM(const BTMRecord& record, SimulatedIcon icon = SimulatedIcon::colourful);
};

// An item of the "Allow in the Background" list.
struct SimulatedBackgroundItem {
    QString name;
    QString detail;  // the line under the name; empty: none
    SimulatedIcon icon = SimulatedIcon::colourful;
    bool on = true;
    QString recordKey;

    static SimulatedBackgroundItem fromBTM(const BTMRecord& record,
                                           SimulatedIcon icon = SimulatedIcon::colourful,
                                           const QString& detail = {});
};

enum class SimulatedPage { none, accessibility, loginItems, other };

// Where everything of the window is, in global points (for drawing the window).
struct SimulatedLayoutRow {
    PaneSection section = PaneSection::accessibility;
    QString title;
    QString recordKey;
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
    SimulatedSettings();
    ~SimulatedSettings() override;
    SimulatedSettings(const SimulatedSettings&) = delete;
    SimulatedSettings& operator=(const SimulatedSettings&) = delete;

    static QString settingsBundleID() { return QStringLiteral("com.apple.systempreferences"); }

    // Makes it the current Accessibility, Workspace and WindowList; the
    // destructor puts the host's back.
    void install();
    void uninstall();

    // The process and its window.
    std::int32_t pid() const;
    void setRunning(bool running);
    bool running() const;
    void setFrontmost(std::optional<QString> bundleID);
    void setWindowFrame(const Rect& frame);
    Rect windowFrame() const;
    void setWindowNumber(WindowNumber number);
    WindowNumber windowNumber() const;
    // Windows of other processes the window server lists after ours.
    void setOtherWindows(const QList<WindowDescription>& windows);

    // Pages. A link opens its page after `openDelay` further reads (0: at once).
    void showPage(SimulatedPage page);
    SimulatedPage page() const;
    void setOpenDelay(int reads);
    QList<QUrl> openedLinks() const;
    // The title of the page any other link shows.
    void setOtherPageTitle(const QString& title);

    // What the lists hold.
    void setAccessibilityRows(const QList<SimulatedRow>& rows);
    void setOpenAtLoginRows(const QList<SimulatedRow>& rows);
    void setBackgroundItems(const QList<SimulatedBackgroundItem>& items);
    QList<SimulatedRow> accessibilityRows() const;
    QList<SimulatedRow> openAtLoginRows() const;
    QList<SimulatedBackgroundItem> backgroundItems() const;
    void scrollTo(double offset);

    // The person at work. Removing goes through `onRemove` (so the test can
    // drop the record from its store files) and then off the page.
    std::function<void(const SimulatedRow&)> onRemove;
    std::function<void(const SimulatedBackgroundItem&)> onSwitch;
    // Presses the minus button of the showing page's list and confirms: the
    // selected row goes. False when no row is selected.
    bool pressMinusAndConfirm();
    // Removes every row and item of that record, as if it went from the stores.
    void removeRecord(const QString& recordKey);
    bool setBackgroundSwitch(const QString& name, bool on);

    // Selection, as System Settings keeps it: one row per list.
    QStringList selectedTitles() const;
    bool selectionSticks = true;                  // false: the write is accepted but nothing changes
    std::optional<std::int32_t> rejectSelection;  // set: the write gives this code

    // Reads that went into the sidebar (they must stay 0).
    int sidebarReads() const;
    // Writes to anything other than a row of this window (they must stay none).
    QList<Write> forbiddenWrites() const;
    SimulatedLayout layout() const;

    // Workspace.
    QList<RunningApplication> runningApplications(const QString& bundleID) override;
    std::optional<QString> frontmostBundleID() override;
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
    void rebuild();
    SimulatedLayout layoutLocked() const;
    void buildSidebar(const QString& window, const SimulatedLayout& layout);
    void buildPage(const QString& content, const SimulatedLayout& layout);
    bool hasWindow() const;
    static QString rowKey(PaneSection section, const SimulatedRow& row, int occurrence);

    std::int32_t pid_ = 4242;
    bool running_ = false;
    std::optional<QString> frontmost_;
    Rect frame_{100, 50, 715, 650};
    WindowNumber number_ = 812;
    QList<WindowDescription> otherWindows_;
    SimulatedPage page_ = SimulatedPage::none;
    std::optional<SimulatedPage> pending_;
    int openDelay_ = 0;
    int pendingReads_ = 0;
    QList<QUrl> opened_;
    QList<SimulatedRow> accessibilityRows_;
    QList<SimulatedRow> openAtLoginRows_;
    QList<SimulatedBackgroundItem> backgroundItems_;
    double scroll_ = 0;
    QString otherTitle_ = QStringLiteral("General");
    QHash<int, QString> selected_;  // list (PaneSection) -> the selected row's key
    bool installed_ = false;
};

}  // namespace rk::test
