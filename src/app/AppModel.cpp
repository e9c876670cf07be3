#include "app/AppModel.h"

#include <QSettings>
#include <QSysInfo>
#include <algorithm>

#include "app/Fixtures.h"
#include "app/MacIdentity.h"
#include "app/Stats.h"
#include "app/WindowPlacement.h"
#include "explain/ExplainPage.h"
#include "explain/Explainer.h"
#include "finder/Decide.h"
#include "finder/IconCheck.h"
#include "finder/MarkPainter.h"
#include "finder/SettingsDriver.h"
#include "finder/Sources.h"
#include "finder/WindowShot.h"
#include "platform/AppBundle.h"
#include "platform/Appearance.h"
#include "platform/Workspace.h"

namespace rk {

namespace {

const QString kConsentKey = QStringLiteral("aiConsent");

const QString kOpening =
    QStringLiteral("One moment: opening the page, then I will highlight the row for you.");
const QString kDemo = QStringLiteral(
    "Demo: these rows are made up. In real use this window points at your own System Settings.");
const QString kNoAccessibility = QStringLiteral(
    "Accessibility is off, so I cannot point at rows on the screen. The lists below still say what to "
    "remove.");
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

std::unique_ptr<QSettings> openDefaults(const QString& file) {
    if (file.isEmpty()) {
        return std::make_unique<QSettings>();
    }
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

bool sameDecision(const Decision& a, const Decision& b) {
    return a.findings == b.findings && a.marks == b.marks;
}

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

QString hostNameOrDefault(const std::optional<QString>& given) {
    const QString name = given ? *given : QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("This Mac") : name;
}

template <typename T>
bool assign(T& field, const T& value) {
    if (field == value) {
        return false;
    }
    field = value;
    return true;
}

}  // namespace

// ---- Creation ----------------------------------------------------------------

AppModel::AppModel(ModelSeams seams, QObject* parent)
    : QObject(parent),
      seams_(std::move(seams)),
      macName_(hostNameOrDefault(seams_.hostName)),
      overlay_(std::make_unique<MarksOverlay>()) {
    if (!seams_.ticks) {
        ownTicks_ = std::make_unique<QtTickSource>();
        seams_.ticks = ownTicks_.get();
    }
    if (!seams_.ax) {
        // Accessibility reads answer the person's action: user-initiated work.
        ownAx_ = std::make_unique<SerialThreadQueue>(QStringLiteral("larkspur.ax"), QThread::HighPriority);
        seams_.ax = ownAx_.get();
    }
    if (!seams_.capture) {
        ownCapture_ = std::make_unique<PoolQueue>();
        seams_.capture = ownCapture_.get();
    }
    if (!seams_.background) {
        ownBackground_ = std::make_unique<PoolQueue>();
        seams_.background = ownBackground_.get();
    }
}

// Results still on their way back are dropped by the queues' guard on this
// object; the queues of our own finish their running job before they go.
AppModel::~AppModel() = default;

AppModel& AppModel::shared() {
    static AppModel* const model = new AppModel();
    return *model;
}

Clock::Time AppModel::now() const {
    return (seams_.clock ? *seams_.clock : Clock::current()).now();
}

std::unique_ptr<QSettings> AppModel::defaults() const {
    return openDefaults(seams_.defaultsFile);
}

// ---- Published setters ---------------------------------------------------------

#define RK_PUBLISH(field, value, signal) \
    do {                                 \
        if (assign(field, value)) {      \
            emit signal();               \
            emit changed();              \
        }                                \
    } while (false)

void AppModel::setStep(Step step) {
    if (step_ == step) {
        return;
    }
    step_ = step;
    emit stepChanged();
    emit changed();
}

void AppModel::setMovedFrom(const std::optional<QString>& name) {
    RK_PUBLISH(movedFrom_, name, movedFromChanged);
}

void AppModel::setMoveInEpoch(int epoch) {
    RK_PUBLISH(moveInEpoch_, epoch, moveInEpochChanged);
}

void AppModel::setGrants(const Grants& grants) {
    RK_PUBLISH(grants_, grants, grantsChanged);
}

void AppModel::setJobs(const QList<LaunchJob>& jobs) {
    RK_PUBLISH(jobs_, jobs, jobsChanged);
}

void AppModel::setTcc(const std::optional<TCCRead>& tcc) {
    RK_PUBLISH(tcc_, tcc, tccChanged);
}

void AppModel::setBtm(const std::optional<BTMRead>& btm) {
    RK_PUBLISH(btm_, btm, btmChanged);
}

void AppModel::setDecision(const Decision& decision) {
    if (sameDecision(decision_, decision)) {
        return;
    }
    decision_ = decision;
    emit decisionChanged();
    emit changed();
}

void AppModel::setPhase(Phase phase) {
    RK_PUBLISH(phase_, phase, phaseChanged);
}

void AppModel::setBanner(const QString& banner) {
    RK_PUBLISH(banner_, banner, bannerChanged);
}

void AppModel::setGuide(Phase phase, const QString& banner) {
    setPhase(phase);
    setBanner(banner);
}

void AppModel::setPhoto(const std::optional<QImage>& photo) {
    // Images are not compared pixel by pixel: every new one is news.
    if (!photo_ && !photo) {
        return;
    }
    photo_ = photo;
    emit photoChanged();
    emit changed();
}

void AppModel::setExplanations(const ExplanationMap& explanations) {
    RK_PUBLISH(explanations_, explanations, explanationsChanged);
}

void AppModel::setExplainNote(const std::optional<QString>& note) {
    RK_PUBLISH(explainNote_, note, explainNoteChanged);
}

void AppModel::setExplainPending(const QList<ExplainItem>& items) {
    RK_PUBLISH(explainPending_, items, explainPendingChanged);
}

void AppModel::setMacModel(const QString& model) {
    RK_PUBLISH(macModel_, model, macModelChanged);
}

void AppModel::setDemo(bool on) {
    RK_PUBLISH(demo_, on, demoChanged);
}

void AppModel::setTickedOff(const QSet<QString>& ids) {
    RK_PUBLISH(tickedOff_, ids, tickedOffChanged);
}

void AppModel::setInitialKeys(const QMap<QString, QStringList>& keys) {
    RK_PUBLISH(initialKeys_, keys, initialKeysChanged);
}

#undef RK_PUBLISH

int AppModel::aiConsent() const {
    return defaults()->value(kConsentKey, 0).toInt();
}

void AppModel::setAiConsent(int value) {
    if (aiConsent() == value) {
        return;
    }
    defaults()->setValue(kConsentKey, value);
    emit aiConsentChanged();
    emit changed();
}

// ---- Actions -------------------------------------------------------------------

void AppModel::go(Step step) {
    setStep(step);
    if (step == Step::moveIn) {
        setMoveInEpoch(moveInEpoch_ + 1);
    }
    lastFingerprint_.clear();
    stableCount_ = 0;
    selectedKey_.clear();
    setPhoto(std::nullopt);
    setDecision(Decision{});
    setGuide(Phase::idle, QString());
    setInitialKeys({});
    setTickedOff({});
    overlay_->hide();
    Stats::record(QStringLiteral("page.") + step.rawValue());
    if (step.isSettings()) {
        explainForPage();
    }
}

void AppModel::openPane() {
    const std::optional<Pane> pane = step_.pane();
    if (!pane) {
        return;
    }
    Stats::record(QStringLiteral("open.") + rawValue(*pane));
    setGuide(Phase::working, kOpening);
    SettingsDriver::open(*pane);
    if (seams_.placeWindow) {
        seams_.placeWindow();
    } else {
        WindowPlacement::besideSettingsSoon();
    }
}

void AppModel::setConsent(bool yes) {
    setAiConsent(yes ? 1 : 2);
    setExplainPending({});
    Stats::record(yes ? QStringLiteral("ai.consent.yes") : QStringLiteral("ai.consent.no"));
    runExplanations(explainItems());
}

// ---- Scan loop -------------------------------------------------------------------

void AppModel::start() {
    setJobs(LaunchdScan::scan());
    refreshGrants();
    readStores();
    auto model = std::make_shared<QString>();
    seams_.background->async([model] { *model = MacIdentity::model(); }, this,
                             [this, model] { setMacModel(*model); });
    // Replacing the ticker stops the earlier one: a second start() must not
    // leave two timers ticking.
    timer_ = seams_.ticks->every(tickSeconds, [this] { tick(); });
}

void AppModel::refreshGrants() {
    const Grants probed = Grants::probe();
    if (probed == grants_) {
        return;
    }
    const bool gainedFullDisk = probed.fullDisk && !grants_.fullDisk;
    setGrants(probed);
    if (gainedFullDisk) {
        readStores();
    }
}

void AppModel::readStores() {
    setTcc(TCCStore::read(QSet<QString>{QStringLiteral("kTCCServiceAccessibility")}));
    setBtm(BackgroundStore::read());
    lastStoreRead_ = now();
}

QList<Candidate> AppModel::candidates() const {
    if (demo_) {
        return Fixtures::candidates(step_);
    }
    switch (step_) {
        case Step::accessibility:
            if (tcc_ && tcc_->ok()) {
                return Sources::accessibility(tcc_->value());
            }
            return {};
        case Step::loginItems:
            if (btm_ && btm_->ok()) {
                return Sources::loginItems(BackgroundStore::mine(btm_->value().records), jobs_);
            }
            return {};
        default:
            return {};
    }
}

std::optional<StoreError> AppModel::storeProblem() const {
    // Demo mode shows made-up rows in place of the stores, so their state
    // is none of the page's business.
    if (demo_) {
        return std::nullopt;
    }
    if (step_ == Step::accessibility && tcc_ && !tcc_->ok()) {
        return tcc_->error();
    }
    if (step_ == Step::loginItems && btm_ && !btm_->ok()) {
        return btm_->error();
    }
    return std::nullopt;
}

bool AppModel::storeReadOk() const {
    if (step_ == Step::accessibility) {
        return tcc_ && tcc_->ok();
    }
    if (step_ == Step::loginItems) {
        return btm_ && btm_->ok();
    }
    return false;
}

void AppModel::tick() {
    refreshGrants();
    if (!step_.isSettings()) {
        overlay_->hide();
        return;
    }
    if (isOlderThan(lastStoreRead_, storeMaxAge, now())) {
        readStores();
    }
    if (demo_) {
        setDecision(Decide::page(candidates(), Fixtures::rows(step_), {}));
        setGuide(Phase::selected, kDemo);
        if (!photo_) {
            if (auto made = Fixtures::photo(step_, decision_)) {
                setPhoto(std::move(made));
            }
        }
        overlay_->hide();
        return;
    }
    if (!grants_.accessibility) {
        overlay_->hide();
        decideUnread(candidates(), Phase::noAccessibility, kNoAccessibility);
        return;
    }
    if (inFlight_) {
        return;
    }
    inFlight_ = true;
    auto inputs = std::make_shared<PageInputs>(PageInputs{*step_.pane(), candidates(), storeReadOk()});
    auto snap = std::make_shared<std::optional<SettingsSnapshot>>();
    seams_.ax->async([pane = inputs->pane, snap] { *snap = SettingsDriver::snapshot(pane); }, this,
                     [this, inputs, snap] {
                         inFlight_ = false;
                         // A reading of the real System Settings that comes
                         // back after demo mode was switched on is not shown.
                         if (demo_) {
                             return;
                         }
                         apply(*snap, *inputs);
                     });
}

void AppModel::decideUnread(const QList<Candidate>& candidates, Phase phase, const QString& banner) {
    setDecision(Decide::page(candidates, std::nullopt, {}));
    setGuide(phase, banner);
}

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

// ---- Explanations ----------------------------------------------------------------

QList<ExplainItem> AppModel::explainItems() const {
    if (demo_) {
        return Fixtures::explainItems(step_);
    }
    if (step_ != Step::loginItems || !btm_ || !btm_->ok()) {
        return {};
    }
    return ExplainPage::loginItems(BackgroundStore::mine(btm_->value().records));
}

void AppModel::explainForPage() {
    const QList<ExplainItem> items = explainItems();
    if (items.isEmpty()) {
        setExplainNote(std::nullopt);
        return;
    }
    const QList<ExplainItem> unknown = ExplainPage::withoutRule(items);
    if (!unknown.isEmpty() && aiConsent() == 0 && !demo_) {
        setExplainPending(unknown);
    }
    runExplanations(items);
}

void AppModel::runExplanations(const QList<ExplainItem>& items) {
    // Asked by the explainer itself, at the moment it would use the gateway,
    // from its own thread: a fresh reading of the stored answer.
    ConsentQuestion consented = [file = seams_.defaultsFile] {
        return openDefaults(file)->value(kConsentKey, 0).toInt() == 1;
    };
    Explainer::explain(items, true, std::move(consented), this, [this, items](ExplainRun run) {
        ExplanationMap merged = explanations_;
        for (auto it = run.answers.cbegin(); it != run.answers.cend(); ++it) {
            merged.insert(it.key(), it.value());
        }
        setExplanations(merged);
        setExplainNote(ExplainPage::note(items, run.answers, run.source));
    });
}

}  // namespace rk
