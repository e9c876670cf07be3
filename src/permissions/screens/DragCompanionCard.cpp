#include "permissions/screens/DragCompanionCard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <vector>

#include "permissions/screens/DragCompanion.h"
#include "permissions/screens/WizardWidgets.h"
#include "platform/AppBundle.h"
#include "platform/FileViewer.h"
#include "platform/IconArt.h"
#include "platform/MotionPreference.h"
#include "ui/Controls.h"
#include "ui/Rendering.h"
#include "ui/SchemeWatch.h"

namespace rk {

namespace {

constexpr int kIconSide = 56;
// Room around the icon for its hover growth and its shadow, inside the
// icon's own widget; the layout takes it back from its margins.
constexpr int kIconRoom = 10;
constexpr double kCornerRadius = 14;
constexpr int kCloseSide = 22;
constexpr int kClosePadding = 6;
constexpr int kHoverMs = 180;
// Icons are drawn at twice their size in points, for sharp edges on dense screens.
constexpr int kIconScale = 2;

// The app's icon as the desktop shows it: the application's window icon when
// it has one, else the plain application icon of a program without art of
// its own. Made once per process.
const QImage& appIcon() {
    static const QImage icon = [] {
        const int side = kIconSide * kIconScale;
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        const QIcon window = QGuiApplication::windowIcon();
        if (!window.isNull())
            window.paint(&painter, image.rect());
        else
            IconArt::paint(painter, QRectF(image.rect()), GenericIcon::application);
        painter.end();
        image.setDevicePixelRatio(kIconScale);
        return image;
    }();
    return icon;
}

// One pass of a box blur over an 8-bit alpha image, along rows or columns.
void boxBlur(QImage& alpha, int radius, bool alongRows) {
    const int length = alongRows ? alpha.width() : alpha.height();
    const int lines = alongRows ? alpha.height() : alpha.width();
    std::vector<int> line(std::size_t(length), 0);
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> uchar& { return alongRows ? alpha.scanLine(l)[i] : alpha.scanLine(i)[l]; };
        for (int i = 0; i < length; ++i)
            line[std::size_t(i)] = at(i);
        int sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += (i >= 0 && i < length) ? line[std::size_t(i)] : 0;
        for (int i = 0; i < length; ++i) {
            at(i) = uchar(sum / (2 * radius + 1));
            const int out = i - radius;
            const int in = i + radius + 1;
            sum += (in < length ? line[std::size_t(in)] : 0) - (out >= 0 ? line[std::size_t(out)] : 0);
        }
    }
}

// The icon's silhouette in black, blurred by `radius` points, with room for
// the blur around it; drawn centred under the icon.
QImage shadowOf(const QImage& icon, double radius) {
    const int room = kIconRoom * kIconScale;
    QImage alpha(icon.width() + 2 * room, icon.height() + 2 * room, QImage::Format_Alpha8);
    alpha.fill(0);
    QPainter painter(&alpha);
    QImage plain = icon;
    plain.setDevicePixelRatio(1);
    painter.drawImage(room, room, plain);
    painter.end();
    // Three box passes come close to the Gaussian a shadow radius means.
    const int box = std::max(1, int(std::lround(radius * kIconScale / 2.0)));
    for (int pass = 0; pass < 3; ++pass) {
        boxBlur(alpha, box, true);
        boxBlur(alpha, box, false);
    }
    alpha.setDevicePixelRatio(kIconScale);
    return alpha;
}

// A plain-style button that is only an "x", in a square that takes clicks
// over its whole area.
class CloseButton final : public QAbstractButton {
public:
    explicit CloseButton(QWidget* parent) : QAbstractButton(parent) {
        setFixedSize(kCloseSide, kCloseSide);
        setCursor(Qt::PointingHandCursor);
        takeTabFocus(this);
        setShortcut(QKeySequence(Qt::Key_Escape));
        setAccessibleName(QStringLiteral("Close this helper"));
    }
    QColor colour;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isDown())
            painter.setOpacity(0.6);
        // The cross of a 10-point bold glyph.
        const double arm = 3.5;
        const QPointF c = QRectF(rect()).center();
        painter.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
        painter.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
        paintFocusRing(painter, *this, 4);
    }
};

}  // namespace

