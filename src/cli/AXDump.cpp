#include "cli/AXDump.h"

#include "cli/TextForms.h"
#include "finder/SettingsDriver.h"
#include "platform/Accessibility.h"
#include "platform/ToolOutput.h"

namespace rk {

namespace {

constexpr int kTextLength = 40;
constexpr int kDescLength = 30;
constexpr int kIdentLength = 60;

}  // namespace

int AXDump::run(Pane pane, const std::optional<QString>& filter) {
    std::optional<SettingsDriver::Window> window;
    if (Accessibility::current().isProcessTrusted()) {
        if (const auto settings = SettingsDriver::app())
            window = SettingsDriver::mainWindow(settings->pid, pane);
    }
    if (!window) {
        printLine(stdout, QStringLiteral("NOT MEASURED"));
        return notMeasuredStatus;
    }
    const QList<AXNode> nodes = SettingsDriver::walk(window->element, window->frame);
    printLine(stdout, QStringLiteral("window ") + window->title + QStringLiteral(" nodes ") +
                          QString::number(nodes.size()));
    for (int i = 0; i < nodes.size(); ++i) {
        if (shows(nodes[i], filter))
            printLine(stdout, line(i, nodes[i]));
    }
    return dumpedStatus;
}

bool AXDump::shows(const AXNode& node, const std::optional<QString>& filter) {
    if (node.inSidebar)
        return false;
    return !filter || (node.role + node.text + node.desc + node.ident).contains(*filter, Qt::CaseSensitive);
}

QString AXDump::line(int index, const AXNode& node) {
    return QStringLiteral("%1 p=%2 ").arg(index).arg(node.parent.value_or(-1)) + node.role +
           QStringLiteral(" text=") + TextForms::quoted(TextForms::cut(node.text, kTextLength)) +
           QStringLiteral(" desc=") + TextForms::quoted(TextForms::cut(node.desc, kDescLength)) +
           QStringLiteral(" id=") + TextForms::quoted(TextForms::cut(node.ident, kIdentLength)) +
           QStringLiteral(" f=%1,%2,%3x%4")
               .arg(TextForms::whole(node.frame.x))
               .arg(TextForms::whole(node.frame.y))
               .arg(TextForms::whole(node.frame.width))
               .arg(TextForms::whole(node.frame.height));
}

}  // namespace rk
