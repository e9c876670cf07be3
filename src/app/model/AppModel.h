#pragma once
// The one owner of the app's run-time state: the current page, the grants,
// the last store reads, the page's decision, the guide's phase and sentence,
// the marked photo, the explanations and the demo flag. It runs the scan
// loop that keeps a System Settings page current (a tick every 0.5 seconds:
// grants, stores, one Accessibility snapshot at a time, decision, marks,
// selection, photo) and owns the marks overlay.
//
// Main thread only. Views bind to it the Qt way: every published value has a
// getter and a change signal of its own (`stepChanged()`, `decisionChanged()`,
// ...), and `changed()` follows every such signal, for a view that simply
// redraws whole. A signal is sent when the value really changed; the photo
// signals every time an image is set.

#include <QImage>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

#include "app/model/ModelSeams.h"
#include "app/model/Step.h"
#include "explain/ExplainTypes.h"
#include "finder/AXNode.h"
#include "finder/BackgroundStore.h"
#include "finder/BackgroundStoreCache.h"
#include "finder/Candidate.h"
#include "finder/Decision.h"
#include "finder/LaunchdScan.h"
#include "finder/MarksOverlay.h"
#include "finder/Pane.h"
#include "finder/StoreError.h"
#include "finder/TCCStore.h"
#include "platform/Clock.h"
#include "platform/Result.h"

class QSettings;

namespace rk {

class AppModel final : public QObject {
    Q_OBJECT

public:
    using TCCRead = Result<QList<TCCRow>, StoreError>;
    using BTMRead = Result<BackgroundStore::Snapshot, StoreError>;

    static constexpr double tickSeconds = 0.5;
    static constexpr double storeMaxAge = 3.0;  // seconds between store reads on a page
    static constexpr double photoInterval = 2.0;

    // Creates nothing outside itself: no store is read and no timer runs
    // until start(). Needs a QApplication (the marks overlay is a window).
    explicit AppModel(ModelSeams seams = {}, QObject* parent = nullptr);
    ~AppModel() override;

    // The process's model, made on first use and kept until the process ends.
    static AppModel& shared();

    // ---- Published values ------------------------------------------------
    Step step() const { return step_; }
    std::optional<QString> movedFrom() const { return movedFrom_; }
    int moveInEpoch() const { return moveInEpoch_; }
    Grants grants() const { return grants_; }
    const QList<LaunchJob>& jobs() const { return jobs_; }
    // The last reads of the stores; none before the first.
    const std::optional<TCCRead>& tcc() const { return tcc_; }
    const std::optional<BTMRead>& btm() const { return btm_; }
    const Decision& decision() const { return decision_; }
    Phase phase() const { return phase_; }
    const QString& banner() const { return banner_; }
    // The marked photo of System Settings; its device pixel ratio makes its
    // size in points that of the window.
    const std::optional<QImage>& photo() const { return photo_; }
    const ExplanationMap& explanations() const { return explanations_; }
    const std::optional<QString>& explainNote() const { return explainNote_; }
    const QList<ExplainItem>& explainPending() const { return explainPending_; }
    const QString& macName() const { return macName_; }
    const QString& macModel() const { return macModel_; }
    bool demo() const { return demo_; }
    const QSet<QString>& tickedOff() const { return tickedOff_; }
    // For each remove finding of this visit: its latest record keys.
    const QMap<QString, QStringList>& initialKeys() const { return initialKeys_; }
    // A line for the person about something done at their request outside
    // the page, seen whatever page is up: where the diagnostics file went
    // when its folder could not be shown, or why it was not saved. Empty when
    // there is nothing to say; a page change clears it.
    const QString& notice() const { return notice_; }

    // Plain setters without side effects of their own; a caller that wants
    // the page redrawn after switching demo mode calls go().
    void setDemo(bool on);
    void setMovedFrom(const std::optional<QString>& name);
    // What the page capture fills in with its sample data in place of the
    // machine's and a scan's; the scan loop sets the same values itself.
    void setJobs(const QList<LaunchJob>& jobs);
    void setGrants(const Grants& grants);
    void setMacName(const QString& name);
    void setMacModel(const QString& model);
    void setDecision(const Decision& decision);
    void setGuide(Phase phase, const QString& banner);
    void setPhoto(const std::optional<QImage>& photo);
    void setExplanations(const ExplanationMap& explanations);
    void setNotice(const QString& line);

