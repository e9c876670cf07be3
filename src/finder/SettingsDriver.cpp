#include "finder/SettingsDriver.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>

#include "finder/AXWrite.h"
#include "platform/Text.h"

namespace rk {

namespace {

// Rectangle arithmetic with the platform's rules: boxes are taken with
// non-negative sizes, and boxes that do not meet intersect in the null
// rectangle (infinite origin, zero size), which contains nothing.
namespace box {

constexpr double infinity = std::numeric_limits<double>::infinity();

Rect null() {
    return Rect{infinity, infinity, 0, 0};
}
bool isNull(const Rect& r) {
    return std::isinf(r.x) || std::isinf(r.y);
}

double minX(const Rect& r) {
    return r.standardized().x;
}
double minY(const Rect& r) {
    return r.standardized().y;
}
double maxX(const Rect& r) {
    return minX(r) + std::abs(r.width);
}
double maxY(const Rect& r) {
    return minY(r) + std::abs(r.height);
}

Rect intersection(const Rect& a, const Rect& b) {
    if (isNull(a) || isNull(b))
        return null();
    const double left = std::max(minX(a), minX(b));
    const double right = std::min(maxX(a), maxX(b));
    const double top = std::max(minY(a), minY(b));
    const double bottom = std::min(maxY(a), maxY(b));
    if (right < left || bottom < top)
        return null();
    return Rect{left, top, right - left, bottom - top};
}

Rect unite(const Rect& a, const Rect& b) {
    if (isNull(a))
        return b;
    if (isNull(b))
        return a;
    const double left = std::min(minX(a), minX(b));
    const double top = std::min(minY(a), minY(b));
    return Rect{left, top, std::max(maxX(a), maxX(b)) - left, std::max(maxY(a), maxY(b)) - top};
}

// Grown by `d` points on every side.
Rect grown(const Rect& r, double d) {
    if (isNull(r))
        return r;
    const Rect s = r.standardized();
    return Rect{s.x - d, s.y - d, s.width + 2 * d, s.height + 2 * d};
}

bool contains(const Rect& outer, const Rect& inner) {
    if (isNull(outer) || isNull(inner))
        return false;
    return minX(inner) >= minX(outer) && maxX(inner) <= maxX(outer) && minY(inner) >= minY(outer) &&
           maxY(inner) <= maxY(outer);
}

}  // namespace box

const QString kRole = QStringLiteral("AXRole");
const QString kTitle = QStringLiteral("AXTitle");
const QString kValue = QStringLiteral("AXValue");
const QString kDescription = QStringLiteral("AXDescription");
const QString kIdentifier = QStringLiteral("AXIdentifier");
const QString kSelected = QStringLiteral("AXSelected");

constexpr double kMessagingTimeout = 2.0;  // seconds; a slow System Settings must not hold a read
constexpr double kMinWindowHeight = 300;   // sheets and small panels are not the main window
constexpr double kWindowSlack = 3.0;       // points between Accessibility and the window server
constexpr double kLabelLine = 14;          // a background item's label sits on its switch's line
constexpr double kDetailReach = 30;        // its detail line sits just under the label
constexpr double kMinusReach = 60;         // a minus button sits under its list, near its left edge
const QString kSwitchPrefix = QStringLiteral("background-switch-");

// Whether a box, seen through `clip`, is on show: its inside (one point in
// from each edge) lies within the clip grown by one point.
bool showsThrough(const Rect& clip, const Rect& frame) {
    const Rect inside{frame.x + 1, frame.y + 1, std::max(frame.width - 2, 1.0),
                      std::max(frame.height - 2, 1.0)};
    return box::contains(box::grown(clip, 1), inside);
}

bool isTrue(const std::optional<AXValue>& value) {
    const bool* flag = value ? std::get_if<bool>(&*value) : nullptr;
    return flag != nullptr && *flag;
}

// For each node, the indexes of the nodes found under it, in node order.
QList<QList<int>> childrenMap(const QList<AXNode>& nodes) {
    QList<QList<int>> map(nodes.size());
    for (int i = 0; i < nodes.size(); ++i) {
        const std::optional<int>& parent = nodes[i].parent;
        if (parent && *parent >= 0 && *parent < nodes.size())
            map[*parent].append(i);
    }
    return map;
}

// A row's title: the first static text with words under it, breadth first.
QString rowTitle(const QList<AXNode>& nodes, const QList<QList<int>>& children, int row) {
    std::deque<int> queue(children[row].begin(), children[row].end());
    while (!queue.empty()) {
        const int index = queue.front();
        queue.pop_front();
        const AXNode& node = nodes[index];
        if (node.role == QStringLiteral("AXStaticText") && !node.text.isEmpty())
            return node.text;
        queue.insert(queue.end(), children[index].begin(), children[index].end());
    }
    return {};
}

void readListRows(Pane pane, const QList<AXNode>& nodes, const QList<QList<int>>& children,
                  SettingsSnapshot& snapshot, Accessibility& accessibility) {
    const PaneSection section =
        pane == Pane::accessibility ? PaneSection::accessibility : PaneSection::openAtLogin;
    int next = 0;
    for (int i = 0; i < nodes.size(); ++i) {
        const AXNode& node = nodes[i];
        if (node.role != QStringLiteral("AXRow") || node.inSidebar)
            continue;
        const QString title = rowTitle(nodes, children, i);
        if (title.isEmpty())
            continue;
        if (node.frame.height > 1 && showsThrough(node.clip, node.frame)) {
            const int index = next++;
            snapshot.rows.append(PaneRow{section, title, node.frame, index, true, std::nullopt});
            snapshot.rowRefs.insert(index, node.ref);
            if (isTrue(SettingsDriver::attr(node.ref, kSelected, accessibility)))
                snapshot.selectedTitles << title;
        } else if (node.frame.height > 1 || box::minY(node.frame) > box::maxY(node.clip)) {
            snapshot.below << title;
        }
    }
}

bool isBackgroundSwitch(const AXNode& node) {
    return node.role == QStringLiteral("AXCheckBox") && node.ident.startsWith(kSwitchPrefix) &&
           node.desc.isEmpty() && node.frame.width > 25;
}

// The text on the switch's line, left of it, that carries the item's name
// (canonically equal to it: the label and the identifier may be composed
// differently); the one whose top is nearest the switch's, the earlier on a
// tie.
const AXNode* labelFor(const AXNode& toggle, const QString& name, const QList<const AXNode*>& texts) {
    const AXNode* best = nullptr;
    double bestDistance = 0;
    for (const AXNode* text : texts) {
        if (text->parent != toggle.parent || !Text::same(text->text, name))
            continue;
        if (!(box::maxX(text->frame) < box::minX(toggle.frame)))
            continue;
        const double distance = std::abs(box::minY(text->frame) - box::minY(toggle.frame));
        if (!(distance < kLabelLine))
            continue;
        if (best == nullptr || distance < bestDistance) {
            best = text;
            bestDistance = distance;
        }
    }
    return best;
}

const AXNode* detailFor(const AXNode& toggle, const AXNode& label, const QString& name,
                        const QList<const AXNode*>& texts) {
    const QString ident =
        QStringLiteral("background-detail-for-") + name + QStringLiteral("-app-login-items");
    for (const AXNode* text : texts) {
        if (text->parent != toggle.parent || !Text::same(text->ident, ident))
            continue;
        const double drop = box::minY(text->frame) - box::minY(label.frame);
        if (drop > 0 && drop < kDetailReach)
            return text;
    }
    return nullptr;
}

void readBackgroundRows(const QList<AXNode>& nodes, SettingsSnapshot& snapshot) {
    QList<const AXNode*> texts;
    for (const AXNode& node : nodes) {
        if (node.role == QStringLiteral("AXStaticText"))
            texts << &node;
    }
    int next = 0;
    for (const AXNode& toggle : nodes) {
        if (!isBackgroundSwitch(toggle))
            continue;
        const QString name = toggle.ident.mid(kSwitchPrefix.size());
        const AXNode* label = labelFor(toggle, name, texts);
        if (label == nullptr)
            continue;
        const AXNode* detail = detailFor(toggle, *label, name, texts);

        Rect itemBox = box::unite(label->frame, toggle.frame);
        if (detail != nullptr)
            itemBox = box::unite(itemBox, detail->frame);
        // Takes in the item's icon, left of the label, and a little air around it.
        const Rect frame{itemBox.x - 44, itemBox.y - 6, itemBox.width + 54, itemBox.height + 12};
        const Rect test{box::minX(label->frame), frame.y + 2,
                        box::maxX(toggle.frame) - box::minX(label->frame), frame.height - 4};
        if (test.height > 1 && showsThrough(toggle.clip, test)) {
            snapshot.rows.append(PaneRow{PaneSection::background, name, frame, next++, false, std::nullopt});
        } else {
            snapshot.below << name;
        }
    }
}

QList<Rect> minusButtons(const QList<AXNode>& nodes) {
    const QString remove = QStringLiteral("Remove");
    QList<Rect> frames;
    for (const AXNode& node : nodes) {
        if (node.role == QStringLiteral("AXButton") && !node.inSidebar &&
            (node.desc == remove || node.text == remove) && node.frame.width > 0) {
            frames << node.frame;
        }
    }
    return frames;
}

// A position or size part that is not a finite number is no reading at all.
double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0;
}

}  // namespace

