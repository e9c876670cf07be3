#include "support/SimulatedPhoto.h"

#include <QFont>
#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>

#include "platform/IconArt.h"

namespace rk::test {

namespace {

struct Colours {
    QColor window, box, border, text, secondaryText, off, selection;
};

Colours colours(bool dark) {
    // The list boxes are the appearance's own background grey, the one the
    // icon templates are drawn on.
    if (dark) {
        return {QColor(30, 30, 30),    IconArt::background(true), QColor(58, 58, 60), QColor(235, 235, 235),
                QColor(150, 150, 155), QColor(60, 60, 62),        QColor(64, 64, 68)};
    }
    return {QColor(232, 232, 232), IconArt::background(false), QColor(210, 210, 210), QColor(28, 28, 30),
            QColor(120, 120, 126), QColor(220, 220, 222),      QColor(218, 218, 222)};
}

QFont pixelFont(int pixels, QFont::Weight weight = QFont::Normal) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

struct Painter {
    QPainter& p;
    const SimulatedLayout& layout;
    const Colours& c;

    QRectF local(const Rect& screen) const {
        return QRectF(screen.x - layout.window.x, screen.y - layout.window.y, screen.width, screen.height);
    }

    void colourfulIcon(const QRectF& square, const QString& title) const {
        const int hue = static_cast<int>(qHash(title) % 360);
        QLinearGradient fill(square.topLeft(), square.bottomRight());
        fill.setColorAt(0, QColor::fromHsv(hue, 220, 240));
        fill.setColorAt(1, QColor::fromHsv((hue + 50) % 360, 240, 200));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(square, square.width() * 0.22, square.height() * 0.22);
        p.setPen(QPen(Qt::white, square.width() * 0.1));
        p.setBrush(Qt::NoBrush);
        const double inset = square.width() * 0.3;
        p.drawEllipse(square.adjusted(inset, inset, -inset, -inset));
    }

    void icon(const SimulatedLayoutRow& row) const {
        const QRectF square = local(row.iconFrame);
        switch (row.icon) {
            case SimulatedIcon::blankDocument:
                IconArt::paint(p, square, GenericIcon::document);
                break;
            case SimulatedIcon::genericApplication:
                IconArt::paint(p, square, GenericIcon::application);
                break;
            case SimulatedIcon::colourful:
                colourfulIcon(square, row.title);
                break;
        }
    }

    void toggle(const QRectF& capsule, bool on) const {
        p.setPen(Qt::NoPen);
        p.setBrush(on ? QColor(52, 120, 246) : c.off);
        const double radius = capsule.height() / 2;
        p.drawRoundedRect(capsule, radius, radius);
        p.setBrush(Qt::white);
        const double knob = capsule.height() - 2;
        const double left = on ? capsule.right() - 1 - knob : capsule.left() + 1;
        p.drawEllipse(QRectF(left, capsule.top() + 1, knob, knob));
    }

    void text(const QRectF& box, const QString& words, const QFont& font, const QColor& colour) const {
        p.setPen(colour);
        p.setFont(font);
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, words);
    }

    void rows() const {
        for (const PaneSection section :
             {PaneSection::accessibility, PaneSection::openAtLogin, PaneSection::background}) {
            QRectF box;
            for (const auto& row : layout.rows) {
                if (row.section == section)
                    box = box.united(local(row.frame));
            }
            if (!box.isEmpty()) {
                p.setPen(QPen(c.border, 1));
                p.setBrush(c.box);
                p.drawRoundedRect(box, 8, 8);
            }
        }
        for (const SimulatedLayoutRow& row : layout.rows) {
            const QRectF frame = local(row.frame);
            if (row.selected) {
                // System Settings is not the key window while the person reads
                // our app, so its selection shows in the quiet grey.
                p.fillRect(frame.adjusted(4, 2, -4, -2), c.selection);
            }
            icon(row);
            text(local(row.titleFrame), row.title, pixelFont(13), c.text);
            if (row.detailFrame)
                text(local(*row.detailFrame), row.detail, pixelFont(11), c.secondaryText);
            if (row.switchFrame)
                toggle(local(*row.switchFrame), row.switchOn);
        }
    }

    // The page's headings and lists; the window's chrome is left plain.
    void paint() const {
        if (layout.content.width > 0 && layout.content.height > 0)
            p.setClipRect(local(layout.content));
        for (const SimulatedText& words : layout.texts)
            text(local(words.frame), words.text, pixelFont(13, QFont::DemiBold), c.text);
        rows();
    }
};

// The window of the layout painted at the given pixel size; null when
// the size or the window is empty.
QImage render(const SimulatedLayout& layout, QSize pixels, bool dark) {
    if (pixels.isEmpty() || !(layout.window.width > 0) || !(layout.window.height > 0))
        return {};
    QImage photo(pixels, QImage::Format_ARGB32_Premultiplied);
    if (photo.isNull())
        return {};
    const Colours c = colours(dark);
    photo.fill(c.window);
    QPainter p(&photo);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(pixels.width() / layout.window.width, pixels.height() / layout.window.height);
    Painter{p, layout, c}.paint();
    p.end();
    return photo;
}

}  // namespace

void SimulatedPhoto::attach(SimulatedSettings& settings, double scale, bool dark) {
    settings_ = &settings;
    settingsScale_ = scale;
    settingsDark_ = dark;
}

std::vector<SimulatedWindow> SimulatedPhoto::allWindows() const {
    std::vector<SimulatedWindow> all;
    if (settings_) {
        // A System Settings without a window has nothing to photograph.
        SimulatedLayout layout = settings_->layout();
        if (layout.page != SimulatedPage::none) {
            all.push_back(
                SimulatedWindow{settings_->windowNumber(), settingsScale_, settingsDark_, std::move(layout)});
        }
    }
    all.insert(all.end(), windows.begin(), windows.end());
    return all;
}

Result<std::vector<ShareableWindow>, QString> SimulatedPhoto::shareableWindows() {
    if (listingError)
        return fail(*listingError);
    std::vector<ShareableWindow> list;
    for (const auto& w : allWindows())
        list.push_back(ShareableWindow{w.number, w.layout.window, w.scale});
    return list;
}

Result<QImage, QString> SimulatedPhoto::captureWindow(const ShareableWindow& window, QSize pixels) {
    ++captureRequests;
    if (captureError)
        return fail(*captureError);
    for (const auto& w : allWindows()) {
        if (w.number == window.windowID) {
            QImage photo = render(w.layout, pixels, w.dark);
            if (photo.isNull())
                return fail(QStringLiteral("the simulated window cannot be drawn at that size"));
            return photo;
        }
    }
    return fail(QStringLiteral("the window is no longer on screen"));
}

}  // namespace rk::test