    // The answer about AI explanations in user defaults ("aiConsent"):
    // 0 not asked, 1 yes, 2 no.
    int aiConsent() const;
    void setAiConsent(int value);

    // ---- Actions -----------------------------------------------------------
    // Switches page and resets the page's state (also for the current page).
    void go(Step step);
    // Opens the current Settings step's page in System Settings. When
    // nothing here opens it, the banner says so (and keeps saying it in place
    // of "Press Open", the Accessibility sentence and the demo sentence until
    // the page changes or a later press opens it) and the window stays where
    // it is.
    void openPane();
    // What moves the window beside System Settings after `openPane`, unless
    // the seams already gave one. The window belongs to the shell, which
    // installs this at launch; until then a page opens and nothing moves.
    void setDefaultWindowPlacer(std::function<void()> place);
    // Records the answer about AI explanations and runs the page's again.
    void setConsent(bool yes);

    // ---- Scan loop -----------------------------------------------------------
    // Reads the launchd jobs, grants and stores, asks for the Mac's model and
    // starts the tick. Called again, it replaces the earlier timer.
    void start();
    void tick();
    // Publishes the grants when they changed; reads the stores at once when
    // Full Disk Access was just gained.
    void refreshGrants();
    void readStores();
    // The current page's candidates, from the last store reads (made-up ones
    // in demo mode); empty when the page's store could not be read.
    QList<Candidate> candidates() const;
    // Why the current page's store could not be read; none when it could,
    // the page has no store, or demo mode stands in for the stores.
    std::optional<StoreError> storeProblem() const;
    // The current page's store does not exist on this computer, which is no
    // Mac: nothing will ever be there to read, unlike a Mac's list that could
    // not be read just now.
    bool storeNotOnThisComputer() const;
    // The Settings pages whose list the last read of the stores did not
    // get (or that were never read), in page order; none in demo mode,
    // which stands in for the stores.
    QList<Step> unreadLists() const;

    // ---- Explanations --------------------------------------------------------
    // The current page's items to explain: the person's enabled background
    // agents and daemons on the Login Items page, nothing elsewhere.
    QList<ExplainItem> explainItems() const;
    // Runs the page's explanations; called when a Settings page is entered.
    void explainForPage();
    // The names the consent question lists, which are what an answer of yes
    // would send: the pending items; in demo mode the made-up items that no
    // rule explains, so that a name of the person's, pending from before demo
    // mode was switched on, is never listed beside made-up rows. Empty while
    // nothing waits for the answer.
    QList<ExplainItem> consentItems() const;

    // ---- The guide -------------------------------------------------------------
    static std::pair<Phase, QString> guide(const Decision& decision, const QStringList& selectedTitles,
                                           const QStringList& below, const QSet<QString>& tickedOff);
    // "Waiting for the list.": said instead of "nothing left" while the
    // page's store cannot be read, when the page may well still hold rows to
    // remove.
    static QString waitingSentence() { return QStringLiteral("Waiting for the list."); }

