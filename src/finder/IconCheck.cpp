#include "finder/IconCheck.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <mutex>
#include <system_error>

#include "platform/SystemIcons.h"

namespace rk {

namespace {

// The verdict's thresholds.
constexpr double kDocumentLikeness = 0.65;
constexpr double kColourless = 30;
constexpr double kMarginOverApplication = 0.15;

// A spread or norm at or below this is treated as flat.
constexpr double kFlat = 1e-6;

// An 8-bit grey level from premultiplied colour, that is, composited over
// black: a surface without alpha starts out black.
inline double greyLevel(QRgb premultiplied) {
    const int r = qRed(premultiplied), g = qGreen(premultiplied), b = qBlue(premultiplied);
    return static_cast<double>((299 * r + 587 * g + 114 * b + 500) / 1000);
}

// Running sums over the image: entry (y, x) of a (width + 1) x (height + 1)
// table holds the sum of all values above and left of (y, x).
struct SummedArea {
    int stride = 0;
    std::vector<double> sum;
    std::vector<double> squares;

    SummedArea(const std::vector<double>& image, int width, int height)
        : stride(width + 1), sum(static_cast<size_t>(stride) * (height + 1), 0.0), squares(sum.size(), 0.0) {
        for (int y = 0; y < height; ++y) {
            double rowSum = 0, rowSquares = 0;
            for (int x = 0; x < width; ++x) {
                const double v = image[static_cast<size_t>(y) * width + x];
                rowSum += v;
                rowSquares += v * v;
                const size_t at = static_cast<size_t>(y + 1) * stride + (x + 1);
                sum[at] = sum[at - stride] + rowSum;
                squares[at] = squares[at - stride] + rowSquares;
            }
        }
    }