QString SettingsDriver::bundleID() {
    return AXWrite::settingsBundleID();
}

std::optional<RunningApplication> SettingsDriver::app(Workspace& workspace) {
    const QList<RunningApplication> running = workspace.runningApplications(bundleID());
    if (running.isEmpty())
        return std::nullopt;
    return running.first();
}

bool SettingsDriver::open(Pane pane, Workspace& workspace) {
    return workspace.openURL(url(pane), true);
}

std::optional<AXValue> SettingsDriver::attr(const AXElement& element, const QString& name,
                                            Accessibility& accessibility) {
    return accessibility.attribute(element, name);
}

QString SettingsDriver::str(const AXElement& element, const QString& name, Accessibility& accessibility) {
    const std::optional<AXValue> value = accessibility.attribute(element, name);
    if (!value)
        return {};
    if (const QString* text = std::get_if<QString>(&*value))
        return *text;
    if (const std::int64_t* number = std::get_if<std::int64_t>(&*value))
        return QString::number(*number);
    if (const double* number = std::get_if<double>(&*value)) {
        return QString::number(*number, 'g', QLocale::FloatingPointShortest);
    }
    return {};
}

Rect SettingsDriver::frame(const AXElement& element, Accessibility& accessibility) {
    Rect rect;
    const std::optional<AXValue> position = accessibility.attribute(element, QStringLiteral("AXPosition"));
    if (const AXPoint* point = position ? std::get_if<AXPoint>(&*position) : nullptr) {
        rect.x = finiteOrZero(point->x);
        rect.y = finiteOrZero(point->y);
    }
    const std::optional<AXValue> size = accessibility.attribute(element, QStringLiteral("AXSize"));
    if (const AXSize* extent = size ? std::get_if<AXSize>(&*size) : nullptr) {
        rect.width = finiteOrZero(extent->width);
        rect.height = finiteOrZero(extent->height);
    }
    return rect;
}