    // ---- Loop state, for the diagnostics and tests --------------------------
    const MarksOverlay& overlay() const { return *overlay_; }
    MarksOverlay& overlay() { return *overlay_; }
    bool inFlight() const { return inFlight_; }
    bool photoInFlight() const { return photoInFlight_; }
    int stableCount() const { return stableCount_; }
    const QString& selectedKey() const { return selectedKey_; }
    std::optional<Clock::Time> lastStoreRead() const { return lastStoreRead_; }
    std::optional<Clock::Time> lastPhoto() const { return lastPhoto_; }
    bool ticking() const { return timer_ != nullptr; }

signals:
    void changed();
    void stepChanged();
    void movedFromChanged();
    void moveInEpochChanged();
    void grantsChanged();
    void jobsChanged();
    void tccChanged();
    void btmChanged();
    void decisionChanged();
    void phaseChanged();
    void bannerChanged();
    void photoChanged();
    void explanationsChanged();
    void explainNoteChanged();
    void explainPendingChanged();
    void macNameChanged();
    void macModelChanged();
    void demoChanged();
    void tickedOffChanged();
    void initialKeysChanged();
    void noticeChanged();
    void aiConsentChanged();

private:
    // What a tick hands to the snapshot's hand-back: the page it was taken
    // for and the candidates of that moment.
    struct PageInputs {
        Pane pane = Pane::accessibility;
        QList<Candidate> candidates;
        // The page's store was read successfully; only then may a finding be
        // ticked off for records missing from the read.
        bool storeRead = false;
    };
    struct PhotoRequest {
        WindowNumber windowNumber = 0;
        SettingsSnapshot snapshot;
        PageInputs inputs;
        bool dark = false;
    };

    void apply(const std::optional<SettingsSnapshot>& snap, const PageInputs& inputs);
    void decideUnread(const QList<Candidate>& candidates, Phase phase, const QString& banner);
    void tickOff(const PageInputs& inputs);
    void select(const QList<Mark>& reds, const SettingsSnapshot& snap);
    bool frontmostIsOurs() const;
    void takePhoto(PhotoRequest request);
    void photoCaptured(std::shared_ptr<PhotoRequest> request, std::shared_ptr<std::optional<QImage>> shot);
    void photoChecked(const PhotoRequest& request, const QImage& shot,
                      const std::optional<SettingsSnapshot>& fresh);
    bool storeReadOk() const;
    void runExplanations(const QList<ExplainItem>& items);
    std::unique_ptr<QSettings> defaults() const;
    Clock::Time now() const;

    void setStep(Step step);
    void setMoveInEpoch(int epoch);
    void setTcc(const std::optional<TCCRead>& tcc);
    void setBtm(const std::optional<BTMRead>& btm);
    void setPhase(Phase phase);
    void setBanner(const QString& banner);
    void setExplainNote(const std::optional<QString>& note);
    void setExplainPending(const QList<ExplainItem>& items);
    void setTickedOff(const QSet<QString>& ids);
    void setInitialKeys(const QMap<QString, QStringList>& keys);

    ModelSeams seams_;
    std::unique_ptr<TickSource> ownTicks_;
    std::unique_ptr<TaskQueue> ownAx_;
    std::unique_ptr<TaskQueue> ownCapture_;
    std::unique_ptr<TaskQueue> ownBackground_;
    BackgroundStoreCache btmStore_;  // the last parse, while the store file stays the same

    // Published.
    Step step_ = Step::start;
    std::optional<QString> movedFrom_;
    int moveInEpoch_ = 0;
    Grants grants_;
    QList<LaunchJob> jobs_;
    std::optional<TCCRead> tcc_;
    std::optional<BTMRead> btm_;
    QList<BTMRecord> loginRecords_;  // the first of each key among the person's records in btm_
    Decision decision_;
    Phase phase_ = Phase::idle;
    QString banner_;
    std::optional<QImage> photo_;
    ExplanationMap explanations_;
    std::optional<QString> explainNote_;
    QList<ExplainItem> explainPending_;
    QString macName_;
    QString macModel_;
    bool demo_ = false;
    QSet<QString> tickedOff_;
    bool openRefused_ = false;  // the last Open on this page found nothing to open System Settings

    // The loop's own.
    std::unique_ptr<MarksOverlay> overlay_;
    std::unique_ptr<Ticker> timer_;
    bool inFlight_ = false;
    QString lastFingerprint_;
    int stableCount_ = 0;
    QString selectedKey_;
    std::optional<Clock::Time> lastStoreRead_;
    std::optional<Clock::Time> lastPhoto_;
    bool photoInFlight_ = false;
    QHash<QString, bool> iconCache_;
    QMap<QString, QStringList> initialKeys_;
    QString notice_;
};

}  // namespace rk