    static double box(const std::vector<double>& table, int stride, int x, int y, int side) {
        const size_t top = static_cast<size_t>(y) * stride, bottom = static_cast<size_t>(y + side) * stride;
        return table[bottom + x + side] - table[bottom + x] - table[top + x + side] + table[top + x];
    }
};

// A template with its mean taken out, and the norm of what is left.
struct CentredTemplate {
    std::vector<double> values;
    double norm = 0;
};

// None when the template does not hold side x side values or is flat.
std::optional<CentredTemplate> centred(const std::vector<double>& tmpl, int side) {
    if (side <= 0 || tmpl.size() != static_cast<size_t>(side) * static_cast<size_t>(side)) {
        return std::nullopt;
    }
    double mean = 0;
    for (const double v : tmpl) {
        mean += v;
    }
    mean /= static_cast<double>(tmpl.size());
    CentredTemplate out;
    out.values.reserve(tmpl.size());
    double squares = 0;
    for (const double v : tmpl) {
        out.values.push_back(v - mean);
        squares += out.values.back() * out.values.back();
    }
    out.norm = std::sqrt(squares);
    if (out.norm <= kFlat) {
        return std::nullopt;
    }
    return out;
}

// The sums of products of `Count` centred templates with the image for `Run`
// neighbouring placements starting at column `x` of one placement row
// (`rows` points at that row's first image line). The running totals stay in
// registers while the templates are walked once, and each image value loaded
// serves every template; each placement still adds its products in row-major
// template order.
template <int Run, int Count>
void correlateRun(const double* rows, int width, const std::array<const double*, Count>& tmpls, int side,
                  int x, std::array<double*, Count>& out) {
    double totals[Count][Run] = {};
    for (int ty = 0; ty < side; ++ty) {
        const double* line = rows + static_cast<size_t>(ty) * width + x;
        const size_t at = static_cast<size_t>(ty) * side;
        for (int tx = 0; tx < side; ++tx) {
            for (int c = 0; c < Count; ++c) {
                const double t = tmpls[c][at + tx];
                for (int k = 0; k < Run; ++k) {
                    totals[c][k] += t * line[tx + k];
                }
            }
        }
    }
    for (int c = 0; c < Count; ++c) {
        for (int k = 0; k < Run; ++k) {
            out[c][x + k] = totals[c][k];
        }
    }
}

// The best correlation of each of `Count` usable templates of one side over
// all placements in the image, which must be at least that side each way.
template <int Count>
std::array<double, Count> bestCorrelations(const std::vector<double>& image, int width, int height,
                                           const std::array<const CentredTemplate*, Count>& tmpls, int side) {
    const double count = static_cast<double>(side) * side;
    const SummedArea area(image, width, height);
    const int placesX = width - side + 1, placesY = height - side + 1;
    std::array<const double*, Count> values;
    std::array<std::vector<double>, Count> products;
    std::array<double*, Count> out;
    std::array<double, Count> best;
    for (int c = 0; c < Count; ++c) {
        values[c] = tmpls[c]->values.data();
        products[c].resize(static_cast<size_t>(placesX));
        out[c] = products[c].data();
        best[c] = -1;
    }
    for (int y = 0; y < placesY; ++y) {
        const double* rows = image.data() + static_cast<size_t>(y) * width;
        int x = 0;
        for (; x + 8 <= placesX; x += 8) {
            correlateRun<8, Count>(rows, width, values, side, x, out);
        }
        for (; x + 4 <= placesX; x += 4) {
            correlateRun<4, Count>(rows, width, values, side, x, out);
        }
        for (; x < placesX; ++x) {
            correlateRun<1, Count>(rows, width, values, side, x, out);
        }
        for (x = 0; x < placesX; ++x) {
            const double sum = SummedArea::box(area.sum, area.stride, x, y, side);
            const double squares = SummedArea::box(area.squares, area.stride, x, y, side);
            const double spread = squares - sum * sum / count;
            if (spread > kFlat) {
                const double root = std::sqrt(spread);
                for (int c = 0; c < Count; ++c) {
                    best[c] =
                        std::max(best[c], products[c][static_cast<size_t>(x)] / (tmpls[c]->norm * root));
                }
            }
        }
    }
    return best;
}

bool fits(const std::vector<double>& image, int width, int height, int side) {
    return side > 0 && width >= side && height >= side &&
           image.size() == static_cast<size_t>(width) * static_cast<size_t>(height);
}

// The document's and the application's best correlations at one side, in
// one pass over the image when both templates can be used.
std::pair<double, double> bestPair(const std::vector<double>& image, int width, int height,
                                   const IconCheck::Templates& pair, int side) {
    if (pair.size() != 2 || !fits(image, width, height, side)) {
        return {-1, -1};
    }
    const auto document = centred(pair[0], side);
    const auto application = centred(pair[1], side);
    if (document && application) {
        const auto both = bestCorrelations<2>(image, width, height, {&*document, &*application}, side);
        return {both[0], both[1]};
    }
    const double doc = document ? bestCorrelations<1>(image, width, height, {&*document}, side)[0] : -1;
    const double app = application ? bestCorrelations<1>(image, width, height, {&*application}, side)[0] : -1;
    return {doc, app};
}

}  // namespace

QString IconReading::fixed(double value, int decimals) {
    // std::to_chars never reads the locale: Qt sets the numeric locale from
    // the environment, where printf would write "0,91" under German settings.
    char text[512];  // room for the largest double in fixed notation
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error != std::errc())
        return QString();
    return QString::fromLatin1(text, end - text);
}

QString IconReading::description() const {
    return QStringLiteral("bright=") + fixed(brightness, 0) + QStringLiteral(" sat=") + fixed(saturation, 0) +
           QStringLiteral(" doc=") + fixed(baselineDiff, 2) + QStringLiteral(" app=") + fixed(appDiff, 2) +
           QStringLiteral(" blank=") + (blank ? QStringLiteral("yes") : QStringLiteral("no"));
}

QPointF IconCheck::iconCenter(const PaneRow& row) {
    const Rect& f = row.frame;
    if (row.section == PaneSection::background) {
        // The switch rows put a larger icon 44 - 26 points in and 6 + 13 down.
        return QPointF(f.x + 18, f.y + 19);
    }
    return QPointF(f.x + 20, f.y + f.height / 2);
}

double IconCheck::iconSide(PaneSection section) {
    return section == PaneSection::background ? 26 : 16;
}

std::optional<QRect> IconCheck::cropRect(QSize photo, const Rect& windowFrame, const PaneRow& row) {
    // A photo or window without width would give an infinite or undefined
    // scale, and pixel edges from it cannot be made.
    if (photo.width() <= 0 || photo.height() <= 0 || !(windowFrame.width > 0)) {
        return std::nullopt;
    }
    const double scale = photo.width() / windowFrame.width;
    const QPointF centre = iconCenter(row);
    const double crop = cropSide(row.section);
    const double left = (centre.x() - crop / 2 - windowFrame.x) * scale;
    const double top = (centre.y() - crop / 2 - windowFrame.y) * scale;
    const double side = crop * scale;
    const double x0 = std::floor(left), y0 = std::floor(top);
    const double x1 = std::ceil(left + side), y1 = std::ceil(top + side);
    // Written so that NaN fails too, and before any conversion to int.
    if (!(x0 >= 0 && y0 >= 0 && x1 <= photo.width() && y1 <= photo.height() && x1 > x0 && y1 > y0)) {
        return std::nullopt;
    }
    return QRect(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                 static_cast<int>(y1 - y0));
}