QList<AXElement> SettingsDriver::children(const AXElement& element, Accessibility& accessibility) {
    const std::optional<AXValue> value = accessibility.attribute(element, QStringLiteral("AXChildren"));
    if (const QList<AXElement>* list = value ? std::get_if<QList<AXElement>>(&*value) : nullptr)
        return *list;
    return {};
}

std::optional<SettingsDriver::Window> SettingsDriver::mainWindow(std::int32_t pid, std::optional<Pane> pane,
                                                                 Accessibility& accessibility) {
    const AXElement application = accessibility.applicationElement(pid);
    accessibility.setMessagingTimeout(application, kMessagingTimeout);

    const std::optional<AXValue> value = accessibility.attribute(application, QStringLiteral("AXWindows"));
    const QList<AXElement>* windows = value ? std::get_if<QList<AXElement>>(&*value) : nullptr;
    if (windows == nullptr)
        return std::nullopt;

    QList<Window> kept;
    for (const AXElement& element : *windows) {
        Window window{element, str(element, kTitle, accessibility), frame(element, accessibility)};
        if (!window.title.isEmpty() && window.frame.height > kMinWindowHeight)
            kept << window;
    }
    if (pane) {
        const QString wanted = windowTitle(*pane);
        for (const Window& window : kept) {
            if (window.title == wanted)
                return window;
        }
    }
    const Window* largest = nullptr;
    for (const Window& window : kept) {
        const double area = window.frame.width * window.frame.height;
        if (largest == nullptr || area > largest->frame.width * largest->frame.height)
            largest = &window;
    }
    if (largest == nullptr)
        return std::nullopt;
    return *largest;
}

std::optional<WindowNumber> SettingsDriver::windowNumber(std::int32_t pid, const Rect& frame,
                                                         WindowList& windows) {
    const std::optional<QList<WindowDescription>> listed = windows.onScreenWindows();
    if (!listed)
        return std::nullopt;
    auto near = [](const std::optional<double>& part, double value) {
        return std::abs(part.value_or(0) - value) < kWindowSlack;
    };
    for (const WindowDescription& window : *listed) {
        if (window.ownerPid != pid || window.layer != 0)
            continue;
        if (near(window.x, frame.x) && near(window.y, frame.y) && near(window.width, frame.width) &&
            near(window.height, frame.height)) {
            return window.number;
        }
    }
    return std::nullopt;
}

