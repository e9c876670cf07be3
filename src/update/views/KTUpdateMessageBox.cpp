#include "update/views/KTUpdateMessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace rk {

namespace {

// The window to bring forward: the active one, else the first shown one.
QWidget* frontWindow() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isWindow() && window->isVisible() && window->windowType() == Qt::Window)
            return window;
    }
    return nullptr;
}

// Titles and messages carry feed texts and paths: plain text in every label.
void showPlain(QMessageBox& box, const QString& message) {
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(message);
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

}  // namespace

void KTUpdateMessageBox::activate() {
    if (QWidget* window = frontWindow()) {
        window->raise();
        window->activateWindow();
    }
}

void KTUpdateMessageBox::notice(const QString& title, const QString& message) {
    QMessageBox box(QMessageBox::Information, title, title, QMessageBox::Ok, frontWindow());
    showPlain(box, message);
    box.exec();
}

bool KTUpdateMessageBox::confirm(const QString& title, const QString& message, const QString& confirmLabel,
                                 const QString& cancelLabel) {
    QMessageBox box(QMessageBox::Information, title, title, QMessageBox::NoButton, frontWindow());
    QPushButton* yes = box.addButton(confirmLabel, QMessageBox::AcceptRole);
    box.addButton(cancelLabel, QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    showPlain(box, message);
    box.exec();
    return box.clickedButton() == yes;
}

void KTUpdateMessageBox::install() {
    static KTUpdateMessageBox box;
    KTUpdate::MessageBoxes::setCurrent(&box);
}

}  // namespace rk
