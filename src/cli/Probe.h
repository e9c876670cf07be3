#pragma once
// "--probe <page> [--photo <path>]": prints, as plain lines on standard
// output, everything the program sees of one System Settings page at this
// moment: the window, its rows, the icon test of each row, the candidates
// from the stores, the findings and the marks. With a path it also writes
// the marked photo, the raw photo and one crop per row icon as PNG files.
// It reads only: it opens no page, selects no row and writes nothing to
// System Settings. The process entry calls `run` on the main thread and
// exits with its status; the photo is taken on a thread of its own.

#include <QImage>
#include <QList>
#include <QString>
#include <optional>

#include "cli/Pump.h"
#include "finder/Candidate.h"
#include "finder/Decision.h"
#include "finder/Pane.h"
#include "finder/WindowShot.h"
#include "platform/Result.h"

namespace rk {

// How the probe waits for its photo.
struct ProbeWaits {
    // How long the photo may take, counted in time pumped, before the probe
    // goes on without it; a photo that arrives later is dropped.
    static constexpr double captureDeadline = 15;
    // The main thread looks for the photo this often and serves its own
    // work in between.
    static constexpr double captureSlice = 0.05;

    Pump pump = runEventLoop;
    Starter start = startOnOwnThread;  // where the capture runs
    double deadline = captureDeadline;
};

struct Probe {
    static constexpr int measuredStatus = 0;
    static constexpr int notMeasuredStatus = 3;

    // 0 when the page was read (whatever the stores and the photo gave), 3
    // when it was not measured. `photoOut` is the path of the marked photo;
    // the raw photo and the icon crops are named after it.
    static int run(Pane pane, const std::optional<QString>& photoOut, const ProbeWaits& waits = {});

    // The photo of one window, waited for on the calling thread while it
    // keeps serving its event loop; the failure "timeout" once the deadline
    // has passed.
    static Result<QImage, WindowShot::Failure> blockingCapture(qint64 windowNumber,
                                                               const ProbeWaits& waits = {});

    // The page's candidates from its stores. A store that cannot be read
    // prints "store: NOT MEASURED (Full Disk Access off or unreadable)" and
    // gives no candidates.
    static QList<Candidate> candidates(Pane pane);

    // The image as a PNG file at `path`, replaced whole or not at all and
    // never through a link (the folder's checks are OutputFolder's); a file
    // not written is said in a "photo: could not write" line.
    static void write(const QImage& image, const QString& path);

    // The names of the raw photo and of one icon crop beside the marked
    // photo at `photoPath`: a trailing ".png" of the file name becomes
    // "-raw.png" or "-icon-<section>-<index>.png"; without one, these are
    // appended, so no file ever overwrites another.
    static QString rawPath(const QString& photoPath);
    static QString iconPath(const QString& photoPath, PaneSection section, int index);
};

}  // namespace rk