// The app's icon, which the person drags into the list: it grows a little
// and its shadow deepens while the pointer is over it, and a drag carries
// the program's file URL.
class KTDragCompanionIcon final : public KTAppDragSource {
public:
    KTDragCompanionIcon(const QString& appName, QWidget* parent)
        : KTAppDragSource(parent), reduceMotion_(MotionPreference::current().reduceMotion()) {
        setFixedSize(kIconSide + 2 * kIconRoom, kIconSide + 2 * kIconRoom);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::OpenHandCursor);
        setToolTip(KTDragCompanionCard::iconToolTip(appName));
        setAccessibleName(appName + " app icon");
        setAccessibleDescription(KTDragCompanionCard::iconHint(appName));
        growth_.setDuration(kHoverMs);
        growth_.setEasingCurve(QEasingCurve::OutCubic);
        QObject::connect(&growth_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            scale_ = value.toDouble();
            update();
        });
    }

    bool isHovering() const { return hovering_; }

protected:
    void hoverChanged(bool hovering) override { setHovering(hovering); }
    QPixmap dragPicture() const override { return QPixmap::fromImage(appIcon()); }

    void paintEvent(QPaintEvent*) override {
        const KTDragCompanionCard::IconLook look = KTDragCompanionCard::iconLook(hovering_, reduceMotion_);
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPointF centre = QRectF(rect()).center();
        painter.translate(centre);
        painter.scale(scale_, scale_);
        painter.translate(-centre);
        // The shadow switches at once; only the size animates.
        static const QImage soft =
            shadowOf(appIcon(), KTDragCompanionCard::iconLook(false, false).shadowRadius);
        static const QImage deep =
            shadowOf(appIcon(), KTDragCompanionCard::iconLook(true, false).shadowRadius);
        painter.setOpacity(look.shadowOpacity);
        painter.drawImage(QPointF(0, 2), hovering_ ? deep : soft);
        painter.setOpacity(1);
        painter.drawImage(QRectF(kIconRoom, kIconRoom, kIconSide, kIconSide), appIcon());
    }

private:
    void setHovering(bool hovering) {
        if (hovering == hovering_)
            return;
        hovering_ = hovering;
        const double target = KTDragCompanionCard::iconLook(hovering, reduceMotion_).scale;
        growth_.stop();
        if (Rendering::isStatic() || target == scale_) {
            scale_ = target;
            update();
            return;
        }
        growth_.setStartValue(scale_);
        growth_.setEndValue(target);
        growth_.start();
        update();
    }

    bool reduceMotion_;
    bool hovering_ = false;
    double scale_ = 1;
    QVariantAnimation growth_;
};

KTDragCompanionCard::IconLook KTDragCompanionCard::iconLook(bool hovering, bool reduceMotion) {
    if (!hovering)
        return {};
    return {.scale = reduceMotion ? 1.0 : 1.06, .shadowOpacity = 0.22, .shadowRadius = 8};
}

QString KTDragCompanionCard::title(const Content& content) {
    if (content.mode == KTDragCompanionMode::notInList)
        return "Don\u2019t see " + content.appName + " in " + content.paneName + "?";
    return "Add " + content.appName + " to the " + content.paneName + " list";
}

QString KTDragCompanionCard::sentence(const QString& appName) {
    return "Drag this icon into the list, or click + under it and choose " + appName + ". Then switch it on.";
}

QString KTDragCompanionCard::iconToolTip(const QString& appName) {
    return "Drag " + appName + " into the list in System Settings";
}

