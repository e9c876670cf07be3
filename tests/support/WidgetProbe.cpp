#include "support/WidgetProbe.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMouseEvent>

namespace rk::test {

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

QWidget* buttonTitled(const QWidget* root, const QString& title) {
    for (QAbstractButton* button : visibleChildren<QAbstractButton>(root))
        if (button->text() == title)
            return button;
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
