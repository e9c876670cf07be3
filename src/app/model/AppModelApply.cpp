#include "app/model/AppModel.h"

// The half of the scan loop that acts on what a tick brought back: a
// snapshot of System Settings turned into a decision, marks, a selection and
// the guide's sentence, and the photo taken of the page and marked.

#include <algorithm>

#include "app/model/Stats.h"
#include "finder/Decide.h"
#include "finder/IconCheck.h"
#include "finder/MarkPainter.h"
#include "finder/SettingsDriver.h"
#include "finder/WindowShot.h"
#include "platform/AppBundle.h"
#include "platform/Appearance.h"
#include "platform/Workspace.h"

namespace rk {

namespace {

const QString kNotOpen = QStringLiteral("Press Open: I will bring up the page in System Settings.");
const QString kHighlighted = QStringLiteral(
    "Highlighted for you: press the minus (\u2212) button under the list, then confirm with Touch ID or your "
    "password.");
const QString kTurnOff =
    QStringLiteral("Marked in red on the screen: turn off its switch. macOS may ask for your password.");
const QString kClickRow =
    QStringLiteral("Marked in red on the screen: click that row once, then press the minus (\u2212) button.");
const QString kScroll =
    QStringLiteral("Scroll down in System Settings: the next one is further down the list.");
const QString kLookBelow = QStringLiteral("Look for the rows listed below.");
const QString kNothingLeft = QStringLiteral("Nothing left to remove on this page.");

QList<Mark> redMarks(const Decision& decision) {
    QList<Mark> reds;
    for (const Mark& mark : decision.marks) {
        if (mark.kind == Mark::Kind::remove) {
            reds.append(mark);
        }
    }
    return reds;
}

const Mark* firstSelectable(const QList<Mark>& reds) {
    const auto found = std::find_if(reds.begin(), reds.end(), [](const Mark& m) { return m.row.selectable; });
    return found == reds.end() ? nullptr : &*found;
}

std::optional<Rect> minusFor(const QList<Mark>& reds, const SettingsSnapshot& snap) {
    if (reds.isEmpty()) {
        return std::nullopt;
    }
    return SettingsDriver::minus(reds.first().row, snap);
}

// Blank-icon verdicts are kept per page state: the page's fingerprint, the
// row's list and its place in it.
QString iconKey(const QString& fingerprint, const PaneRow& row) {
    return fingerprint + QLatin1Char('|') + rawValue(row.section) + QLatin1Char('|') +
           QString::number(row.index);
}

}  // namespace

// ---- Applying a snapshot ---------------------------------------------------------

void AppModel::apply(const std::optional<SettingsSnapshot>& snap, const PageInputs& inputs) {
    if (step_.pane() != inputs.pane) {
        return;  // the person changed page while the snapshot was taken
    }
    if (!snap) {
        overlay_->hide();
        decideUnread(inputs.candidates, Phase::notOpen, kNotOpen);
        return;
    }
    const QString paneTitle = windowTitle(inputs.pane);
    if (snap->windowTitle != paneTitle) {
        overlay_->hide();
        decideUnread(inputs.candidates, Phase::wrongPage,
                     QStringLiteral("System Settings is showing \"") + snap->windowTitle +
                         QStringLiteral("\". Press Open to go to ") + paneTitle + QLatin1Char('.'));
        return;
    }

    const QString fingerprint = snap->fingerprint();
    if (fingerprint != lastFingerprint_) {
        stableCount_ = 0;
        lastFingerprint_ = fingerprint;
    } else {
        ++stableCount_;
    }

    QList<PaneRow> rows = snap->rows;
    for (PaneRow& row : rows) {
        const auto cached = iconCache_.constFind(iconKey(fingerprint, row));
        row.iconBlank = cached == iconCache_.constEnd() ? std::nullopt : std::optional<bool>(*cached);
    }
    setDecision(Decide::page(inputs.candidates, rows, snap->below));

    const QList<Mark> reds = redMarks(decision_);
    const std::optional<Rect> minus = minusFor(reds, *snap);
    if (stableCount_ >= 1 && frontmostIsOurs()) {
        overlay_->show(decision_.marks, minus, snap->windowFrame);
    } else {
        overlay_->hide();
    }

    if (stableCount_ >= 1) {
        select(reds, *snap);
    }

    auto [phase, banner] = guide(decision_, snap->selectedTitles, snap->below, tickedOff_);
    if (phase == Phase::nothingLeft && !inputs.storeRead) {
        // Without a read of the page's store there are no findings to go on,
        // which says nothing about the rows still on the page.
        phase = Phase::idle;
        banner = waitingSentence();
    }
    setGuide(phase, banner);

    if (inputs.storeRead) {
        tickOff(inputs);
    }

    if (grants_.screen && stableCount_ >= 1 && snap->windowNumber && !photoInFlight_ &&
        isOlderThan(lastPhoto_, photoInterval, now())) {
        photoInFlight_ = true;
        lastPhoto_ = now();
        const bool dark = seams_.dark ? seams_.dark() : Appearance::systemIsDark();
        takePhoto(PhotoRequest{*snap->windowNumber, *snap, inputs, dark});
    }
}

bool AppModel::frontmostIsOurs() const {
    const std::optional<QString> front = Workspace::current().frontmostBundleID();
    if (front == SettingsDriver::bundleID()) {
        return true;
    }
    return front == AppBundle::current().bundleIdentifier();
}

// The first selectable red row, once per distinct target. The key is kept
// before the attempt, so a refused selection is not retried until the
// target changes or the page is entered again.
void AppModel::select(const QList<Mark>& reds, const SettingsSnapshot& snap) {
    const Mark* target = firstSelectable(reds);
    if (!target) {
        return;
    }
    const QString key = QString::number(snap.windowNumber.value_or(0)) + QLatin1Char('|') +
                        target->row.title + QLatin1Char('|') + QString::number(target->row.index) +
                        QLatin1Char('|') + QString::number(reds.size());
    if (key == selectedKey_) {
        return;
    }
    selectedKey_ = key;
    const bool ok = SettingsDriver::select(target->row, snap);
    Stats::record(ok ? QStringLiteral("select.ok") : QStringLiteral("select.refused"));
}

void AppModel::tickOff(const PageInputs& inputs) {
    QSet<QString> gone;
    for (const Candidate& candidate : inputs.candidates) {
        if (candidate.liveness.isGone()) {
            gone.insert(candidate.key);
        }
    }
    QMap<QString, QStringList> keys = initialKeys_;
    for (const Finding& finding : decision_.findings) {
        if (finding.verdict == Finding::Verdict::remove && !finding.keys.isEmpty()) {
            keys.insert(finding.id, finding.keys);
        }
    }
    setInitialKeys(keys);
    QSet<QString> ticked = tickedOff_;
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        const bool anyLeft =
            std::any_of(it->begin(), it->end(), [&](const QString& key) { return gone.contains(key); });
        if (!anyLeft) {
            ticked.insert(it.key());
        }
    }
    setTickedOff(ticked);
}

