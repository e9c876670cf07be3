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

SimulatedAXTree::SimulatedAXTree() = default;
SimulatedAXTree::~SimulatedAXTree() = default;

void SimulatedAXTree::clear() {
    std::lock_guard lock(mutex_);
    nodes_.clear();
    parentOf_.clear();
    applications_.clear();
}

void SimulatedAXTree::setNode(const QString& key, Node node) {
    std::lock_guard lock(mutex_);
    for (const QString& child : node.children)
        parentOf_.insert(child, key);
    nodes_.insert(key, std::move(node));
}

QString SimulatedAXTree::add(const QString& parent, const QString& role, const Rect& frame,
                             const QHash<QString, AXValue>& attributes, const QString& key) {
    std::lock_guard lock(mutex_);
    const QString name = key.isEmpty() ? QStringLiteral("n%1").arg(nextKey_++) : key;
    Node node;
    node.role = role;
    node.attributes = attributes;
    node.attributes.insert(QStringLiteral("AXPosition"), AXPoint{frame.x, frame.y});
    node.attributes.insert(QStringLiteral("AXSize"), AXSize{frame.width, frame.height});
    setNode(name, std::move(node));
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
    const QString parent = parentOf_.take(key);
    if (auto found = nodes_.find(parent); found != nodes_.end())
        found->children.removeAll(key);
}

void SimulatedAXTree::setApplication(std::int32_t pid, const QString& key, const QStringList& windows) {
    std::lock_guard lock(mutex_);
    if (!nodes_.contains(key)) {
        Node application;
        application.role = QStringLiteral("AXApplication");
        nodes_.insert(key, application);
    }
    QList<AXElement> elements;
    for (const QString& window : windows)
        elements << element(window);
    nodes_[key].attributes.insert(QStringLiteral("AXWindows"), elements);
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
    std::lock_guard lock(mutex_);
    return keyLocked(element);
}

QString SimulatedAXTree::keyLocked(const AXElement& element) const {
    const Handle* handle = element.as<Handle>();
    return handle != nullptr && handle->tree == this ? handle->key : QString();
}

int SimulatedAXTree::totalReads() const {
    std::lock_guard lock(mutex_);
    return totalReads_;
}

int SimulatedAXTree::readsOf(const QString& key) const {
    std::lock_guard lock(mutex_);
    return reads_.value(key);
}

int SimulatedAXTree::readsUnder(const QString& key) const {
    std::lock_guard lock(mutex_);
    return readsUnder_.value(key);
}

QList<SimulatedAXTree::Write> SimulatedAXTree::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::optional<double> SimulatedAXTree::messagingTimeout() const {
    std::lock_guard lock(mutex_);
    return timeout_;
}

QString SimulatedAXTree::messagingTimeoutElement() const {
    std::lock_guard lock(mutex_);
    return timeoutKey_;
}

void SimulatedAXTree::resetCounts() {
    std::lock_guard lock(mutex_);
    reads_.clear();
    readsUnder_.clear();
    totalReads_ = 0;
    writes_.clear();
}

bool SimulatedAXTree::answersInTime() const {
    return responseDelay <= timeout_.value_or(defaultTimeout);
}

bool SimulatedAXTree::isProcessTrusted() {
    std::lock_guard lock(mutex_);
    return trusted;
}

AXElement SimulatedAXTree::applicationElement(std::int32_t pid) {
    std::lock_guard lock(mutex_);
    return element(applications_.value(pid, QStringLiteral("process:%1").arg(pid)));
}

void SimulatedAXTree::setMessagingTimeout(const AXElement& element, double seconds) {
    std::lock_guard lock(mutex_);
    timeout_ = seconds;
    timeoutKey_ = keyLocked(element);
}