QString KTDragCompanionCard::iconHint(const QString& appName) {
    return "Drag into the System Settings list to add " + appName +
           ". Or use the plus button below that list and choose " + appName + ".";
}

KTDragCompanionCard::KTDragCompanionCard(const KTWizardBrand& brand, Content content,
                                         std::function<void()> onClose, QWidget* parent)
    : QWidget(parent),
      brand_(brand),
      dark_(Scheme::systemIsDark()),
      icon_(new KTDragCompanionIcon(content.appName, this)),
      title_(makeLabel(title(content), {.pixels = 13, .weight = QFont::DemiBold}, this)),
      sentence_(makeLabel(sentence(content.appName), {.pixels = 11.5}, this)),
      reveal_(new TextButton(
          QStringLiteral("Show in Finder"), {.pixels = 11, .weight = QFont::Medium},
          [] { FileViewer::current().reveal(AppBundle::current().bundlePath()); }, this)) {
    setFixedWidth(int(KTDragCompanion::size.width()));
    QFont underlined = reveal_->font();
    underlined.setUnderline(true);
    reveal_->setFont(underlined);

    auto* close = new CloseButton(this);
    QObject::connect(close, &QAbstractButton::clicked, this, [onClose = std::move(onClose)] {
        if (onClose)
            onClose();
    });
    close_ = close;

    auto* texts = new QVBoxLayout;
    texts->setSpacing(5);
    texts->setContentsMargins(0, kIconRoom, 0, kIconRoom);
    texts->addWidget(title_);
    texts->addWidget(sentence_);
    texts->addWidget(reveal_, 0, Qt::AlignLeft);
    texts->addStretch(1);
    auto* row = new QHBoxLayout(this);
    row->setSpacing(14 - kIconRoom);
    row->setContentsMargins(16 - kIconRoom, 14 - kIconRoom, 30, 14 - kIconRoom);
    row->addWidget(icon_, 0, Qt::AlignTop);
    row->addLayout(texts, 1);

    new SchemeWatch(
        [this] {
            if (!forced_ && dark_ != Scheme::systemIsDark()) {
                dark_ = Scheme::systemIsDark();
                applyScheme();
            }
        },
        this);
    applyScheme();
    resize(fittingSize());
}

void KTDragCompanionCard::forceScheme(bool dark) {
    forced_ = true;
    dark_ = dark;
    applyScheme();
}

void KTDragCompanionCard::setSeeThroughCorners(bool seeThrough) {
    seeThroughCorners_ = seeThrough;
    update();
}

QSize KTDragCompanionCard::fittingSize() const {
    const QSizeF base = KTDragCompanion::size;
    const int width = int(base.width());
    return {width, std::max(int(base.height()), layout()->totalHeightForWidth(width))};
}

bool KTDragCompanionCard::isIconHovered() const {
    return icon_->isHovering();
}

void KTDragCompanionCard::applyScheme() {
    const KTResolvedBrand colours = resolved();
    setTextColour(title_, colours.ink);
    setTextColour(sentence_, colours.inkMuted);
    setTextColour(reveal_, colours.accentText);
    static_cast<CloseButton*>(close_)->colour = colours.inkMuted;
    update();
    close_->update();
}

void KTDragCompanionCard::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    close_->move(width() - kClosePadding - kCloseSide, kClosePadding);
    close_->raise();
}

void KTDragCompanionCard::paintEvent(QPaintEvent*) {
    const KTResolvedBrand colours = resolved();
    const QColor fill = colours.ground.value_or(QGuiApplication::palette().color(QPalette::Window));
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!seeThroughCorners_)
        painter.fillRect(rect(), fill);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, fill);
    QColor line = colours.accentText;
    line.setAlphaF(line.alphaF() * 0.35f);
    // The stroke lies inside the edge.
    QPainterPath edge;
    edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5,
                        kCornerRadius - 0.5);
    painter.setPen(QPen(line, 1));
    painter.drawPath(edge);
}

}  // namespace rk
