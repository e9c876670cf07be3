#include "support/SimulatedSettings.h"

#include <algorithm>

namespace rk::test {

// ---------------------------------------------------------------------------
// SimulatedAXTree

struct SimulatedAXTree::Handle final : AXHandle {
    Handle(const SimulatedAXTree* owner, QString key) : tree(owner), key(std::move(key)) {}
    const SimulatedAXTree* tree;  // compared only, never followed
    QString key;
};

void SimulatedAXTree::clear() {
    std::lock_guard lock(mutex_);
    nodes_.clear();
    parentOf_.clear();
    applications_.clear();
}

QString SimulatedAXTree::add(const QString& parent, const QString& role, const Rect& frame,
                             const QHash<QString, AXValue>& attributes, const QString& key) {
    std::lock_guard lock(mutex_);
    const QString name = key.isEmpty() ? QStringLiteral("n%1").arg(nextKey_++) : key;
    Node node;
    node.role = role;
    node.attributes = attributes;
    node.attributes.insert("AXPosition", AXPoint{frame.x, frame.y});
    node.attributes.insert("AXSize", AXSize{frame.width, frame.height});
    nodes_.insert(name, std::move(node));
    if (!parent.isEmpty()) {
        nodes_[parent].children << name;
        parentOf_.insert(name, parent);
    }
    return name;
}

SimulatedAXTree::Node* SimulatedAXTree::node(const QString& key) {
    std::lock_guard lock(mutex_);
    auto found = nodes_.find(key);
    return found == nodes_.end() ? nullptr : &*found;
}

void SimulatedAXTree::remove(const QString& key) {
    std::lock_guard lock(mutex_);
    nodes_.remove(key);
    if (auto found = nodes_.find(parentOf_.take(key)); found != nodes_.end())
        found->children.removeAll(key);
}

void SimulatedAXTree::setApplication(std::int32_t pid, const QString& key, const QStringList& windows) {
    std::lock_guard lock(mutex_);
    if (!nodes_.contains(key))
        nodes_[key].role = "AXApplication";
    QList<AXElement> elements;
    for (const QString& window : windows)
        elements << element(window);
    nodes_[key].attributes.insert("AXWindows", elements);
    applications_.insert(pid, key);
}

AXElement SimulatedAXTree::element(const QString& key) {
    std::lock_guard lock(mutex_);
    auto found = handles_.find(key);
    if (found == handles_.end())
        found = handles_.insert(key, std::make_shared<const Handle>(this, key));
    return AXElement(*found);
}

QString SimulatedAXTree::keyOf(const AXElement& element) const {
    const Handle* handle = element.as<Handle>();
    return handle != nullptr && handle->tree == this ? handle->key : QString();
}

AXElement SimulatedAXTree::applicationElement(std::int32_t pid) {
    std::lock_guard lock(mutex_);
    return element(applications_.value(pid, QStringLiteral("process:%1").arg(pid)));
}

void SimulatedAXTree::setMessagingTimeout(const AXElement& element, double seconds) {
    std::lock_guard lock(mutex_);
    timeout_ = seconds;
    timeoutKey_ = keyOf(element);
}

std::optional<AXValue> SimulatedAXTree::attribute(const AXElement& element, const QString& name) {
    std::lock_guard lock(mutex_);
    willRead();
    ++totalReads_;
    const QString key = keyOf(element);
    if (key.isEmpty())
        return std::nullopt;

    ++reads_[key];
    if (name == "AXChildren")
        ++readsUnder_[key];
    QString above = parentOf_.value(key);
    for (int steps = 0; !above.isEmpty() && steps <= nodes_.size(); ++steps) {
        ++readsUnder_[above];
        above = parentOf_.value(above);
    }

    if (!trusted)
        return std::nullopt;
    const auto found = nodes_.constFind(key);
    if (found == nodes_.constEnd() || found->failing.contains(name))
        return std::nullopt;
    if (name == "AXRole")
        return found->role.isEmpty() ? std::nullopt : std::optional<AXValue>(found->role);
    if (name == "AXChildren") {
        QList<AXElement> children;
        for (const QString& child : found->children)
            children << this->element(child);
        return AXValue(children);
    }
    const auto value = found->attributes.constFind(name);
    return value == found->attributes.constEnd() ? std::nullopt : std::optional<AXValue>(*value);
}

std::int32_t SimulatedAXTree::setSelected(const AXElement& element) {
    std::lock_guard lock(mutex_);
    const QString key = keyOf(element);
    const auto found = key.isEmpty() ? nodes_.constEnd() : nodes_.constFind(key);
    const bool present = found != nodes_.constEnd();
    Write write{key, present ? found->role : QString(), "AXSelected", 0, present ? found->name : QString()};
    if (!trusted)
        write.code = AXError::apiDisabled;
    else if (!present)
        write.code = AXError::invalidUIElement;
    else if (!found->selectable)
        write.code = AXError::attributeUnsupported;
    else
        write.code = select(key);
    writes_ << write;
    return write.code;
}

std::int32_t SimulatedAXTree::select(const QString& key) {
    nodes_[key].attributes.insert("AXSelected", true);
    return AXError::success;
}

// ---------------------------------------------------------------------------
// SimulatedSettings: geometry

namespace {

// Window-relative measures of the System Settings window.
constexpr double kToolbar = 52;        // title bar and toolbar
constexpr double kSidebarWidth = 215;  // the sidebar column
constexpr double kMargin = 20;         // the page's side margins
constexpr double kRowHeight = 40;      // a list row
constexpr double kButton = 22;         // the + and - buttons under a list
constexpr double kItemPitch = 54;      // one background item
constexpr double kSwitchWidth = 38;

const QStringList kSidebarTitles =
    QString(
        "Wi-Fi|Bluetooth|Network|Notifications|Sound|Focus|General|Appearance|Accessibility|Control Centre|"
        "Privacy & Security|Desktop & Dock|Displays|Login Password")
        .split('|');

Rect unite(const Rect& a, const Rect& b) {
    const double left = std::min(a.x, b.x);
    const double top = std::min(a.y, b.y);
    return Rect{left, top, std::max(a.x + a.width, b.x + b.width) - left,
                std::max(a.y + a.height, b.y + b.height) - top};
}

QString rowKey(PaneSection section, const SimulatedRow& row, QHash<QString, int>& seen) {
    const QString id = row.recordKey.isEmpty() ? row.title : row.recordKey;
    return QStringLiteral("row:%1:%2#%3").arg(rawValue(section), id).arg(seen[id]++);
}

}  // namespace

void SimulatedSettings::install() {
    Accessibility::setCurrent(this);
    Workspace::setCurrent(this);
    WindowList::setCurrent(this);
    installed_ = true;
}

void SimulatedSettings::uninstall() {
    if (!installed_)
        return;
    if (&Accessibility::current() == static_cast<Accessibility*>(this))
        Accessibility::setCurrent(nullptr);
    if (&Workspace::current() == static_cast<Workspace*>(this))
        Workspace::setCurrent(nullptr);
    if (&WindowList::current() == static_cast<WindowList*>(this))
        WindowList::setCurrent(nullptr);
    installed_ = false;
}

SimulatedLayout SimulatedSettings::layout() const {
    std::lock_guard lock(mutex());
    SimulatedLayout layout;
    layout.page = running_ ? page_ : SimulatedPage::none;
    layout.window = frame_;
    if (layout.page == SimulatedPage::none)
        return layout;

    layout.title = page_ == SimulatedPage::accessibility ? "Accessibility"
                   : page_ == SimulatedPage::loginItems  ? "Login Items & Extensions"
                                                         : "General";
    layout.sidebar = Rect{frame_.x, frame_.y + kToolbar, kSidebarWidth, frame_.height - kToolbar};
    layout.content = Rect{frame_.x + kSidebarWidth, frame_.y + kToolbar, frame_.width - kSidebarWidth,
                          frame_.height - kToolbar};
    layout.sidebarTitles = kSidebarTitles;

    const double x = layout.content.x + kMargin;
    const double width = layout.content.width - 2 * kMargin;
    const double top = layout.content.y;

    auto list = [&](PaneSection section, const QList<SimulatedRow>& rows, double listTop) {
        QHash<QString, int> seen;
        for (int i = 0; i < rows.size(); ++i) {
            const SimulatedRow& row = rows[i];
            const double rowTop = listTop + i * kRowHeight;
            SimulatedLayoutRow laid;
            laid.section = section;
            laid.title = row.title;
            laid.icon = row.icon;
            laid.frame = Rect{x, rowTop, width, kRowHeight};
            laid.iconFrame = Rect{x + 12, rowTop + 12, 16, 16};
            laid.titleFrame = Rect{x + 36, rowTop + 12, 300, 16};
            if (section == PaneSection::accessibility) {
                laid.switchFrame = Rect{x + width - 12 - kSwitchWidth, rowTop + 9, kSwitchWidth, 22};
                laid.switchOn = row.allowed;
            }
            laid.key = rowKey(section, row, seen);
            laid.selected = selected_.value(static_cast<int>(section)) == laid.key;
            layout.rows << laid;
        }
        const double listBottom = listTop + std::max<qsizetype>(rows.size(), 1) * kRowHeight;
        layout.addButtons << Rect{x + 6, listBottom + 6, kButton, kButton};
        layout.minusButtons << Rect{x + 30, listBottom + 6, kButton, kButton};
        return listBottom + 6 + kButton;
    };

    switch (page_) {
        case SimulatedPage::accessibility:
            layout.texts << SimulatedText{Rect{x, top + 20, width, 16},
                                          "Allow the applications below to control your computer."};
            list(PaneSection::accessibility, accessibilityRows_, top + 52);
            break;
        case SimulatedPage::loginItems: {
            layout.texts << SimulatedText{Rect{x, top + 20, width, 16}, "Open at Login"};
            const double heading = list(PaneSection::openAtLogin, openAtLoginRows_, top + 48) + 24;
            layout.texts << SimulatedText{Rect{x, heading, width, 16}, "Allow in the Background"};
            QHash<QString, int> seen;
            for (int i = 0; i < backgroundItems_.size(); ++i) {
                const SimulatedBackgroundItem& item = backgroundItems_[i];
                const double itemTop = heading + 28 + i * kItemPitch;
                SimulatedLayoutRow laid;
                laid.section = PaneSection::background;
                laid.title = item.name;
                laid.icon = item.icon;
                laid.iconFrame = Rect{x + 11, itemTop + 8, 26, 26};
                laid.titleFrame = Rect{x + 50, itemTop + 8, 200, 16};
                laid.switchFrame = Rect{x + width - 12 - kSwitchWidth, itemTop + 13, kSwitchWidth, 22};
                laid.switchOn = item.on;
                Rect itemBox = unite(laid.titleFrame, *laid.switchFrame);
                if (!item.detail.isEmpty()) {
                    laid.detail = item.detail;
                    laid.detailFrame = Rect{x + 50, itemTop + 26, 280, 14};
                    itemBox = unite(itemBox, *laid.detailFrame);
                }
                // The item's box as System Settings' own layout has it: the icon
                // left of the label, a little air around label and switch.
                laid.frame = Rect{itemBox.x - 44, itemBox.y - 6, itemBox.width + 54, itemBox.height + 12};
                laid.key = QStringLiteral("bg:%1#%2").arg(item.name).arg(seen[item.name]++);
                layout.rows << laid;
            }
            break;
        }
        case SimulatedPage::other:
            layout.texts << SimulatedText{Rect{x, top + 20, width, 16}, "General"}
                         << SimulatedText{Rect{x, top + 48, width, 16}, "About"};
            break;
        case SimulatedPage::none:
            break;
    }
    return layout;
}

// ---------------------------------------------------------------------------
// SimulatedSettings: the Accessibility tree, rebuilt from the state after
// every change. Keys stay the same for the same element, so references read
// before a change still name it (or name nothing once it has gone).

void SimulatedSettings::rebuild() {
    std::lock_guard lock(mutex());
    clear();
    if (!running_)
        return;
    const SimulatedLayout layout = this->layout();
    const QString app = add({}, "AXApplication", {}, {{"AXTitle", QString("System Settings")}}, "app");
    if (layout.page == SimulatedPage::none) {
        setApplication(pid_, app, {});
        return;
    }

    const Rect& w = layout.window;
    const QString window = add({}, "AXWindow", w, {{"AXTitle", layout.title}}, "window");
    setApplication(pid_, app, {window});
    const char* const trafficLights[] = {"close button", "minimise button", "full screen button"};
    for (int i = 0; i < 3; ++i) {
        add(window, "AXButton", Rect{w.x + 12 + 20.0 * i, w.y + 18, 14, 14},
            {{"AXDescription", QString(trafficLights[i])}}, QStringLiteral("window/button%1").arg(i));
    }
    const QString toolbar =
        add(window, "AXToolbar", Rect{w.x + kSidebarWidth, w.y, w.width - kSidebarWidth, kToolbar}, {},
            "toolbar");
    add(toolbar, "AXButton", Rect{w.x + kSidebarWidth + 12, w.y + 14, 24, 24},
        {{"AXDescription", QString("Back")}}, "toolbar/back");
    add(toolbar, "AXStaticText", Rect{w.x + kSidebarWidth + 48, w.y + 18, 240, 16},
        {{"AXValue", layout.title}}, "toolbar/title");

    const QString split = add(window, "AXSplitGroup", unite(layout.sidebar, layout.content), {}, "split");
    buildSidebar(split, layout);
    buildPage(add(split, "AXGroup", layout.content, {}, "column"), layout);
}

void SimulatedSettings::buildSidebar(const QString& split, const SimulatedLayout& layout) {
    const Rect& s = layout.sidebar;
    const QString group = add(split, "AXGroup", s, {}, "sidebar-group");
    add(group, "AXTextField", Rect{s.x + 10, s.y - 40, s.width - 20, 28},
        {{"AXDescription", QString("Search")}}, "sidebar-search");
    const QString outline = add(add(group, "AXScrollArea", s, {}, "sidebar-scroll"), "AXOutline",
                                Rect{s.x + 10, s.y, s.width - 20, 28.0 * layout.sidebarTitles.size()},
                                {{"AXDescription", QString("Sidebar")}}, "sidebar");
    for (int i = 0; i < layout.sidebarTitles.size(); ++i) {
        const Rect frame{s.x + 10, s.y + 28.0 * i, s.width - 20, 28};
        const QString key = QStringLiteral("sidebar/%1").arg(i);
        const QString row =
            add(outline, "AXRow", frame, {{"AXSelected", layout.sidebarTitles[i] == layout.title}}, key);
        add(add(row, "AXCell", frame, {}, key + "/cell"), "AXStaticText",
            Rect{frame.x + 34, frame.y + 6, 150, 16}, {{"AXValue", layout.sidebarTitles[i]}}, key + "/text");
    }
}

void SimulatedSettings::buildPage(const QString& column, const SimulatedLayout& layout) {
    const Rect& c = layout.content;
    const QString scroll = add(column, "AXScrollArea", c, {}, "content-scroll");
    // The page itself may be taller than the scroll area that shows it.
    double pageBottom = c.y + c.height;
    for (const SimulatedLayoutRow& row : layout.rows)
        pageBottom = std::max(pageBottom, row.frame.y + row.frame.height);
    const QString page = add(scroll, "AXGroup", Rect{c.x, c.y, c.width, pageBottom - c.y}, {}, "page");
    for (int i = 0; i < layout.texts.size(); ++i) {
        add(page, "AXStaticText", layout.texts[i].frame, {{"AXValue", layout.texts[i].text}},
            QStringLiteral("text%1").arg(i));
    }

    // Each list and the background group is as big as the rows it holds.
    QHash<int, QString> lists;
    QHash<int, Rect> boxes;
    for (const SimulatedLayoutRow& row : layout.rows) {
        const int id = static_cast<int>(row.section);
        boxes[id] = lists.contains(id) ? unite(boxes[id], row.frame) : row.frame;
        if (!lists.contains(id)) {
            lists[id] = row.section == PaneSection::background
                            ? add(page, "AXGroup", row.frame, {}, "background")
                            : add(page, "AXTable", row.frame, {}, "list:" + rawValue(row.section));
        }
        const QString& key = row.key;
        if (row.section == PaneSection::background) {
            const QString& group = lists[id];
            add(group, "AXImage", row.iconFrame, {{"AXDescription", row.title}}, key + "/icon");
            add(group, "AXStaticText", row.titleFrame, {{"AXValue", row.title}}, key + "/label");
            if (row.detailFrame) {
                add(group, "AXStaticText", *row.detailFrame,
                    {{"AXValue", row.detail},
                     {"AXIdentifier",
                      QStringLiteral("background-detail-for-%1-app-login-items").arg(row.title)}},
                    key + "/detail");
            }
            node(add(group, "AXCheckBox", *row.switchFrame,
                     {{"AXValue", std::int64_t(row.switchOn ? 1 : 0)},
                      {"AXDescription", QString()},
                      {"AXIdentifier", "background-switch-" + row.title}},
                     key + "/switch"))
                ->name = row.title;
            continue;
        }
        const QString item = add(lists[id], "AXRow", row.frame, {{"AXSelected", row.selected}}, key);
        node(item)->selectable = true;
        node(item)->name = row.title;
        const QString cell = add(item, "AXCell", row.frame, {}, key + "/cell");
        add(cell, "AXImage", row.iconFrame, {{"AXDescription", row.title}}, key + "/icon");
        add(cell, "AXStaticText", row.titleFrame, {{"AXValue", row.title}}, key + "/title");
        if (row.switchFrame) {
            node(add(cell, "AXCheckBox", *row.switchFrame,
                     {{"AXValue", std::int64_t(row.switchOn ? 1 : 0)}, {"AXDescription", row.title}},
                     key + "/switch"))
                ->name = row.title;
        }
    }
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        const Rect& box = boxes[it.key()];
        node(it.value())->attributes.insert("AXPosition", AXPoint{box.x, box.y});
        node(it.value())->attributes.insert("AXSize", AXSize{box.width, box.height});
    }
    // The buttons sit under each list.
    for (int i = 0; i < layout.minusButtons.size(); ++i) {
        add(page, "AXButton", layout.addButtons[i], {{"AXDescription", QString("Add")}},
            QStringLiteral("add%1").arg(i));
        node(add(page, "AXButton", layout.minusButtons[i], {{"AXDescription", QString("Remove")}},
                 QStringLiteral("minus%1").arg(i)))
            ->name = "Remove";
    }
}

