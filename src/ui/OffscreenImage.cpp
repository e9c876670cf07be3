#include "ui/OffscreenImage.h"

#include <QBuffer>
#include <QEventLoop>
#include <QTimer>

namespace rk {

void OffscreenImage::showOffscreen(QWidget& widget) {
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.show();
}

void OffscreenImage::settle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

std::optional<QImage> OffscreenImage::draw(QWidget& widget, const QColor& ground) {
    const qreal scale = widget.devicePixelRatioF();
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.setDevicePixelRatio(scale);
    image.fill(ground);
    widget.render(&image);
    return image;
}

std::optional<QByteArray> OffscreenImage::png(const QImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return std::nullopt;
    return data;
}

}  // namespace rk