std::optional<AXValue> SimulatedAXTree::attribute(const AXElement& element, const QString& name) {
    std::lock_guard lock(mutex_);
    willRead();
    ++totalReads_;
    const QString key = keyLocked(element);
    if (key.isEmpty())
        return std::nullopt;

    ++reads_[key];
    if (name == QStringLiteral("AXChildren"))
        ++readsUnder_[key];
    QString above = parentOf_.value(key);
    for (int steps = 0; !above.isEmpty() && steps <= nodes_.size(); ++steps) {
        ++readsUnder_[above];
        above = parentOf_.value(above);
    }

    if (!trusted || !answersInTime())
        return std::nullopt;
    const auto found = nodes_.constFind(key);
    if (found == nodes_.constEnd() || found->failing.contains(name))
        return std::nullopt;
    if (name == QStringLiteral("AXRole")) {
        if (found->role.isEmpty())
            return std::nullopt;
        return AXValue(found->role);
    }
    if (name == QStringLiteral("AXChildren")) {
        QList<AXElement> children;
        for (const QString& child : found->children)
            children << this->element(child);
        return AXValue(children);
    }
    const auto value = found->attributes.constFind(name);
    if (value == found->attributes.constEnd())
        return std::nullopt;
    return *value;
}

std::int32_t SimulatedAXTree::setSelected(const AXElement& element) {
    std::lock_guard lock(mutex_);
    const QString key = keyLocked(element);
    const auto found = key.isEmpty() ? nodes_.constEnd() : nodes_.constFind(key);
    const bool present = found != nodes_.constEnd();
    Write write{key, present ? found->role : QString(), QStringLiteral("AXSelected"), 0,
                present ? found->name : QString()};
    if (!trusted) {
        write.code = AXError::apiDisabled;
    } else if (!present) {
        write.code = AXError::invalidUIElement;
    } else if (!answersInTime()) {
        write.code = AXError::cannotComplete;
    } else if (!found->selectable) {
        write.code = AXError::attributeUnsupported;
    } else {
        write.code = select(key);
    }
    writes_ << write;
    return write.code;
}

std::int32_t SimulatedAXTree::select(const QString& key) {
    nodes_[key].attributes.insert(QStringLiteral("AXSelected"), true);
    return AXError::success;
}

// ---------------------------------------------------------------------------
// Rows from store records

SimulatedRow SimulatedRow::fromTCC(const TCCRow& row, const QString& title, SimulatedIcon icon) {
    return SimulatedRow{title, icon, row.client, row.authValue == 2};
}

namespace {
// The same identity the program's candidates use for a background-task record.
QString btmKey(const BTMRecord& record) {
    if (record.identifier)
        return *record.identifier;
    if (record.url)
        return *record.url;
    return record.name;
}
}  // namespace

SimulatedRow SimulatedRow::fromBTM(const BTMRecord& record, SimulatedIcon icon) {
    return SimulatedRow{record.name, icon, btmKey(record), record.enabled()};
}

SimulatedBackgroundItem SimulatedBackgroundItem::fromBTM(const BTMRecord& record, SimulatedIcon icon,
                                                         const QString& detail) {
    return SimulatedBackgroundItem{record.name, detail, icon, record.enabled(), btmKey(record)};
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

const QStringList& sidebarTitles() {
    static const QStringList titles{
        QStringLiteral("Wi-Fi"),
        QStringLiteral("Bluetooth"),
        QStringLiteral("Network"),
        QStringLiteral("Notifications"),
        QStringLiteral("Sound"),
        QStringLiteral("Focus"),
        QStringLiteral("General"),
        QStringLiteral("Appearance"),
        QStringLiteral("Accessibility"),
        QStringLiteral("Control Centre"),
        QStringLiteral("Privacy & Security"),
        QStringLiteral("Desktop & Dock"),
        QStringLiteral("Displays"),
        QStringLiteral("Login Password"),
    };
    return titles;
}

Rect moved(Rect r, double dy) {
    r.y += dy;
    return r;
}

Rect unite(const Rect& a, const Rect& b) {
    const double left = std::min(a.x, b.x);
    const double top = std::min(a.y, b.y);
    return Rect{left, top, std::max(a.x + a.width, b.x + b.width) - left,
                std::max(a.y + a.height, b.y + b.height) - top};
}

QString pageTitle(SimulatedPage page, const QString& other) {
    switch (page) {
        case SimulatedPage::accessibility:
            return QStringLiteral("Accessibility");
        case SimulatedPage::loginItems:
            return QStringLiteral("Login Items & Extensions");
        case SimulatedPage::other:
            return other;
        case SimulatedPage::none:
            break;
    }
    return {};
}

}  // namespace