// ---------------------------------------------------------------------------
// SimulatedSettings: state

void SimulatedSettings::setRunning(bool running) {
    change([&] {
        running_ = running;
        if (!running) {
            page_ = SimulatedPage::none;
            pending_.reset();
            if (frontmost_ == settingsBundleID())
                frontmost_.reset();
        }
    });
}

void SimulatedSettings::goTo(SimulatedPage page) {
    if (page != page_)
        selected_.clear();
    page_ = page;
    pending_.reset();
    rebuild();
}

void SimulatedSettings::showPage(SimulatedPage page) {
    std::lock_guard lock(mutex());
    running_ = running_ || page != SimulatedPage::none;
    goTo(page);
}

bool SimulatedSettings::pressMinusAndConfirm() {
    std::lock_guard lock(mutex());
    if (page_ != SimulatedPage::accessibility && page_ != SimulatedPage::loginItems)
        return false;
    const PaneSection section =
        page_ == SimulatedPage::accessibility ? PaneSection::accessibility : PaneSection::openAtLogin;
    const QString key = selected_.value(static_cast<int>(section));
    QList<SimulatedRow>& rows = section == PaneSection::accessibility ? accessibilityRows_ : openAtLoginRows_;
    QHash<QString, int> seen;
    for (int i = 0; i < rows.size() && !key.isEmpty(); ++i) {
        if (rowKey(section, rows[i], seen) != key)
            continue;
        const SimulatedRow removed = rows.takeAt(i);
        selected_.remove(static_cast<int>(section));
        rebuild();
        if (onRemove)
            onRemove(removed);
        return true;
    }
    return false;
}

