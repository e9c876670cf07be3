#include "support/UiProbe.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QTextDocument>

#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"
#include "support/QtApp.h"
#include "ui/Controls.h"

namespace rk::test {

void writeLeftoverTcc(ModelWorld& world, bool withGhost, bool extra) {
    const QString service = QStringLiteral("kTCCServiceAccessibility");
    QList<TccDbRow> rows = {TccDbRow{phantomKey(), 0, service, 2},
                            TccDbRow{QStringLiteral("com.example.TESTeditor"), 0, service, 2}};
    if (withGhost) {
        rows.prepend(TccDbRow{ghostKey(), 0, service, 2});
    }
    if (extra) {
        rows.append(TccDbRow{QStringLiteral("com.example.TESTspectre"), 0, service, 2});
    }
    world.writeTcc(rows);
}

void writeLeftovers(ModelWorld& world) {
    world.installApp(QStringLiteral("com.example.TESTeditor"),
                     QStringLiteral("/Applications/TESTeditor.app"));
    writeLeftoverTcc(world);
    world.settings.setAccessibilityRows(
        {{QStringLiteral("TESTghost"), SimulatedIcon::blankDocument, ghostKey()},
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
    if (label->textFormat() == Qt::PlainText) {
        return label->text();
    }
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

}  // namespace

QStringList shownTexts(const QWidget* root) {
    QStringList texts;
    const QList<QWidget*> all = root->findChildren<QWidget*>();
    for (const QWidget* widget : all) {
        if (!widget->isVisibleTo(root)) {
            continue;
        }
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            texts.append(readable(label));
        } else if (const auto* line = qobject_cast<const ElidedLabel*>(widget)) {
            texts.append(line->text());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            if (!button->text().isEmpty()) {
                texts.append(button->text());
            }
        }
    }
    return texts;
}

bool shows(const QWidget* root, const QString& text) {
    return shownTexts(root).contains(text);
}

bool showsPart(const QWidget* root, const QString& part) {
    for (const QString& text : shownTexts(root)) {
        if (text.contains(part)) {
            return true;
        }
    }
    return false;
}

}  // namespace rk::test
