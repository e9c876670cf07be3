#include "cli/Probe.h"

#include <QFileInfo>
#include <QRectF>
#include <QSet>
#include <cmath>
#include <memory>
#include <mutex>

#include "cli/TextForms.h"
#include "finder/BackgroundStore.h"
#include "finder/Decide.h"
#include "finder/IconCheck.h"
#include "finder/LaunchdScan.h"
#include "finder/MarkPainter.h"
#include "finder/SettingsDriver.h"
#include "finder/Sources.h"
#include "finder/TCCStore.h"
#include "platform/Accessibility.h"
#include "platform/Appearance.h"
#include "platform/OutputFolder.h"
#include "platform/ScreenCapture.h"
#include "platform/ToolOutput.h"
#include "ui/OffscreenImage.h"

namespace rk {

namespace {

constexpr int kListedGone = 20;
constexpr int kSectionWidth = 13;
constexpr int kTitleWidth = 34;

void say(const QString& line) {
    printLine(stdout, line);
}

// ---- Lines ----------------------------------------------------------------------

QString windowLine(const SettingsSnapshot& snap) {
    const QString id = snap.windowNumber ? QString::number(*snap.windowNumber) : QStringLiteral("?");
    return QStringLiteral("window: \"") + snap.windowTitle + QStringLiteral("\" frame=") +
           TextForms::rect(snap.windowFrame) + QStringLiteral(" id=") + id;
}

QString rowsLine(const SettingsSnapshot& snap) {
    return QStringLiteral("rows: %1 visible, %2 below the fold; minus buttons: %3; selected: ")
               .arg(snap.rows.size())
               .arg(snap.below.size())
               .arg(snap.minusFrames.size()) +
           TextForms::list(snap.selectedTitles);
}

QString plainRowLine(const PaneRow& row) {
    return QStringLiteral("  ") + rawValue(row.section) + QLatin1Char(' ') + QString::number(row.index) +
           QLatin1Char(' ') + row.title + QLatin1Char(' ') + TextForms::rect(row.frame);
}

QString iconRowLine(const PaneRow& row, const std::optional<IconReading>& reading) {
    return QStringLiteral("  ") + TextForms::padded(rawValue(row.section), kSectionWidth) + QLatin1Char(' ') +
           QStringLiteral("%1").arg(row.index, 2) + QStringLiteral("  ") +
           TextForms::padded(TextForms::cut(row.title, kTitleWidth), kTitleWidth) + QLatin1Char(' ') +
           (reading ? reading->description() : QStringLiteral("icon not read"));
}

QString storeLine(const QList<Candidate>& candidates) {
    QStringList gone;
    qsizetype goneCount = 0;
    for (const Candidate& candidate : candidates) {
        if (!candidate.liveness.isGone())
            continue;
        if (++goneCount <= kListedGone)
            gone << candidate.primaryName() + QStringLiteral(" [") + candidate.liveness.evidence() +
                        QLatin1Char(']');
    }
    return QStringLiteral("store: %1 candidates, %2 gone: ").arg(candidates.size()).arg(goneCount) +
           gone.join(QStringLiteral("; "));
}

QString findingLine(const Finding& finding) {
    return QStringLiteral("finding ") + rawValue(finding.verdict).toUpper() + QLatin1Char(' ') +
           finding.shown + QStringLiteral(" x") + QString::number(finding.count) + QStringLiteral(": ") +
           finding.what;
}

QString markLine(const Mark& mark) {
    return QStringLiteral("mark ") + rawValue(mark.kind) + QLatin1Char(' ') + rawValue(mark.row.section) +
           QLatin1Char('#') + QString::number(mark.row.index) + QLatin1Char(' ') + mark.row.title;
}

// ---- The photo ------------------------------------------------------------------

// `photoPath` with `suffix` and ".png" in place of the file name's own ".png".
QString besidePhoto(const QString& photoPath, const QString& suffix) {
    // A path that ends in ".png" has it in its file name, never in a folder's.
    const QString png = QStringLiteral(".png");
    return (photoPath.endsWith(png) ? photoPath.chopped(png.size()) : photoPath) + suffix + png;
}

// The square around the row's icon, twice its side across, in photo pixels
// widened to whole pixels and cut to the photo; none when nothing of it is
// inside the photo.
std::optional<QRect> iconCrop(const QImage& photo, const Rect& window, const PaneRow& row) {
    const double scale = photo.width() / window.width;
    if (!std::isfinite(scale) || scale <= 0)
        return std::nullopt;
    const QPointF centre = IconCheck::iconCenter(row);
    const double side = IconCheck::iconSide(row.section);
    const QRectF square((centre.x() - side - window.x) * scale, (centre.y() - side - window.y) * scale,
                        2 * side * scale, 2 * side * scale);
    // Cut to the photo before widening: the photo's edges are whole pixels,
    // so the result is the same, and no value beyond an int is converted.
    const QRectF inside = square.intersected(QRectF(photo.rect()));
    if (inside.isEmpty())
        return std::nullopt;
    return inside.toAlignedRect();
}

void writeFiles(const QImage& marked, const QImage& photo, const SettingsSnapshot& snap,
                const QList<PaneRow>& rows, const QString& path) {
    Probe::write(marked, path);
    Probe::write(photo, Probe::rawPath(path));
    for (const PaneRow& row : rows) {
        if (const auto crop = iconCrop(photo, snap.windowFrame, row))
            Probe::write(photo.copy(*crop), Probe::iconPath(path, row.section, row.index));
    }
}

// Photographs the window, reads every row's icon into `rows` and prints it,
// and writes the files when a path was given. False when there is no photo.
bool photograph(Pane pane, const SettingsSnapshot& snap, const std::optional<QString>& photoOut,
                QList<PaneRow>& rows, const ProbeWaits& waits) {
    if (!snap.windowNumber)
        return false;
    const auto shot = Probe::blockingCapture(*snap.windowNumber, waits);
    if (!shot)
        return false;
    const QImage& photo = shot.value();

    const bool dark = Appearance::systemIsDark();
    for (PaneRow& row : rows) {
        const auto reading = IconCheck::read(photo, snap.windowFrame, row, dark);
        row.iconBlank = reading ? std::optional<bool>(reading->blank) : std::nullopt;
        say(iconRowLine(row, reading));
    }

    const Decision decision = Decide::page(Probe::candidates(pane), rows, snap.below);
    std::optional<Rect> minus;
    for (const Mark& mark : decision.marks) {
        if (mark.kind == Mark::Kind::remove) {
            minus = SettingsDriver::minus(mark.row, snap);
            break;
        }
    }
    const auto marked = MarkPainter::annotate(photo, snap.windowFrame, decision.marks, minus);
    if (photoOut && marked)
        writeFiles(*marked, photo, snap, rows, *photoOut);
    return true;
}

// What the capture thread hands over. Shared with that thread, so a photo
// that comes after the probe stopped waiting lands here and is dropped.
struct CaptureBox {
    std::mutex mutex;
    std::optional<Result<QImage, WindowShot::Failure>> result;
};

}  // namespace

int Probe::run(Pane pane, const std::optional<QString>& photoOut, const ProbeWaits& waits) {
    if (!Accessibility::current().isProcessTrusted()) {
        say(QStringLiteral("NOT MEASURED: Accessibility is off for this binary"));
        return notMeasuredStatus;
    }
    const std::optional<SettingsSnapshot> snap = SettingsDriver::snapshot(pane);
    if (!snap) {
        say(QStringLiteral("NOT MEASURED: System Settings window not readable"));
        return notMeasuredStatus;
    }
    say(windowLine(*snap));
    say(rowsLine(*snap));

    QList<PaneRow> rows = snap->rows;
    if (photoOut || ScreenCapture::current().preflight()) {
        if (!photograph(pane, *snap, photoOut, rows, waits))
            say(QStringLiteral("photo: NOT MEASURED (Screen Recording off or capture failed)"));
    } else {
        for (const PaneRow& row : rows)
            say(plainRowLine(row));
    }

    const QList<Candidate> found = candidates(pane);
    say(storeLine(found));
    const Decision decision = Decide::page(found, rows, snap->below);
    for (const Finding& finding : decision.findings)
        say(findingLine(finding));
    for (const Mark& mark : decision.marks)
        say(markLine(mark));
    return measuredStatus;
}

Result<QImage, WindowShot::Failure> Probe::blockingCapture(qint64 windowNumber, const ProbeWaits& waits) {
    auto box = std::make_shared<CaptureBox>();
    ScreenCapture* capture = &ScreenCapture::current();
    waits.start([box, capture, windowNumber] {
        auto result = WindowShot::capture(windowNumber, *capture);
        std::lock_guard lock(box->mutex);
        box->result = std::move(result);
    });
    for (double waited = 0;; waited += ProbeWaits::captureSlice) {
        {
            std::lock_guard lock(box->mutex);
            if (box->result)
                return *box->result;
        }
        if (!(waited < waits.deadline))
            return fail(WindowShot::Failure::failed(QStringLiteral("timeout")));
        waits.pump(ProbeWaits::captureSlice);
    }
}

QList<Candidate> Probe::candidates(Pane pane) {
    switch (pane) {
        case Pane::accessibility:
            if (const auto rows = TCCStore::read(QSet<QString>{QStringLiteral("kTCCServiceAccessibility")}))
                return Sources::accessibility(rows.value());
            break;
        case Pane::loginItems:
            if (const auto store = BackgroundStore::read())
                return Sources::loginItems(BackgroundStore::mine(store->records), LaunchdScan::scan());
            break;
    }
    say(QStringLiteral("store: NOT MEASURED (Full Disk Access off or unreadable)"));
    return {};
}

void Probe::write(const QImage& image, const QString& path) {
    // The path is the person's, possibly in a folder others can write: the
    // file goes through the folder's checks and never through a link.
    const QFileInfo file(path);
    const std::optional<QByteArray> png = OffscreenImage::png(image);
    const auto written = png ? OutputFolder(file.absolutePath()).write(file.fileName(), *png)
                             : Result<Unit, QString>(fail(QStringLiteral("the image could not be encoded")));
    if (!written)
        say(QStringLiteral("photo: could not write ") + path + QStringLiteral(": ") + written.error());
}

QString Probe::rawPath(const QString& photoPath) {
    return besidePhoto(photoPath, QStringLiteral("-raw"));
}

QString Probe::iconPath(const QString& photoPath, PaneSection section, int index) {
    return besidePhoto(
        photoPath, QStringLiteral("-icon-") + rawValue(section) + QLatin1Char('-') + QString::number(index));
}

}  // namespace rk