bool SimulatedSettings::setBackgroundSwitch(const QString& name, bool on) {
    std::lock_guard lock(mutex());
    for (SimulatedBackgroundItem& item : backgroundItems_) {
        if (item.name != name)
            continue;
        item.on = on;
        const SimulatedBackgroundItem changed = item;
        rebuild();
        if (onSwitch)
            onSwitch(changed);
        return true;
    }
    return false;
}

QStringList SimulatedSettings::selectedTitles() const {
    QStringList titles;
    for (const SimulatedLayoutRow& row : layout().rows) {
        if (row.selected)
            titles << row.title;
    }
    return titles;
}

QList<SimulatedAXTree::Write> SimulatedSettings::forbiddenWrites() const {
    QList<Write> forbidden = writes();
    forbidden.removeIf([](const Write& w) {
        return w.role == "AXRow" && w.key.startsWith("row:") && w.attribute == "AXSelected";
    });
    return forbidden;
}

void SimulatedSettings::willRead() {
    if (pending_ && --pendingReads_ <= 0)
        goTo(*pending_);
}

std::int32_t SimulatedSettings::select(const QString& key) {
    if (rejectSelection)
        return *rejectSelection;
    if (!selectionSticks)
        return AXError::success;
    for (const SimulatedLayoutRow& row : layout().rows) {
        if (row.key != key || row.section == PaneSection::background)
            continue;
        selected_.insert(static_cast<int>(row.section), key);
        rebuild();
        return AXError::success;
    }
    return AXError::invalidUIElement;
}