SimulatedSettings::SimulatedSettings() {
    rebuild();
}

SimulatedSettings::~SimulatedSettings() {
    uninstall();
}

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

QString SimulatedSettings::rowKey(PaneSection section, const SimulatedRow& row, int occurrence) {
    const QString id = row.recordKey.isEmpty() ? row.title : row.recordKey;
    return QStringLiteral("row:%1:%2#%3").arg(rawValue(section), id).arg(occurrence);
}

bool SimulatedSettings::hasWindow() const {
    return running_ && page_ != SimulatedPage::none;
}

SimulatedLayout SimulatedSettings::layoutLocked() const {
    SimulatedLayout layout;
    layout.page = hasWindow() ? page_ : SimulatedPage::none;
    layout.window = frame_;
    if (layout.page == SimulatedPage::none)
        return layout;

    layout.title = pageTitle(page_, otherTitle_);
    layout.sidebar = Rect{frame_.x, frame_.y + kToolbar, kSidebarWidth, frame_.height - kToolbar};
    layout.content = Rect{frame_.x + kSidebarWidth, frame_.y + kToolbar, frame_.width - kSidebarWidth,
                          frame_.height - kToolbar};
    layout.sidebarTitles = sidebarTitles();

    // Laid out unscrolled from the top of the page, then moved up by the scroll.
    const double x = layout.content.x + kMargin;
    const double width = layout.content.width - 2 * kMargin;
    const double top = layout.content.y;
    double bottom = top;

    auto list = [&](PaneSection section, const QList<SimulatedRow>& rows, double listTop) {
        QHash<QString, int> seen;
        for (int i = 0; i < rows.size(); ++i) {
            const SimulatedRow& row = rows[i];
            const double rowTop = listTop + i * kRowHeight;
            SimulatedLayoutRow laid;
            laid.section = section;
            laid.title = row.title;
            laid.recordKey = row.recordKey;
            laid.frame = Rect{x, rowTop, width, kRowHeight};
            laid.iconFrame = Rect{x + 12, rowTop + 12, 16, 16};
            laid.titleFrame = Rect{x + 36, rowTop + 12, 300, 16};
            laid.icon = row.icon;
            if (section == PaneSection::accessibility) {
                laid.switchFrame = Rect{x + width - 12 - kSwitchWidth, rowTop + 9, kSwitchWidth, 22};
                laid.switchOn = row.allowed;
            }
            const QString id = row.recordKey.isEmpty() ? row.title : row.recordKey;
            laid.key = rowKey(section, row, seen[id]++);
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
            layout.texts << SimulatedText{
                Rect{x, top + 20, width, 16},
                QStringLiteral("Allow the applications below to control your computer.")};
            bottom = list(PaneSection::accessibility, accessibilityRows_, top + 52) + 20;
            break;
        case SimulatedPage::loginItems: {
            layout.texts << SimulatedText{Rect{x, top + 20, width, 16}, QStringLiteral("Open at Login")};
            const double heading = list(PaneSection::openAtLogin, openAtLoginRows_, top + 48) + 24;
            layout.texts << SimulatedText{Rect{x, heading, width, 16},
                                          QStringLiteral("Allow in the Background")};
            const double itemsTop = heading + 16 + 12;
            QHash<QString, int> seen;
            for (int i = 0; i < backgroundItems_.size(); ++i) {
                const SimulatedBackgroundItem& item = backgroundItems_[i];
                const double itemTop = itemsTop + i * kItemPitch;
                SimulatedLayoutRow laid;
                laid.section = PaneSection::background;
                laid.title = item.name;
                laid.recordKey = item.recordKey;
                laid.titleFrame = Rect{x + 50, itemTop + 8, 200, 16};
                laid.iconFrame = Rect{x + 11, itemTop + 8, 26, 26};
                laid.switchFrame = Rect{x + width - 12 - kSwitchWidth, itemTop + 13, kSwitchWidth, 22};
                laid.switchOn = item.on;
                laid.icon = item.icon;
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
            bottom = itemsTop + backgroundItems_.size() * kItemPitch + 20;
            break;
        }
        case SimulatedPage::other:
            layout.texts << SimulatedText{Rect{x, top + 20, width, 16}, otherTitle_};
            layout.texts << SimulatedText{Rect{x, top + 48, width, 16}, QStringLiteral("About")};
            bottom = top + 84;
            break;
        case SimulatedPage::none:
            break;
    }

    const double overflow = std::max(0.0, (bottom - top) - layout.content.height);
    const double scroll = std::clamp(scroll_, 0.0, overflow);
    for (SimulatedLayoutRow& row : layout.rows) {
        row.frame = moved(row.frame, -scroll);
        row.iconFrame = moved(row.iconFrame, -scroll);
        row.titleFrame = moved(row.titleFrame, -scroll);
        if (row.switchFrame)
            row.switchFrame = moved(*row.switchFrame, -scroll);
        if (row.detailFrame)
            row.detailFrame = moved(*row.detailFrame, -scroll);
    }
    for (Rect& button : layout.minusButtons)
        button = moved(button, -scroll);
    for (Rect& button : layout.addButtons)
        button = moved(button, -scroll);
    for (SimulatedText& text : layout.texts)
        text.frame = moved(text.frame, -scroll);
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
    const SimulatedLayout layout = layoutLocked();
    const QString app = QStringLiteral("app");
    Node application;
    application.role = QStringLiteral("AXApplication");
    application.attributes.insert(QStringLiteral("AXTitle"), QStringLiteral("System Settings"));
    setNode(app, application);
    if (layout.page == SimulatedPage::none) {
        setApplication(pid_, app, {});
        return;
    }

    const Rect& w = layout.window;
    const QString window = add({}, QStringLiteral("AXWindow"), w, {{QStringLiteral("AXTitle"), layout.title}},
                               QStringLiteral("window"));
    setApplication(pid_, app, {window});
    const char* const trafficLights[] = {"close button", "minimise button", "full screen button"};
    for (int i = 0; i < 3; ++i) {
        add(window, QStringLiteral("AXButton"), Rect{w.x + 12 + 20.0 * i, w.y + 18, 14, 14},
            {{QStringLiteral("AXDescription"), QString::fromLatin1(trafficLights[i])}},
            QStringLiteral("window/button%1").arg(i));
    }
    const QString toolbar =
        add(window, QStringLiteral("AXToolbar"),
            Rect{w.x + kSidebarWidth, w.y, w.width - kSidebarWidth, kToolbar}, {}, QStringLiteral("toolbar"));
    add(toolbar, QStringLiteral("AXButton"), Rect{w.x + kSidebarWidth + 12, w.y + 14, 24, 24},
        {{QStringLiteral("AXDescription"), QStringLiteral("Back")}}, QStringLiteral("toolbar/back"));
    add(toolbar, QStringLiteral("AXStaticText"), Rect{w.x + kSidebarWidth + 48, w.y + 18, 240, 16},
        {{QStringLiteral("AXValue"), layout.title}}, QStringLiteral("toolbar/title"));

    const QString split = add(window, QStringLiteral("AXSplitGroup"), unite(layout.sidebar, layout.content),
                              {}, QStringLiteral("split"));
    buildSidebar(split, layout);
    const QString column =
        add(split, QStringLiteral("AXGroup"), layout.content, {}, QStringLiteral("column"));
    buildPage(column, layout);
}

void SimulatedSettings::buildSidebar(const QString& split, const SimulatedLayout& layout) {
    const Rect& s = layout.sidebar;
    const QString group = add(split, QStringLiteral("AXGroup"), s, {}, QStringLiteral("sidebar-group"));
    add(group, QStringLiteral("AXTextField"), Rect{s.x + 10, s.y - 40, s.width - 20, 28},
        {{QStringLiteral("AXDescription"), QStringLiteral("Search")}}, QStringLiteral("sidebar-search"));
    const QString scroll =
        add(group, QStringLiteral("AXScrollArea"), s, {}, QStringLiteral("sidebar-scroll"));
    const QString outline =
        add(scroll, QStringLiteral("AXOutline"),
            Rect{s.x + 10, s.y, s.width - 20, 28.0 * layout.sidebarTitles.size()},
            {{QStringLiteral("AXDescription"), QStringLiteral("Sidebar")}}, QStringLiteral("sidebar"));
    for (int i = 0; i < layout.sidebarTitles.size(); ++i) {
        const Rect frame{s.x + 10, s.y + 28.0 * i, s.width - 20, 28};
        const QString key = QStringLiteral("sidebar/%1").arg(i);
        const QString row =
            add(outline, QStringLiteral("AXRow"), frame,
                {{QStringLiteral("AXSelected"), layout.sidebarTitles[i] == layout.title}}, key);
        const QString cell = add(row, QStringLiteral("AXCell"), frame, {}, key + QStringLiteral("/cell"));
        add(cell, QStringLiteral("AXStaticText"), Rect{frame.x + 34, frame.y + 6, 150, 16},
            {{QStringLiteral("AXValue"), layout.sidebarTitles[i]}}, key + QStringLiteral("/text"));
    }
}

void SimulatedSettings::buildPage(const QString& column, const SimulatedLayout& layout) {
    const Rect& c = layout.content;
    const QString scroll =
        add(column, QStringLiteral("AXScrollArea"), c, {}, QStringLiteral("content-scroll"));
    // The page itself may be taller than the scroll area that shows it.
    double pageBottom = c.y + c.height;
    for (const SimulatedLayoutRow& row : layout.rows)
        pageBottom = std::max(pageBottom, row.frame.y + row.frame.height);
    const QString page = add(scroll, QStringLiteral("AXGroup"), Rect{c.x, c.y, c.width, pageBottom - c.y}, {},
                             QStringLiteral("page"));

    for (int i = 0; i < layout.texts.size(); ++i) {
        add(page, QStringLiteral("AXStaticText"), layout.texts[i].frame,
            {{QStringLiteral("AXValue"), layout.texts[i].text}}, QStringLiteral("text%1").arg(i));
    }

    QHash<int, QString> lists;
    auto listOf = [&](PaneSection section, const Rect& frame) {
        const int id = static_cast<int>(section);
        if (!lists.contains(id)) {
            lists.insert(id, add(page, QStringLiteral("AXTable"), frame, {},
                                 QStringLiteral("list:%1").arg(rawValue(section))));
        }
        return lists.value(id);
    };
    QString background;
    for (const SimulatedLayoutRow& row : layout.rows) {
        if (row.section == PaneSection::background) {
            if (background.isEmpty()) {
                background =
                    add(page, QStringLiteral("AXGroup"), row.frame, {}, QStringLiteral("background"));
            }
            const QString key = row.key;
            add(background, QStringLiteral("AXImage"), row.iconFrame,
                {{QStringLiteral("AXDescription"), row.title}}, key + QStringLiteral("/icon"));
            add(background, QStringLiteral("AXStaticText"), row.titleFrame,
                {{QStringLiteral("AXValue"), row.title}}, key + QStringLiteral("/label"));
            if (row.detailFrame) {
                add(background, QStringLiteral("AXStaticText"), *row.detailFrame,
                    {{QStringLiteral("AXValue"), row.detail},
                     {QStringLiteral("AXIdentifier"),
                      QStringLiteral("background-detail-for-%1-app-login-items").arg(row.title)}},
                    key + QStringLiteral("/detail"));
            }
            const QString toggle =
                add(background, QStringLiteral("AXCheckBox"), *row.switchFrame,
                    {{QStringLiteral("AXValue"), std::int64_t(row.switchOn ? 1 : 0)},
                     {QStringLiteral("AXDescription"), QString()},
                     {QStringLiteral("AXIdentifier"), QStringLiteral("background-switch-") + row.title}},
                    key + QStringLiteral("/switch"));
            node(toggle)->name = row.title;
            continue;
        }
        const QString list = listOf(row.section, row.frame);
        const QString item = add(list, QStringLiteral("AXRow"), row.frame,
                                 {{QStringLiteral("AXSelected"), row.selected}}, row.key);
        node(item)->selectable = true;
        node(item)->name = row.title;
        const QString cell =
            add(item, QStringLiteral("AXCell"), row.frame, {}, row.key + QStringLiteral("/cell"));
        add(cell, QStringLiteral("AXImage"), row.iconFrame, {{QStringLiteral("AXDescription"), row.title}},
            row.key + QStringLiteral("/icon"));
        add(cell, QStringLiteral("AXStaticText"), row.titleFrame, {{QStringLiteral("AXValue"), row.title}},
            row.key + QStringLiteral("/title"));
        if (row.switchFrame) {
            const QString toggle = add(cell, QStringLiteral("AXCheckBox"), *row.switchFrame,
                                       {{QStringLiteral("AXValue"), std::int64_t(row.switchOn ? 1 : 0)},
                                        {QStringLiteral("AXDescription"), row.title}},
                                       row.key + QStringLiteral("/switch"));
            node(toggle)->name = row.title;
        }
    }
    // Lists grow to hold their rows; the buttons sit under each list.
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        Node* table = node(it.value());
        Rect box;
        bool first = true;
        for (const QString& child : table->children) {
            const AXValue position = node(child)->attributes.value(QStringLiteral("AXPosition"));
            const AXValue size = node(child)->attributes.value(QStringLiteral("AXSize"));
            const Rect frame{std::get<AXPoint>(position).x, std::get<AXPoint>(position).y,
                             std::get<AXSize>(size).width, std::get<AXSize>(size).height};
            box = first ? frame : unite(box, frame);
            first = false;
        }
        table->attributes.insert(QStringLiteral("AXPosition"), AXPoint{box.x, box.y});
        table->attributes.insert(QStringLiteral("AXSize"), AXSize{box.width, box.height});
    }
    for (int i = 0; i < layout.minusButtons.size(); ++i) {
        add(page, QStringLiteral("AXButton"), layout.addButtons[i],
            {{QStringLiteral("AXDescription"), QStringLiteral("Add")}}, QStringLiteral("add%1").arg(i));
        const QString minus = add(page, QStringLiteral("AXButton"), layout.minusButtons[i],
                                  {{QStringLiteral("AXDescription"), QStringLiteral("Remove")}},
                                  QStringLiteral("minus%1").arg(i));
        node(minus)->name = QStringLiteral("Remove");
    }
    if (!background.isEmpty()) {
        Rect box = layout.rows.last().frame;
        for (const SimulatedLayoutRow& row : layout.rows) {
            if (row.section == PaneSection::background)
                box = unite(box, row.frame);
        }
        node(background)->attributes.insert(QStringLiteral("AXPosition"), AXPoint{box.x, box.y});
        node(background)->attributes.insert(QStringLiteral("AXSize"), AXSize{box.width, box.height});
    }
}

// ---------------------------------------------------------------------------
// SimulatedSettings: state

std::int32_t SimulatedSettings::pid() const {
    std::lock_guard lock(mutex());
    return pid_;
}

void SimulatedSettings::setRunning(bool running) {
    std::lock_guard lock(mutex());
    running_ = running;
    if (!running) {
        page_ = SimulatedPage::none;
        pending_.reset();
        if (frontmost_ == settingsBundleID())
            frontmost_.reset();
    }
    rebuild();
}

bool SimulatedSettings::running() const {
    std::lock_guard lock(mutex());
    return running_;
}

void SimulatedSettings::setFrontmost(std::optional<QString> bundleID) {
    std::lock_guard lock(mutex());
    frontmost_ = std::move(bundleID);
}

void SimulatedSettings::setWindowFrame(const Rect& frame) {
    std::lock_guard lock(mutex());
    frame_ = frame;
    rebuild();
}

Rect SimulatedSettings::windowFrame() const {
    std::lock_guard lock(mutex());
    return frame_;
}

void SimulatedSettings::setWindowNumber(WindowNumber number) {
    std::lock_guard lock(mutex());
    number_ = number;
}

WindowNumber SimulatedSettings::windowNumber() const {
    std::lock_guard lock(mutex());
    return number_;
}

void SimulatedSettings::setOtherWindows(const QList<WindowDescription>& windows) {
    std::lock_guard lock(mutex());
    otherWindows_ = windows;
}

void SimulatedSettings::showPage(SimulatedPage page) {
    std::lock_guard lock(mutex());
    running_ = running_ || page != SimulatedPage::none;
    if (page != page_) {
        scroll_ = 0;
        selected_.clear();
    }
    page_ = page;
    pending_.reset();
    rebuild();
}

SimulatedPage SimulatedSettings::page() const {
    std::lock_guard lock(mutex());
    return page_;
}

void SimulatedSettings::setOpenDelay(int reads) {
    std::lock_guard lock(mutex());
    openDelay_ = std::max(0, reads);
}

QList<QUrl> SimulatedSettings::openedLinks() const {
    std::lock_guard lock(mutex());
    return opened_;
}

void SimulatedSettings::setOtherPageTitle(const QString& title) {
    std::lock_guard lock(mutex());
    otherTitle_ = title;
    rebuild();
}

void SimulatedSettings::setAccessibilityRows(const QList<SimulatedRow>& rows) {
    std::lock_guard lock(mutex());
    accessibilityRows_ = rows;
    rebuild();
}

void SimulatedSettings::setOpenAtLoginRows(const QList<SimulatedRow>& rows) {
    std::lock_guard lock(mutex());
    openAtLoginRows_ = rows;
    rebuild();
}

void SimulatedSettings::setBackgroundItems(const QList<SimulatedBackgroundItem>& items) {
    std::lock_guard lock(mutex());
    backgroundItems_ = items;
    rebuild();
}

QList<SimulatedRow> SimulatedSettings::accessibilityRows() const {
    std::lock_guard lock(mutex());
    return accessibilityRows_;
}

QList<SimulatedRow> SimulatedSettings::openAtLoginRows() const {
    std::lock_guard lock(mutex());
    return openAtLoginRows_;
}

QList<SimulatedBackgroundItem> SimulatedSettings::backgroundItems() const {
    std::lock_guard lock(mutex());
    return backgroundItems_;
}

void SimulatedSettings::scrollTo(double offset) {
    std::lock_guard lock(mutex());
    scroll_ = offset;
    rebuild();
}

bool SimulatedSettings::pressMinusAndConfirm() {
    std::lock_guard lock(mutex());
    const PaneSection section =
        page_ == SimulatedPage::accessibility ? PaneSection::accessibility : PaneSection::openAtLogin;
    if (page_ != SimulatedPage::accessibility && page_ != SimulatedPage::loginItems)
        return false;
    const QString key = selected_.value(static_cast<int>(section));
    if (key.isEmpty())
        return false;
    QList<SimulatedRow>& rows = section == PaneSection::accessibility ? accessibilityRows_ : openAtLoginRows_;
    QHash<QString, int> seen;
    for (int i = 0; i < rows.size(); ++i) {
        const QString id = rows[i].recordKey.isEmpty() ? rows[i].title : rows[i].recordKey;
        if (rowKey(section, rows[i], seen[id]++) != key)
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

void SimulatedSettings::removeRecord(const QString& recordKey) {
    std::lock_guard lock(mutex());
    auto sameRecord = [&](const auto& entry) { return entry.recordKey == recordKey; };
    accessibilityRows_.removeIf(sameRecord);
    openAtLoginRows_.removeIf(sameRecord);
    backgroundItems_.removeIf(sameRecord);
    rebuild();
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
    std::lock_guard lock(mutex());
    QStringList titles;
    for (const SimulatedLayoutRow& row : layoutLocked().rows) {
        if (row.selected)
            titles << row.title;
    }
    return titles;
}

int SimulatedSettings::sidebarReads() const {
    return readsUnder(QStringLiteral("sidebar"));
}

QList<SimulatedAXTree::Write> SimulatedSettings::forbiddenWrites() const {
    QList<Write> forbidden;
    for (const Write& write : writes()) {
        if (write.role != QStringLiteral("AXRow") || !write.key.startsWith(QStringLiteral("row:")) ||
            write.attribute != QStringLiteral("AXSelected")) {
            forbidden << write;
        }
    }
    return forbidden;
}

SimulatedLayout SimulatedSettings::layout() const {
    std::lock_guard lock(mutex());
    return layoutLocked();
}

void SimulatedSettings::willRead() {
    if (!pending_)
        return;
    if (--pendingReads_ > 0)
        return;
    const SimulatedPage page = *pending_;
    pending_.reset();
    if (page != page_) {
        scroll_ = 0;
        selected_.clear();
    }
    page_ = page;
    rebuild();
}

std::int32_t SimulatedSettings::select(const QString& key) {
    if (rejectSelection)
        return *rejectSelection;
    if (!selectionSticks)
        return AXError::success;
    for (const SimulatedLayoutRow& row : layoutLocked().rows) {
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

std::optional<QString> SimulatedSettings::frontmostBundleID() {
    std::lock_guard lock(mutex());
    return frontmost_;
}

bool SimulatedSettings::openURL(const QUrl& url, bool activate) {
    std::lock_guard lock(mutex());
    opened_ << url;
    if (url.scheme() != QStringLiteral("x-apple.systempreferences"))
        return false;
    SimulatedPage target = SimulatedPage::other;
    if (url == QUrl(QStringLiteral(
                   "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"))) {
        target = SimulatedPage::accessibility;
    } else if (url ==
               QUrl(QStringLiteral("x-apple.systempreferences:com.apple.LoginItems-Settings.extension"))) {
        target = SimulatedPage::loginItems;
    }
    running_ = true;
    if (activate)
        frontmost_ = settingsBundleID();
    if (openDelay_ > 0) {
        pending_ = target;
        pendingReads_ = openDelay_;
        rebuild();
    } else {
        showPage(target);
    }
    return true;
}

std::optional<QList<WindowDescription>> SimulatedSettings::onScreenWindows() {
    std::lock_guard lock(mutex());
    QList<WindowDescription> windows;
    if (hasWindow()) {
        windows << WindowDescription{pid_, 0, frame_.x, frame_.y, frame_.width, frame_.height, number_};
    }
    windows << otherWindows_;
    return windows;
}

}  // namespace rk::test
