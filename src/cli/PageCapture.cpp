#include "cli/PageCapture.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/model/AppModel.h"
#include "app/model/Fixtures.h"
#include "explain/Explainer.h"
#include "finder/Decide.h"
#include "movein/MoveInPage.h"
#include "platform/OutputFolder.h"
#include "ui/OffscreenImage.h"
#include "ui/Palette.h"
#include "ui/Rendering.h"
#include "ui/RootView.h"

namespace rk {

namespace {

// The time the pages get to finish what they posted before they are measured.
constexpr int kSettleMs = 300;

void fillSampleMachine(AppModel& m) {
    m.setDemo(true);
    const QString label = Fixtures::t(Fixtures::updaterID());
    m.setJobs({LaunchJob{
        .plist = "/Library/LaunchAgents/" + label + ".plist",
        .label = label,
        .program = Fixtures::t(QStringLiteral("/Applications/TEST Gone.app/Contents/MacOS/updater")),
        .scope = QStringLiteral("all users (agent)"),
    }});
    m.setGrants(Grants{.fullDisk = true, .accessibility = true, .screen = true});
    m.setMacName(Fixtures::t(QStringLiteral("TEST Sample Mac")));
    m.setMacModel(QStringLiteral("MacBook Air"));
}

// Runs each explanation run that the model starts at once, to its end, on
// the calling thread: a page then shows the outcome of its explanations as
// the live window does once its run is over, never a run still under way.
class RunAtOnce final : public ExplainDispatch {
public:
    RunAtOnce() : earlier_(&ExplainDispatch::current()) { ExplainDispatch::setCurrent(this); }
    ~RunAtOnce() override {
        ExplainDispatch::setCurrent(earlier_ == &ExplainDispatch::threaded() ? nullptr : earlier_);
    }
    RunAtOnce(const RunAtOnce&) = delete;
    RunAtOnce& operator=(const RunAtOnce&) = delete;

    void dispatch(std::function<void()> work, QObject* context, std::function<void()> deliver) override {
        const QPointer<QObject> alive(context);
        work();
        if (alive)
            deliver();
    }

private:
    ExplainDispatch* earlier_;
};

// A System Settings page as the demo shows it: its decision, the guide with
// the first row to remove selected and the marked photo.
void fillSamplePage(AppModel& m, Step step) {
    const Decision decision = Decide::page(Fixtures::candidates(step), Fixtures::rows(step), {});
    m.setDecision(decision);
    QStringList selected;
    const auto first = std::find_if(decision.marks.cbegin(), decision.marks.cend(), [](const Mark& mark) {
        return mark.kind == Mark::Kind::remove && mark.row.selectable;
    });
    if (first != decision.marks.cend())
        selected << first->row.title;
    const auto [phase, banner] = AppModel::guide(decision, selected, {}, {});
    m.setGuide(phase, banner);
    m.setPhoto(Fixtures::photo(step, decision));
}

// The frame drawn off screen at its own height; none when no image can be made.
std::optional<QImage> draw(CaptureFrame& frame) {
    frame.resize(PageCapture::width, 1400);
    OffscreenImage::showOffscreen(frame);
    frame.layout()->activate();
    OffscreenImage::settle(kSettleMs);
    const int fitting =
        frame.hasHeightForWidth() ? frame.heightForWidth(PageCapture::width) : frame.sizeHint().height();
    frame.resize(PageCapture::width, std::clamp(fitting, PageCapture::minHeight, PageCapture::maxHeight));
    frame.layout()->activate();
    return OffscreenImage::draw(frame, Palette::ground(frame.dark()));
}

}  // namespace

CaptureFrame::CaptureFrame(AppModel& m, bool dark, QWidget* parent) : QWidget(parent), dark_(dark) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Palette::ground(dark));
    colours.setColor(QPalette::WindowText, Palette::ink(dark));
    colours.setColor(QPalette::Text, Palette::ink(dark));
    setPalette(colours);
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(14);
    column->setContentsMargins(18, 18, 18, 18);
    // The capture sets the frame's size itself: no size limits on the window.
    column->setSizeConstraint(QLayout::SetNoConstraint);
    // The Move-In page lives in this layer's reach; the root view only knows
    // it through the factory the window app installs.
    QWidget* page = m.step() == Step::moveIn ? new MoveInPage(m, dark, this)
                                             : RootView::makePage(m, m.step(), dark, this);
    column->addWidget(page);
    column->addStretch(1);
}

void PageCapture::show(AppModel& m, Step step) {
    const RunAtOnce explanations;
    m.go(step);
    if (step.pane())
        fillSamplePage(m, step);
}

QString PageCapture::fileName(Step step, bool dark) {
    return step.rawValue() + (dark ? "-dark.png" : "-light.png");
}

int PageCapture::run(const QString& outDir, bool marketing) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return run(outDir, marketing, AppModel::shared(), out, err);
}

int PageCapture::run(const QString& outDir, bool marketing, AppModel& m, QTextStream& out, QTextStream& err) {
    Fixtures::marketing = marketing;
    // Spinners stand still and nothing animates: the same picture every time.
    const StaticRenderingScope still;
    const OutputFolder folder(outDir);
    fillSampleMachine(m);
    int captured = 0;
    for (const bool dark : {false, true}) {
        for (const Step step : Step::allCases()) {
            show(m, step);
            CaptureFrame frame(m, dark);
            const std::optional<QImage> image = draw(frame);
            const std::optional<QByteArray> png = image ? OffscreenImage::png(*image) : std::nullopt;
            if (!png)
                continue;
            if (const auto written = folder.write(fileName(step, dark), *png); written)
                ++captured;
            else
                err << "capture-pages: could not write " << QDir(outDir).filePath(fileName(step, dark))
                    << ": " << written.error() << Qt::endl;
        }
    }
    out << "captured " << captured << " pages to " << outDir << '\n';
    out.flush();
    return captured == 2 * int(Step::allCases().size()) ? 0 : 1;
}

}  // namespace rk