// ---------------------------------------------------------------------------
// SimulatedSettings: workspace and window server

QList<RunningApplication> SimulatedSettings::runningApplications(const QString& bundleID) {
    std::lock_guard lock(mutex());
    if (!running_ || bundleID != settingsBundleID())
        return {};
    return {RunningApplication{pid_, settingsBundleID()}};
}

bool SimulatedSettings::openURL(const QUrl& url, bool activate) {
    std::lock_guard lock(mutex());
    opened_ << url;
    if (!linksOpen_ || url.scheme() != "x-apple.systempreferences")
        return false;
    SimulatedPage target = SimulatedPage::other;
    if (url == QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"))
        target = SimulatedPage::accessibility;
    else if (url == QUrl("x-apple.systempreferences:com.apple.LoginItems-Settings.extension"))
        target = SimulatedPage::loginItems;
    running_ = true;
    if (activate)
        frontmost_ = settingsBundleID();
    if (openDelay_ > 0) {
        pending_ = target;
        pendingReads_ = openDelay_;
        rebuild();
    } else {
        goTo(target);
    }
    return true;
}

std::optional<QList<WindowDescription>> SimulatedSettings::onScreenWindows() {
    std::lock_guard lock(mutex());
    if (!running_ || page_ == SimulatedPage::none)
        return QList<WindowDescription>{};
    return QList<WindowDescription>{
        WindowDescription{pid_, 0, frame_.x, frame_.y, frame_.width, frame_.height, number_}};
}

}  // namespace rk::test
