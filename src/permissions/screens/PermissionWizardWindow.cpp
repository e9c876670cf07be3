#include "permissions/screens/PermissionWizardWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace rk {

KTPermissionWizardWindow::KTPermissionWizardWindow(const KTWizardProduct& product, const KTWizardBrand& brand,
                                                   const QList<KTPermission>& permissions)
    : view_(new KTPermissionWizardView(brand, product, permissions, [] { KTPermissionWizard::close(); })) {
    setWindowTitle(product.name + " Permissions");
    setFixedSize(KTPermissionWizard::contentWidth, KTPermissionWizard::contentHeight);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(view_);
}

void KTPermissionWizardWindow::install() {
    KTPermissionWizard::makeWindow =
        [](const KTWizardProduct& product, const KTWizardBrand& brand,
           const QList<KTPermission>& permissions) -> KTPermissionWizard::Window* {
        return new KTPermissionWizardWindow(product, brand, permissions);
    };
}

void KTPermissionWizardWindow::bringForward(KTPermissionWizard::Presentation presentation) {
    const bool activate = presentation == KTPermissionWizard::Presentation::activate;
    setAttribute(Qt::WA_ShowWithoutActivating, !activate);
    show();
    raise();
    if (activate)
        activateWindow();
}

// On the middle of its screen; a screen shorter than the window keeps the
// top edge on it, so the title bar can still be reached to move it.
void KTPermissionWizardWindow::centre() {
    const QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!display)
        return;
    const QRect available = display->availableGeometry();
    QRect frame(QPoint(0, 0), frameGeometry().size());
    frame.moveCenter(available.center());
    frame.moveTop(std::max(frame.top(), available.top()));
    move(frame.topLeft());
}

// Placed when first shown: only then does the window system know the size
// of the frame around the content, which the centring must include.
void KTPermissionWizardWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placed_) {
        placed_ = true;
        centre();
    }
}

void KTPermissionWizardWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    KTPermissionWizard::windowClosed();
}

// A press on the background, which no control took, moves the window.
void KTPermissionWizardWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

}  // namespace rk
