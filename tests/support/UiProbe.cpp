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

void click(QWidget* widget, QPoint pos) {
    const QPointF local(pos);
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void clickCentre(QWidget* widget) {
    click(widget, widget->rect().center());
}

void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QImage render(QWidget* widget, int width) {
    widget->show();
    settle();
    const int height =
        widget->hasHeightForWidth() ? widget->heightForWidth(width) : widget->sizeHint().height();
    widget->resize(width, std::max(height, widget->minimumSizeHint().height()));
    settle();
    QImage image(widget->size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    widget->render(&image);
    return image;
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

QWidget* buttonTitled(const QWidget* root, const QString& title) {
    for (QAbstractButton* button : visibleChildren<QAbstractButton>(root)) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

void press(const QWidget* root, const QString& title) {
    QWidget* button = buttonTitled(root, title);
    ASSERT_NE(button, nullptr) << "no button " << title.toStdString();
    static_cast<QAbstractButton*>(button)->click();
}

QString savePng(const QImage& image, const QString& name) {
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/ui-pages");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    image.save(path, "PNG");
    return path;
}

QColor pixel(const QImage& image, QPointF point) {
    const double ratio = image.devicePixelRatio();
    return image.pixelColor(int(point.x() * ratio), int(point.y() * ratio));
}

bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace rk::test