QList<AXNode> SettingsDriver::walk(const AXElement& window, const Rect& windowFrame, int maxNodes,
                                   int maxDepth, Accessibility& accessibility) {
    struct Item {
        AXElement element;
        std::optional<int> parent;
        int depth = 0;
        Rect clip;
    };
    std::deque<Item> work{Item{window, std::nullopt, 0, windowFrame}};
    QList<AXNode> nodes;
    while (!work.empty() && nodes.size() < maxNodes) {
        const Item item = std::move(work.front());
        work.pop_front();

        AXNode node;
        node.ref = item.element;
        node.role = str(item.element, kRole, accessibility);
        node.frame = frame(item.element, accessibility);
        node.desc = str(item.element, kDescription, accessibility);
        const QString value = str(item.element, kValue, accessibility);
        node.text = !value.isEmpty() && node.role != QStringLiteral("AXCheckBox")
                        ? value
                        : str(item.element, kTitle, accessibility);
        node.ident = str(item.element, kIdentifier, accessibility);
        node.inSidebar = node.role == QStringLiteral("AXOutline") && node.desc == QStringLiteral("Sidebar");
        node.clip = node.role == QStringLiteral("AXScrollArea") && node.frame.width > 0
                        ? box::intersection(item.clip, node.frame)
                        : item.clip;
        node.parent = item.parent;
        nodes.append(node);

        // The sidebar is recorded but never entered: it holds nothing the
        // program reads, and reading it costs hundreds of messages.
        if (item.depth >= maxDepth || node.inSidebar)
            continue;
        const int index = static_cast<int>(nodes.size()) - 1;
        for (const AXElement& child : children(item.element, accessibility)) {
            work.push_back(Item{child, index, item.depth + 1, node.clip});
        }
    }
    return nodes;
}

std::optional<SettingsSnapshot> SettingsDriver::snapshot(Pane pane, Accessibility& accessibility,
                                                         Workspace& workspace, WindowList& windows) {
    if (!accessibility.isProcessTrusted())
        return std::nullopt;
    const std::optional<RunningApplication> settings = app(workspace);
    if (!settings)
        return std::nullopt;
    const std::optional<Window> window = mainWindow(settings->pid, pane, accessibility);
    if (!window)
        return std::nullopt;

    const QList<AXNode> nodes =
        walk(window->element, window->frame, defaultMaxNodes, defaultMaxDepth, accessibility);

    SettingsSnapshot snapshot;
    snapshot.pid = settings->pid;
    snapshot.windowTitle = window->title;
    snapshot.windowFrame = window->frame;
    // Another page showing: its title tells the caller so; its rows are not ours.
    if (window->title == windowTitle(pane)) {
        readListRows(pane, nodes, childrenMap(nodes), snapshot, accessibility);
        if (pane == Pane::loginItems)
            readBackgroundRows(nodes, snapshot);
    }
    snapshot.minusFrames = minusButtons(nodes);
    snapshot.windowNumber = windowNumber(settings->pid, window->frame, windows);
    return snapshot;
}

bool SettingsDriver::select(const PaneRow& row, const SettingsSnapshot& snapshot,
                            Accessibility& accessibility) {
    if (!row.selectable)
        return false;
    const auto found = snapshot.rowRefs.constFind(row.index);
    if (found == snapshot.rowRefs.constEnd())
        return false;
    // The element was read from System Settings' own window.
    LiveAXElement element(*found, bundleID(), accessibility);
    if (!AXWrite::select(element).ok())
        return false;
    return isTrue(attr(*found, kSelected, accessibility));
}

std::optional<Rect> SettingsDriver::minus(const PaneRow& row, const SettingsSnapshot& snapshot) {
    const Rect* best = nullptr;
    for (const Rect& frame : snapshot.minusFrames) {
        const bool underRow = box::minY(frame) > box::minY(row.frame);
        const bool overlapsRow =
            box::minX(frame) < box::maxX(row.frame) && box::maxX(frame) > box::minX(row.frame) - kMinusReach;
        if (!underRow || !overlapsRow)
            continue;
        if (best == nullptr || box::minY(frame) < box::minY(*best))
            best = &frame;
    }
    if (best == nullptr)
        return std::nullopt;
    return *best;
}

}  // namespace rk
