#pragma once
// The blank-icon test. A System Settings row drawn with the generic blank
// document instead of its program's own icon belongs to a program that is
// gone. The test cuts the row's icon out of the window photo and compares it
// with the workspace's generic document and generic application icons
// (SystemIcons): a row is blank only when it looks clearly like the document,
// clearly more like it than like the application icon, and is nearly
// colourless.

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "finder/Decision.h"
#include "platform/Geometry.h"

namespace rk {

struct IconReading {
    double brightness = 0;     // mean of (red + green + blue) / 3 over the crop, 0 to 255
    double saturation = 0;     // mean of (largest - smallest channel) over the crop, 0 to 255
    double baselineDiff = -1;  // best correlation with the generic document, -1 to 1
    double appDiff = -1;       // best correlation with the generic application, -1 to 1
    bool blank = false;

    // "bright=201 sat=3 doc=0.91 app=0.41 blank=yes", with a decimal point
    // whatever the process's locale.
    QString description() const;
    // `value` with `decimals` digits after a decimal point, rounded as
    // printf's "%.Nf" rounds in the C locale (halves to even: 140.5 gives
    // 140), whatever locale the process runs in.
    static QString fixed(double value, int decimals);

    friend bool operator==(const IconReading&, const IconReading&) = default;
};

// Grey levels (0 to 255) row by row.
struct GrayPixels {
    std::vector<double> values;
    int width = 0;
    int height = 0;
};

struct IconCheck {
    // The grey levels of the document template, then of the application one.
    using Templates = std::vector<std::vector<double>>;

    // The centre of the row's icon, in the same screen points as its frame.
    static QPointF iconCenter(const PaneRow& row);
    // The icon's side in points: 26 for background switches, 16 otherwise.
    static double iconSide(PaneSection section);
    // The side of the square cut around the icon: ten points more.
    static double cropSide(PaneSection section) { return iconSide(section) + 10; }

    // The icon's square in photo pixels, widened outwards to whole pixels;
    // none when any of it falls outside the photo, or when the photo or the
    // window has no width to scale by.
    static std::optional<QRect> cropRect(QSize photo, const Rect& windowFrame, const PaneRow& row);

    // Reads the row's icon from a photo of the window whose frame (screen
    // points) is given; none when the icon cannot be cut out of the photo.
    static std::optional<IconReading> read(const QImage& photo, const Rect& windowFrame, const PaneRow& row,
                                           bool dark);

    // The verdict from the three measures.
    static bool looksBlank(double baselineDiff, double appDiff, double saturation);

    // The two templates of a side in pixels for one appearance, drawn once
    // and kept for the life of the process. Safe to call from any thread; the
    // reference stays valid for the life of the process.
    static const Templates& templates(int pixels, bool dark);

    // The image's grey levels, redrawn first at a square of `size` pixels
    // with smooth scaling when a size is given; transparent pixels count as
    // black. None for a null image or when no surface can be made.
    static std::optional<GrayPixels> grayPixels(const QImage& image, std::optional<int> size = std::nullopt);

    // (brightness, saturation) over every pixel of the image, transparent
    // ones included; both 0 for a null image.
    static std::pair<double, double> saturation(const QImage& image);

    // The best normalised cross-correlation of a square template over all its
    // placements inside the image; -1 when the template does not fit, does
    // not hold side x side values, or is flat.
    static double bestNCC(const std::vector<double>& image, int width, int height,
                          const std::vector<double>& tmpl, int side);
};

}  // namespace rk
