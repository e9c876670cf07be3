// The blank-icon test runs over every row of a page on each photo; this
// measures one photo's worth: twenty rows read from a window photographed at
// scale 2 (target: at most 10 ms per photo).

#include <benchmark/benchmark.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include "finder/IconCheck.h"
#include "platform/IconArt.h"

namespace {

constexpr int kRows = 20;
constexpr double kScale = 2;
const rk::Rect kWindow{100, 50, 715, 1000};

std::vector<rk::PaneRow> rows() {
    std::vector<rk::PaneRow> list;
    for (int i = 0; i < kRows; ++i) {
        rk::PaneRow row;
        row.section = rk::PaneSection::accessibility;
        row.title = QStringLiteral("Row %1").arg(i);
        row.frame = rk::Rect{kWindow.x + 235, kWindow.y + 120 + i * 40.0, 440, 40};
        row.index = i;
        row.selectable = true;
        list.push_back(row);
    }
    return list;
}

// Every third row shows the blank document, the others a colourful icon.
QImage photo(const std::vector<rk::PaneRow>& list) {
    QImage image(static_cast<int>(kWindow.width * kScale), static_cast<int>(kWindow.height * kScale),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(rk::IconArt::background(false));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kScale, kScale);
    for (const auto& row : list) {
        const QPointF centre = rk::IconCheck::iconCenter(row) - QPointF(kWindow.x, kWindow.y);
        const QRectF square(centre.x() - 8, centre.y() - 8, 16, 16);
        if (row.index % 3 == 0) {
            rk::IconArt::paint(painter, square, rk::GenericIcon::document);
        } else {
            QLinearGradient fill(square.topLeft(), square.bottomRight());
            fill.setColorAt(0, QColor::fromHsv(row.index * 17 % 360, 220, 240));
            fill.setColorAt(1, QColor::fromHsv(row.index * 17 % 360, 240, 180));
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawRoundedRect(square, 3.5, 3.5);
        }
    }
    painter.end();
    return image;
}

void BM_IconCheckReadPhoto(benchmark::State& state) {
    const auto list = rows();
    const QImage image = photo(list);
    // Templates are drawn once per process; leave that out of the figure.
    for (const auto& row : list) {
        benchmark::DoNotOptimize(rk::IconCheck::read(image, kWindow, row, false));
    }
    int blank = 0;
    for (auto _ : state) {
        blank = 0;
        for (const auto& row : list) {
            const auto reading = rk::IconCheck::read(image, kWindow, row, false);
            blank += reading && reading->blank ? 1 : 0;
            benchmark::DoNotOptimize(reading);
        }
    }
    if (blank != (kRows + 2) / 3) {
        state.SkipWithError("the blank rows were not all read as blank");
    }
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_IconCheckReadPhoto)->Unit(benchmark::kMillisecond);

}  // namespace