std::pair<Phase, QString> AppModel::guide(const Decision& decision, const QStringList& selectedTitles,
                                          const QStringList& below, const QSet<QString>& tickedOff) {
    const QList<Mark> reds = redMarks(decision);
    if (!reds.isEmpty()) {
        if (const Mark* target = firstSelectable(reds);
            target && selectedTitles.contains(target->row.title)) {
            return {Phase::selected, kHighlighted};
        }
        if (reds.first().row.section == PaneSection::background) {
            return {Phase::circled, kTurnOff};
        }
        return {Phase::circled, kClickRow};
    }
    const auto isRemove = [](const Finding& f) { return f.verdict == Finding::Verdict::remove; };
    const bool removeLeft =
        std::any_of(decision.findings.begin(), decision.findings.end(),
                    [&](const Finding& f) { return isRemove(f) && !tickedOff.contains(f.id); });
    if (!below.isEmpty() && removeLeft) {
        return {Phase::scroll, kScroll};
    }
    if (std::any_of(decision.findings.begin(), decision.findings.end(), isRemove)) {
        return {Phase::circled, kLookBelow};
    }
    return {Phase::nothingLeft, kNothingLeft};
}

// ---- The photo -------------------------------------------------------------------

void AppModel::takePhoto(PhotoRequest request) {
    auto shared = std::make_shared<PhotoRequest>(std::move(request));
    auto shot = std::make_shared<std::optional<QImage>>();
    seams_.capture->async(
        [number = shared->windowNumber, shot] {
            auto captured = WindowShot::capture(number);
            if (captured) {
                *shot = std::move(captured).value();
            }
        },
        this, [this, shared, shot] { photoCaptured(shared, shot); });
}

void AppModel::photoCaptured(std::shared_ptr<PhotoRequest> request,
                             std::shared_ptr<std::optional<QImage>> shot) {
    // A failed capture, or one that is of no use any more, needs no second
    // reading of System Settings (and demo mode reads no window).
    if (!*shot || demo_ || step_.pane() != request->inputs.pane) {
        photoInFlight_ = false;
        return;
    }
    auto fresh = std::make_shared<std::optional<SettingsSnapshot>>();
    seams_.ax->async([pane = request->inputs.pane, fresh] { *fresh = SettingsDriver::snapshot(pane); }, this,
                     [this, request, shot, fresh] { photoChecked(*request, **shot, *fresh); });
}

void AppModel::photoChecked(const PhotoRequest& request, const QImage& shot,
                            const std::optional<SettingsSnapshot>& fresh) {
    photoInFlight_ = false;
    const SettingsSnapshot& snap = request.snapshot;
    const QString fingerprint = snap.fingerprint();
    // The photo shows the page it was asked for only when System Settings
    // still reads the same afterwards.
    if (!fresh || fresh->fingerprint() != fingerprint || step_.pane() != request.inputs.pane || demo_) {
        return;
    }
    QList<PaneRow> rows = snap.rows;
    for (PaneRow& row : rows) {
        const auto reading = IconCheck::read(shot, snap.windowFrame, row, request.dark);
        const QString key = iconKey(fingerprint, row);
        if (reading) {
            row.iconBlank = reading->blank;
            iconCache_.insert(key, reading->blank);
        } else {
            row.iconBlank = std::nullopt;
            iconCache_.remove(key);
        }
    }
    // Not published: the next snapshot decides with the cached evidence.
    const Decision decision = Decide::page(request.inputs.candidates, rows, snap.below);
    const std::optional<Rect> minus = minusFor(redMarks(decision), snap);
    auto marked = MarkPainter::annotate(shot, snap.windowFrame, decision.marks, minus);
    if (!marked || snap.windowFrame.width <= 0) {
        return;
    }
    // Sized in points: the window's, whatever the capture's pixel scale.
    marked->setDevicePixelRatio(marked->width() / snap.windowFrame.width);
    setPhoto(std::move(marked));
}

}  // namespace rk
