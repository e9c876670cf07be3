#include "app/model/AppModel.h"

#include <QSettings>
#include <QSysInfo>

#include "app/model/Fixtures.h"
#include "app/model/MacIdentity.h"
#include "app/model/Stats.h"
#include "explain/ExplainPage.h"
#include "explain/Explainer.h"
#include "finder/Decide.h"
#include "finder/SettingsDriver.h"
#include "finder/Sources.h"
#include "platform/SystemVersion.h"
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

std::unique_ptr<QSettings> openDefaults(const QString& file) {
    if (file.isEmpty()) {
        return std::make_unique<QSettings>();
    }
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

bool sameDecision(const Decision& a, const Decision& b) {
    return a.findings == b.findings && a.marks == b.marks;
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
    if (!assign(btm_, btm)) {
        return;
    }
    // Picked once per read that changed something, not on every beat: a
    // store grown to thousands of records lists only a few items of the
    // person's, most of them many times over.
    loginRecords_ = btm_ && btm_->ok() ? Sources::firstOfEachKey(BackgroundStore::mine(btm_->value().records))
                                       : QList<BTMRecord>{};
    emit btmChanged();
    emit changed();
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

void AppModel::setMacName(const QString& name) {
    RK_PUBLISH(macName_, name, macNameChanged);
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

void AppModel::setNotice(const QString& line) {
    RK_PUBLISH(notice_, line, noticeChanged);
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
    openRefused_ = false;
    stableCount_ = 0;
    selectedKey_.clear();
    setPhoto(std::nullopt);
    setDecision(Decision{});
    setGuide(Phase::idle, QString());
    setInitialKeys({});
    setTickedOff({});
    setNotice(QString());
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
    openRefused_ = !SettingsDriver::open(*pane);
    if (openRefused_) {
        setGuide(Phase::notOpen, Workspace::settingsNotOpenedLine());
        return;
    }
    setGuide(Phase::working, kOpening);
    if (seams_.placeWindow) {
        seams_.placeWindow();
    }
}

void AppModel::setDefaultWindowPlacer(std::function<void()> place) {
    if (!seams_.placeWindow) {
        seams_.placeWindow = std::move(place);
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
    setBtm(btmStore_.read());
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
                return Sources::loginItems(loginRecords_, jobs_);
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

bool AppModel::storeNotOnThisComputer() const {
    const std::optional<StoreError> problem = storeProblem();
    return problem && problem->absent && !SystemVersion::current().macOS();
}

QList<Step> AppModel::unreadLists() const {
    QList<Step> unread;
    if (demo_)
        return unread;
    if (!tcc_ || !tcc_->ok())
        unread.append(Step::accessibility);
    if (!btm_ || !btm_->ok())
        unread.append(Step::loginItems);
    return unread;
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
        // The made-up page stands in for what System Settings would show, not
        // for an Open that found nothing to open the real page with.
        if (openRefused_) {
            setGuide(Phase::notOpen, Workspace::settingsNotOpenedLine());
        } else {
            setGuide(Phase::selected, kDemo);
        }
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
    // Neither "Press Open" nor the Accessibility sentence helps where Open found nothing to open.
    const bool refused = openRefused_ && (phase == Phase::notOpen || phase == Phase::noAccessibility);
    setGuide(phase, refused ? Workspace::settingsNotOpenedLine() : banner);
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

QList<ExplainItem> AppModel::consentItems() const {
    if (explainPending_.isEmpty()) {
        return {};
    }
    return demo_ ? ExplainPage::withoutRule(explainItems()) : explainPending_;
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