bool IconCheck::looksBlank(double baselineDiff, double appDiff, double saturation) {
    return baselineDiff > kDocumentLikeness && saturation < kColourless &&
           baselineDiff > appDiff + kMarginOverApplication;
}

std::optional<IconReading> IconCheck::read(const QImage& photo, const Rect& windowFrame, const PaneRow& row,
                                           bool dark) {
    const auto rect = cropRect(photo.size(), windowFrame, row);
    if (!rect) {
        return std::nullopt;
    }
    const QImage crop = photo.copy(*rect);
    if (crop.isNull()) {
        return std::nullopt;
    }
    // Correlate at twice the crop side in points whatever the screen's
    // scale, so one set of templates serves every display.
    const int side = static_cast<int>(iconSide(row.section));
    const auto grey = grayPixels(crop, 2 * (side + 10));
    if (!grey) {
        return std::nullopt;
    }
    IconReading reading;
    std::tie(reading.brightness, reading.saturation) = saturation(crop);
    for (const int pixels : {2 * (side - 2), 2 * side, 2 * (side + 2)}) {
        const auto [document, application] =
            bestPair(grey->values, grey->width, grey->height, templates(pixels, dark), pixels);
        reading.baselineDiff = std::max(reading.baselineDiff, document);
        reading.appDiff = std::max(reading.appDiff, application);
    }
    reading.blank = looksBlank(reading.baselineDiff, reading.appDiff, reading.saturation);
    return reading;
}

const IconCheck::Templates& IconCheck::templates(int pixels, bool dark) {
    // Entries are never removed, and std::map never moves a node, so a
    // reference handed out stays valid while other threads add entries.
    static std::mutex guard;
    static std::map<QString, Templates> cache;

    const QString key = QString::number(pixels) + QLatin1Char('|') + (dark ? "true" : "false");
    std::lock_guard lock(guard);
    const auto found = cache.find(key);
    if (found != cache.end()) {
        return found->second;
    }
    Templates pair;
    for (const GenericIcon icon : {GenericIcon::document, GenericIcon::application}) {
        const auto grey = grayPixels(SystemIcons::current().generic(icon, pixels, dark));
        pair.push_back(grey ? grey->values : std::vector<double>{});
    }
    return cache.emplace(key, std::move(pair)).first->second;
}

std::optional<GrayPixels> IconCheck::grayPixels(const QImage& image, std::optional<int> size) {
    if (image.isNull() || (size && *size <= 0)) {
        return std::nullopt;
    }
    QImage surface = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (size) {
        surface = surface.scaled(*size, *size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (surface.isNull()) {
        return std::nullopt;
    }
    GrayPixels grey;
    grey.width = surface.width();
    grey.height = surface.height();
    grey.values.reserve(static_cast<size_t>(grey.width) * grey.height);
    for (int y = 0; y < grey.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(surface.constScanLine(y));
        for (int x = 0; x < grey.width; ++x) {
            grey.values.push_back(greyLevel(line[x]));
        }
    }
    return grey;
}

std::pair<double, double> IconCheck::saturation(const QImage& image) {
    const QImage surface = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (surface.isNull() || surface.width() == 0 || surface.height() == 0) {
        return {0.0, 0.0};
    }
    double brightness = 0, saturation = 0;
    for (int y = 0; y < surface.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(surface.constScanLine(y));
        for (int x = 0; x < surface.width(); ++x) {
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            brightness += (r + g + b) / 3.0;
            saturation += std::max({r, g, b}) - std::min({r, g, b});
        }
    }
    const double count = static_cast<double>(surface.width()) * surface.height();
    return {brightness / count, saturation / count};
}

double IconCheck::bestNCC(const std::vector<double>& image, int width, int height,
                          const std::vector<double>& tmpl, int side) {
    if (!fits(image, width, height, side)) {
        return -1;
    }
    const auto centredTemplate = centred(tmpl, side);
    if (!centredTemplate) {
        return -1;
    }
    return bestCorrelations<1>(image, width, height, {&*centredTemplate}, side)[0];
}

}  // namespace rk
