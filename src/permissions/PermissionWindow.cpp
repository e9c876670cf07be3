#include "permissions/PermissionWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "permissions/PermissionWizard.h"
#include "platform/Appearance.h"
#include "platform/Workspace.h"

namespace rk {

namespace {
// Draws the product's mark.
class MarkView : public QWidget {
public:
    MarkView(KTResolvedMark mark, QWidget* parent) : QWidget(parent), mark_(std::move(mark)) {
        setFixedSize(28, 28);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (mark_)
            mark_(painter, QRectF(rect()));
    }

private:
    KTResolvedMark mark_;
};

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(text);
    return label;
}

void colourText(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}
}  // namespace

KTPermissionWindow::KTPermissionWindow(const KTWizardProduct& product, const KTWizardBrand& brand,
                                       const QList<KTPermission>& permissions) {
    setWindowTitle(product.name + " Permissions");
    setFixedSize(KTPermissionWizard::contentWidth, KTPermissionWizard::contentHeight);
    const KTResolvedBrand colours(brand, Appearance::isDark(palette()));
    if (colours.ground) {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, *colours.ground);
        setPalette(palette);
        setAutoFillBackground(true);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(14);
    auto* header = new QHBoxLayout;
    header->addWidget(new MarkView(colours.mark, this));
    QLabel* heading = plainLabel(product.name + " Permissions", this);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.5);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    colourText(heading, colours.ink);
    header->addWidget(heading, 1);
    layout->addLayout(header);
    if (product.summaryLead) {
        QLabel* lead = plainLabel(*product.summaryLead, this);
        colourText(lead, colours.inkMuted);
        layout->addWidget(lead);
    }

    auto* list = new QWidget;
    auto* listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(12);
    for (const KTPermission& permission : permissions)
        listLayout->addWidget(permissionCard(permission, colours));
    listLayout->addStretch(1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    layout->addWidget(scroll, 1);

    refresh();
    ticker_.setInterval(1000);
    connect(&ticker_, &QTimer::timeout, this, [this] { refresh(); });
    ticker_.start();
}

// On the middle of its screen; a screen shorter than the window keeps the
// top edge on it, so the title bar can still be reached to move it.
void KTPermissionWindow::centre() {
    const QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!display)
        return;
    const QRect available = display->availableGeometry();
    QRect frame(QPoint(0, 0), frameGeometry().size());
    frame.moveCenter(available.center());
    frame.moveTop(std::max(frame.top(), available.top()));
    move(frame.topLeft());
}

QWidget* KTPermissionWindow::permissionCard(const KTPermission& permission, const KTResolvedBrand& colours) {
    auto* card = new QFrame;
    card->setObjectName("permission:" + permission.id);
    card->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(card);
    QLabel* title = plainLabel(permission.paneTitle(), card);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    colourText(title, colours.ink);
    QLabel* benefit = plainLabel(permission.benefit, card);
    colourText(benefit, colours.inkMuted);
    QLabel* status = plainLabel(QString(), card);
    status->setObjectName("status:" + permission.id);
    colourText(status, colours.accentText);
    auto* open = new QPushButton("Open System Settings", card);
    open->setObjectName("open:" + permission.id);
    const QUrl page = permission.settingsURL;
    connect(open, &QPushButton::clicked, card, [page] { Workspace::current().openURL(page, true); });
    layout->addWidget(title);
    layout->addWidget(benefit);
    layout->addWidget(status);
    layout->addWidget(open, 0, Qt::AlignLeft);
    rows_.append(Row{permission, status});
    return card;
}

QString KTPermissionWindow::statusFor(const KTPermission& permission, bool granted) {
    if (granted)
        return "Granted";
    return permission.isOptional ? "Not granted (optional)" : "Not granted yet";
}

void KTPermissionWindow::refresh() {
    for (const Row& row : rows_)
        row.status->setText(statusFor(row.permission, row.permission.probeGranted()));
}

QString KTPermissionWindow::statusText(const QString& id) const {
    for (const Row& row : rows_) {
        if (row.permission.id == id)
            return row.status->text();
    }
    return {};
}

// Placed when first shown: only then does the window system know the size
// of the frame around the content, which the centring must include.
void KTPermissionWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placed_) {
        placed_ = true;
        centre();
    }
}

void KTPermissionWindow::closeEvent(QCloseEvent* event) {
    ticker_.stop();
    QWidget::closeEvent(event);
    KTPermissionWizard::windowClosed();
}

}  // namespace rk
