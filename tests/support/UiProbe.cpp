#include "support/UiProbe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <algorithm>

#include "platform/Appearance.h"
#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"
#include "ui/Controls.h"

namespace rk::test {

void writeLeftoverTcc(ModelWorld& world, bool withGhost, bool extra) {
    QList<TccDbRow> rows = {accessibilityRow(phantomKey()), accessibilityRow("com.example.TESTeditor")};
    if (withGhost)
        rows.prepend(accessibilityRow("com.example.TESTghost"));
    if (extra)
        rows.append(accessibilityRow("com.example.TESTspectre"));
    world.writeTcc(rows);
}

void writeLeftovers(ModelWorld& world) {
    world.installApp(QStringLiteral("com.example.TESTeditor"),
                     QStringLiteral("/Applications/TESTeditor.app"));
    writeLeftoverTcc(world);
    world.settings.setAccessibilityRows(
        {{QStringLiteral("TESTghost"), SimulatedIcon::blankDocument, QStringLiteral("com.example.TESTghost")},
         {QStringLiteral("TESTeditor"), SimulatedIcon::colourful, QStringLiteral("com.example.TESTeditor")}});

    const QString plist =
        world.root.paths().userLaunchAgents() + QStringLiteral("/com.example.TESTgone.plist");
    const QString program = QStringLiteral("/Users/anna/Applications/TESTgone.app/Contents/MacOS/agent");
    world.root.writeFile(plist,
                         LaunchPlistWriter::write({QStringLiteral("com.example.TESTgone"), program, {}}));
    world.writeBtm({agentItem(QStringLiteral("TESTgone agent"), QStringLiteral("com.example.TESTgone"), plist,
                              true, program)});
    world.settings.setBackgroundItems({});
}

void ensureUiApplication() {
    ensureApplication();
}

namespace {

QString readable(const QLabel* label) {
    if (label->textFormat() == Qt::PlainText)
        return label->text();
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

}  // namespace

QStringList shownTexts(const QWidget* root) {
    QStringList texts;
    for (const QWidget* widget : visibleChildren<QWidget>(root)) {
        if (const auto* label = qobject_cast<const QLabel*>(widget))
            texts.append(readable(label));
        else if (const auto* line = qobject_cast<const ElidedLabel*>(widget))
            texts.append(line->text());
        else if (const auto* button = qobject_cast<const QAbstractButton*>(widget);
                 button && !button->text().isEmpty())
            texts.append(button->text());
    }
    return texts;
}

bool shows(const QWidget* root, const QString& text) {
    return shownTexts(root).contains(text);
}

bool showsPart(const QWidget* root, const QString& part) {
    return !shownTexts(root).filter(part).isEmpty();
}

bool showsFocusRing(QWidget* control) {
    const QColor ring = focusRingColour(Appearance::isDark(control->palette()));
    return near(pixel(control->grab().toImage(), {1, control->height() / 2.0}), ring, 24);
}

void typeKey(QWidget* widget, Qt::Key key) {
    const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

QString describe(const QWidget* control) {
    if (control == nullptr)
        return QStringLiteral("no focus");
    const auto* button = qobject_cast<const QAbstractButton*>(control);
    return QString::fromLatin1(control->metaObject()->className()) +
           (button ? " \"" + button->text() + "\"" : QString());
}

QList<TabStop> tabStops(QWidget* window, int most) {
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    QList<TabStop> stops;
    for (QWidget* focused = nullptr; stops.size() < most;) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(focused ? focused : window, &tab);
        focused = QApplication::focusWidget();
        const bool seen = std::any_of(stops.begin(), stops.end(),
                                      [focused](const TabStop& stop) { return stop.control == focused; });
        if (!focused || seen)
            break;
        stops.append({focused, describe(focused), showsFocusRing(focused)});
    }
    return stops;
}

}  // namespace rk::test
