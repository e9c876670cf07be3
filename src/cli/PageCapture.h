#pragma once
// The page capture ("--capture-pages DIR [--marketing]"): every page of the
// main window, one per step, drawn from fixed sample data once in the light
// and once in the dark scheme into PNG files ("start-light.png" ...
// "done-dark.png"), for reviews of the pages and, with the marketing
// switch, pictures with the demo data's realistic-looking names.
//
// No window is shown and nothing of the machine is read: the pages are laid
// out off screen, the sample data stands in for the stores and for System
// Settings, and each page takes its scheme from the frame it is drawn in,
// never from the desktop. The model's scan loop is never started; the
// explanations it starts on the demo Login Items page run as in the live
// window (the person's AI answer included), to their end before the page is
// drawn.
//
// Runs on the main thread of a QApplication; it turns the event loop itself
// for a moment per page, so work the pages post to themselves is done before
// they are measured. It changes the model in place and leaves it so.

#include <QString>
#include <QTextStream>
#include <QWidget>

#include "app/model/Step.h"

namespace rk {

class AppModel;

// The view drawn for each page: the step's page in a 600-point column with an
// 18-point margin, on the scheme's window colour, as tall as it needs.
class CaptureFrame : public QWidget {
public:
    CaptureFrame(AppModel& m, bool dark, QWidget* parent = nullptr);
    bool dark() const { return dark_; }

private:
    bool dark_;
};

struct PageCapture {
    static constexpr int width = 600;
    static constexpr int minHeight = 120;
    static constexpr int maxHeight = 2400;

    // Draws every page into `outDir` (made when missing; see OutputFolder for
    // the folders and files it refuses) and prints "captured N pages to DIR".
    // N counts only pages whose file was written; each file not written is
    // named on standard error with the reason. 0 when all ten were, else 1.
    static int run(const QString& outDir, bool marketing);
    // The same on `m`, printing to `out` and `err`.
    static int run(const QString& outDir, bool marketing, AppModel& m, QTextStream& out, QTextStream& err);

    // Puts `m` on `step` as the demo window shows it, with the sample data of
    // its System Settings page; the explanations the model runs on entering
    // the page have finished, as they have in the live window after a moment.
    static void show(AppModel& m, Step step);
    // "<raw value of the step>-light.png" or "-dark.png".
    static QString fileName(Step step, bool dark);
};

}  // namespace rk
