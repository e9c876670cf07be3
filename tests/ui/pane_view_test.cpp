// The page of the two System Settings steps: its lists, open button, banner,
// photo, store problem, finding rows and what survives a redraw; and its
// card of explanations with the consent question.

#include <gtest/gtest.h>

#include "app/model/Fixtures.h"
#include "explain/ExplainPage.h"
#include "platform/SystemVersion.h"
#include "support/ModelFakes.h"
#include "support/UiProbe.h"
#include "ui/BadgeAndBanner.h"
#include "ui/ExplainCard.h"
#include "ui/FindingRow.h"
#include "ui/PaneView.h"
#include "ui/Rendering.h"

namespace rk {
namespace {

using test::press;
using test::shows;
using test::showsPart;

const QString showOne = QStringLiteral("Show 1 more that need nothing from you");
const QString hideOne = QStringLiteral("Hide 1 more that need nothing from you");
const QString screenHint = QStringLiteral("Turn on Screen Recording to also see a photo here.");

class PaneViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }

    // The model on `step` with the made-up rows, findings and photo.
    AppModel& demoOn(Step step) {
        AppModel& m = world.startModel();
        m.setDemo(true);
        m.go(step);
        world.beat();
        return m;
    }

    // The model on `step` without Accessibility: no findings, no reading.
    AppModel& untrustedOn(Step step) {
        world.settings.trusted = false;
        return world.startModel(step);
    }

    // The person's own page with a leftover to remove, an installed app and
    // a hidden record, read until the model stopped changing its decision
    // (System Settings shows the page, Screen Recording gives a photo).
    AppModel& leftoversOn(Step step) {
        test::writeLeftovers(world);
        AppModel& m = world.startModel(step);
        world.settings.showPage(step == Step::accessibility ? test::SimulatedPage::accessibility
                                                            : test::SimulatedPage::loginItems);
        for (int i = 0; i < 3; ++i)
            world.beatAfter(0.5);
        return m;
    }

    static FindingRow* rowWithId(const QWidget* page, const QString& id) {
        for (FindingRow* row : test::visibleChildren<FindingRow>(page)) {
            if (row->finding().id == id)
                return row;
        }
        return nullptr;
    }

    StaticRenderingScope still;
    test::ModelWorld world;
    test::RecordingActions actions;
};

Finding finding(const QString& id, Finding::Verdict verdict, int count = 1) {
    Finding f;
    f.id = id;
    f.verdict = verdict;
    f.shown = QStringLiteral("TESTrow ") + id;
    f.count = count;
    f.what = QStringLiteral("A sentence.");
    return f;
}

// Every finding that is not hidden has its row, the photo keeps its aspect
// at the card's width, and the footer goes on.
TEST_F(PaneViewTest, DemoPagesShowTheirListsPhotoAndFooter) {
    for (Step step : {Step::accessibility, Step::loginItems}) {
        AppModel& m = demoOn(step);
        PaneView page(m, step == Step::loginItems);
        test::render(&page, 600);
        EXPECT_TRUE(shows(&page, PaneView::heading(step)));
        EXPECT_TRUE(shows(&page, "DEMO"));
        const PaneView::Lists lists = PaneView::split(m.decision());
        EXPECT_EQ(test::visibleChildren<FindingRow>(&page).size(),
                  lists.remove.size() + lists.keep.size() + lists.look.size());
        EXPECT_EQ(shows(&page, "KEEP these. Do not remove:"), !lists.keep.isEmpty());
        EXPECT_EQ(shows(&page, "Worth a look (nothing marked)"), !lists.look.isEmpty());
        const auto photos = test::visibleChildren<PhotoView>(&page);
        ASSERT_EQ(photos.size(), 1);
        EXPECT_GT(photos[0]->width(), 500);
        EXPECT_NEAR(double(photos[0]->height()) / photos[0]->width(),
                    double(m.photo()->height()) / m.photo()->width(), 0.01);
        EXPECT_TRUE(shows(&page, "The screen right now"));
        EXPECT_FALSE(showsPart(&page, screenHint));
    }
    AppModel& m = demoOn(Step::accessibility);
    PaneView page(m, false);
    EXPECT_TRUE(shows(&page, "REMOVE these:"));
    test::pressAndSettle(&page, "Next: Login Items  →");
    EXPECT_TRUE(shows(&page, "TURN OFF or REMOVE these:"));
    press(&page, "Finish  →");
    EXPECT_EQ(m.step(), Step::done);
    // Marketing captures hide the demo word.
    Fixtures::marketing = true;
    PaneView capture(m, false);
    Fixtures::marketing = false;
    EXPECT_FALSE(shows(&capture, "DEMO"));
}

// The open button's "&" is a character of its title, not Alt+Space.
TEST_F(PaneViewTest, BannerFollowsThePhaseAndTheOpenButtonOpensThePage) {
    AppModel& m = untrustedOn(Step::loginItems);
    PaneView page(m, false);
    EXPECT_EQ(page.banner(), nullptr) << "a fresh page: no sentence, no banner";
    world.beat();  // no Accessibility: the guide says so, in amber
    test::settle();
    ASSERT_NE(page.banner(), nullptr);
    EXPECT_EQ(page.banner()->shownColour(), Palette::amber(false));
    EXPECT_EQ(page.banner()->text(), m.banner());
    const QString title = QStringLiteral("Open Login Items & Extensions in System Settings");
    auto* open = qobject_cast<PrimaryButton*>(test::buttonTitled(&page, title));
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(open->shortcut().isEmpty()) << open->shortcut().toString().toStdString();
    test::pressAndSettle(&page, title);  // working: blue, with the spinner
    EXPECT_EQ(m.phase(), Phase::working);
    EXPECT_EQ(page.banner()->shownColour(), Palette::blue(false));
    EXPECT_NE(qobject_cast<Spinner*>(page.banner()->markWidget()), nullptr);
    // No findings: only the remove card, saying so.
    EXPECT_TRUE(shows(&page, "Nothing to remove here."));
    EXPECT_FALSE(showsPart(&page, "KEEP these") || showsPart(&page, "Worth a look") ||
                 showsPart(&page, "more that need nothing"));
}

// The failure's detail is for the diagnostics, not for the page; only missing
// access offers a way to it.
TEST_F(PaneViewTest, StoreWithoutAccessShowsTheProblemAndWaits) {
    test::FakeFileProbe files;
    files.openErrors.insert(world.root.disk(TCCStore::userPath(world.root.paths())), EPERM);
    test::ScopedCurrent<FileProbe> probe(&files);
    AppModel& m = untrustedOn(Step::accessibility);
    world.beat();
    ASSERT_EQ(m.storeProblem()->kind, StoreError::Kind::noAccess);
    PaneView page(m, false);
    EXPECT_TRUE(shows(&page, "Full Disk Access is off, so I cannot read this list yet."));
    EXPECT_TRUE(shows(&page, "Waiting for the list."));
    EXPECT_FALSE(shows(&page, "Nothing to remove here."));
    press(&page, "Turn on Full Disk Access");
    EXPECT_EQ(actions.permissions, 1);

    for (const StoreError& error : {StoreError::format("v9"), StoreError::unreadable("errno 5")}) {
        StoreProblem card(false, error, [] {});
        EXPECT_EQ(card.button(), nullptr);
        EXPECT_EQ(card.outline(), Palette::amber(false));
        EXPECT_FALSE(showsPart(&card, "errno") || showsPart(&card, "v9"));
    }
}

// A list this computer does not have (it is no Mac) is said to be missing,
// and nothing waits for it; on a Mac, or where the list is there and could
// not be read, the page keeps the Mac's sentence and waits.
TEST_F(PaneViewTest, AListThisComputerDoesNotHaveIsNotWaitedFor) {
    struct OnAMac final : SystemVersion {
        std::optional<QVersionNumber> macOS() const override { return QVersionNumber(26, 1); }
    } mac;
    const QString macSentence = "I could not read this list just now. It usually works on the next try.";
    const QString noSuchList = "This computer has no such list; I can read it only on a Mac.";
    const struct {
        const char* name;
        Step step;
        bool onAMac;
        int readError;  // the list is there and opening it fails so; 0: it is not there
        QString sentence;
    } cases[] = {
        {"no privacy database here", Step::accessibility, false, 0, noSuchList},
        {"no store folder here", Step::loginItems, false, 0, noSuchList},
        {"no privacy database on a Mac", Step::accessibility, true, 0, macSentence},
        {"no store folder on a Mac", Step::loginItems, true, 0, macSentence},
        {"an unreadable privacy database here", Step::accessibility, false, EIO, macSentence},
    };
    for (const auto& c : cases) {
        test::ModelWorld here;
        test::FakeFileProbe files;
        test::ScopedCurrent<FileProbe> probe(&files);
        test::ScopedCurrent<SystemVersion> system(c.onAMac ? &mac : nullptr);
        const QString store = c.step == Step::accessibility ? TCCStore::systemPath(here.root.paths())
                                                            : BackgroundStore::folder(here.root.paths());
        if (c.readError != 0)
            files.openErrors.insert(here.root.disk(store), c.readError);
        else
            ASSERT_TRUE(here.root.remove(store)) << c.name;
        here.settings.trusted = false;
        AppModel& m = here.startModel(c.step);
        here.beat();
        ASSERT_TRUE(m.storeProblem()) << c.name;
        PaneView page(m, false);
        EXPECT_TRUE(shows(&page, c.sentence)) << c.name;
        EXPECT_EQ(shows(&page, "Waiting for the list."), c.sentence == macSentence) << c.name;
        EXPECT_FALSE(shows(&page, "Nothing to remove here.")) << c.name;
    }
}

TEST_F(PaneViewTest, FindingRowShowsCountTellAndEvidence) {
    Finding f = finding("r:x", Finding::Verdict::remove, 2);
    f.shown = QStringLiteral("<b>TESTapp</b>");
    f.tell = QStringLiteral("the one with the blank icon");
    f.evidence = {QStringLiteral("/Users/anna/Applications/TESTapp.app"), QStringLiteral("key: gone")};
    std::vector<bool> flips;
    FindingRow row(
        false, f, QStringLiteral("●"), Palette::red(false), false, [&](bool on) { flips.push_back(on); },
        world.root.paths());
    test::render(&row, 400);
    // A record name with markup shows literally, with the count after it.
    EXPECT_TRUE(shows(&row, "<b>TESTapp</b> ×2"));
    EXPECT_EQ(row.tellShown(), QStringLiteral("How to tell them apart: the one with the blank icon"));
    EXPECT_FALSE(shows(&row, "key: gone"));
    row.whyButton()->press();
    EXPECT_EQ(row.whyButton()->title(), QStringLiteral("Hide how I know"));
    EXPECT_EQ(row.evidenceShown(), (QStringList{"~/Applications/TESTapp.app", "key: gone"}));
    row.whyButton()->press();
    EXPECT_EQ(flips, (std::vector<bool>{true, false}));

    FindingRow plain(true, finding("k:y", Finding::Verdict::keep), QStringLiteral("✓"), Palette::green(true));
    EXPECT_EQ(plain.whyButton(), nullptr);
    EXPECT_TRUE(test::visibleChildren<TellBox>(&plain).isEmpty());
}

// On the person's own page: the hidden record opens in a card of its own; a
// row's open evidence survives a redraw of the lists (another record changes
// the decision); a remove finding whose record left the store (ticked off)
// turns green and stays so in the remove card when the record comes back.
TEST_F(PaneViewTest, HiddenCardOpenEvidenceAndTickedOffRowsSurviveRedraws) {
    AppModel& m = leftoversOn(Step::accessibility);
    const QString ghost = QStringLiteral("r:TESTghost");
    const QString phantom = "h:" + test::phantomKey();
    PaneView page(m, false);
    EXPECT_EQ(rowWithId(&page, ghost)->markColour(), Palette::red(false));
    EXPECT_EQ(rowWithId(&page, phantom), nullptr);
    test::pressAndSettle(&page, showOne);
    FindingRow* hidden = rowWithId(&page, phantom);
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(hidden->mark(), QStringLiteral("·"));
    EXPECT_EQ(hidden->markColour(), Palette::dim(false));
    EXPECT_EQ(hidden->title(), test::phantomKey());
    auto* card = qobject_cast<Card*>(hidden->parentWidget());
    EXPECT_FALSE(shows(card, PaneView::removeTitle(Step::accessibility)));
    EXPECT_EQ(test::visibleChildren<FindingRow>(card).size(), 1);

    // The next photo, two seconds on, with the decision as it was, keeps the
    // page: a row's open evidence and its selection, the focus.
    test::render(&page, 600);
    FindingRow* before = rowWithId(&page, ghost);
    before->whyButton()->press();
    test::settle();
    const QPointer<QLabel> evidence = before->evidenceLabels().first();
    evidence->setSelection(0, 4);
    const QPointer<QWidget> next = test::buttonTitled(&page, "Next: Login Items  →");
    next->setFocus();
    const QPointer<PhotoView> photoView = test::visibleChildren<PhotoView>(&page).first();
    const int builds = page.builds();
    const qint64 photo = m.photo()->cacheKey();
    int newDecisions = 0;
    QObject::connect(&m, &AppModel::decisionChanged, &page, [&] { ++newDecisions; });
    world.beatAfter(AppModel::photoInterval + 0.1);
    test::settle();
    ASSERT_EQ(newDecisions, 0);
    ASSERT_NE(m.photo()->cacheKey(), photo);
    EXPECT_EQ(page.builds(), builds);
    ASSERT_FALSE(evidence.isNull() || next.isNull() || photoView.isNull());
    EXPECT_TRUE(evidence->isVisibleTo(&page) && evidence->hasSelectedText());
    EXPECT_TRUE(next->hasFocus());
    EXPECT_EQ(photoView->photo().cacheKey(), m.photo()->cacheKey());

    // Another record changes the decision: the lists are drawn again.
    test::writeLeftoverTcc(world, true, true);
    world.beatAfter(AppModel::storeMaxAge + 0.1);
    test::settle();
    FindingRow* again = rowWithId(&page, ghost);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, before);
    EXPECT_TRUE(again->showsWhy());
    EXPECT_TRUE(shows(&page, PaneView::hiddenTitle(2, true)));

    test::writeLeftoverTcc(world, false);
    world.beatAfter(AppModel::storeMaxAge + 0.1);
    test::writeLeftoverTcc(world, true);
    world.beatAfter(AppModel::storeMaxAge + 0.1);
    ASSERT_TRUE(m.tickedOff().contains(ghost));
    ASSERT_EQ(PaneView::split(m.decision()).remove.size(), 1);
    test::settle();
    FindingRow* ticked = rowWithId(&page, ghost);
    ASSERT_NE(ticked, nullptr);
    EXPECT_EQ(ticked->mark(), QStringLiteral("✓"));
    EXPECT_EQ(ticked->markColour(), Palette::green(false));
    EXPECT_TRUE(
        shows(qobject_cast<Card*>(ticked->parentWidget()), PaneView::removeTitle(Step::accessibility)));

    test::pressAndSettle(&page, hideOne);
    EXPECT_EQ(rowWithId(&page, phantom), nullptr);
}

// Screen Recording turned on: the hint goes (no photo yet); an answer about
// explanations draws the explanation card again, alone.
TEST_F(PaneViewTest, HintAndExplanationsFollowTheModelWithoutRedrawingTheLists) {
    world.photo.permitted = false;
    AppModel& m = leftoversOn(Step::loginItems);
    PaneView page(m, false);
    test::pressAndSettle(&page, showOne);
    FindingRow* hidden = rowWithId(&page, "h:8.com.example.TESTgone");
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(showsPart(&page, screenHint));
    const qsizetype cards = test::visibleChildren<ExplainCard>(&page).size();
    const int builds = page.builds();

    world.photo.permitted = true;
    m.refreshGrants();
    test::settle();
    EXPECT_FALSE(showsPart(&page, screenHint));
    EXPECT_TRUE(test::visibleChildren<PhotoView>(&page).isEmpty());
    m.setAiConsent(m.aiConsent() == 1 ? 2 : 1);
    test::settle();
    EXPECT_EQ(test::visibleChildren<ExplainCard>(&page).size(), cards);
    EXPECT_EQ(page.builds(), builds);
    EXPECT_EQ(rowWithId(&page, "h:8.com.example.TESTgone"), hidden);
}

// ---- The explanation card ---------------------------------------------------------

using ExplainCardTest = PaneViewTest;

QList<ExplainItem> items(int n, bool withId = true) {
    QList<ExplainItem> list;
    for (int i = 1; i <= n; ++i) {
        ExplainItem item;
        item.key = QStringLiteral("k%1").arg(i);
        item.name = QStringLiteral("TESTitem%1").arg(i);
        if (withId)
            item.id = QStringLiteral("com.example.TEST%1").arg(i);
        list.append(item);
    }
    return list;
}

TEST_F(ExplainCardTest, QuestionConsentListNameLineAndSentence) {
    EXPECT_EQ(ExplainCard::question(1), QStringLiteral("Explain 1 unfamiliar item with AI?"));
    EXPECT_EQ(ExplainCard::question(2), QStringLiteral("Explain 2 unfamiliar items with AI?"));
    // Twelve names, then the rest counted.
    const std::tuple<int, int, const char*> cases[] = {
        {12, 12, "TESTitem12 · com.example.TEST12"}, {13, 13, "… and 1 more"}, {40, 13, "… and 28 more"}};
    for (const auto& [n, count, last] : cases) {
        const QStringList lines = ExplainCard::consentList(items(n)).split(QLatin1Char('\n'));
        EXPECT_EQ(lines.size(), count) << n;
        EXPECT_EQ(lines.last(), QString::fromUtf8(last)) << n;
        EXPECT_EQ(lines.first(), QStringLiteral("TESTitem1 · com.example.TEST1"));
    }
    const ExplainItem bare = items(1, false).first();
    EXPECT_EQ(ExplainCard::consentList({bare}), QStringLiteral("TESTitem1"));
    EXPECT_EQ(ExplainCard::nameLine(bare), QStringLiteral("TESTitem1"));
    const QList<ExplainItem> list = items(2);
    EXPECT_EQ(ExplainCard::nameLine(list[0]), QStringLiteral("TESTitem1  ·  com.example.TEST1"));
    ExplanationMap answers;
    answers.insert("k1", Explanation{"x", "Keeps x current.", Explanation::Source::rules});
    EXPECT_EQ(ExplainCard::sentence(list[0], answers), QStringLiteral("Keeps x current."));
    EXPECT_EQ(ExplainCard::sentence(list[1], answers), QStringLiteral("No explanation yet."));
}

// Demo mode lists the made-up items; a name of the person's, pending from
// before, is never offered beside them: the question names what a yes would
// send. Back on the person's page, the unknown item asks for consent, and
// the answer removes the prompt.
TEST_F(ExplainCardTest, UnknownItemAsksConsentButNeverBesideTheMadeUpItems) {
    world.writeBtm({test::agentItem("<i>TESTmystery</i>", "com.example.TESTmystery",
                                    "/Users/anna/Library/LaunchAgents/m.plist", true, "/opt/m")});
    AppModel& m = world.startModel();
    ASSERT_EQ(m.aiConsent(), 0);
    m.go(Step::loginItems);
    ASSERT_FALSE(m.explainPending().isEmpty());
    m.setDemo(true);
    m.go(Step::loginItems);
    EXPECT_EQ(m.consentItems(), ExplainPage::withoutRule(m.explainItems()));
    {
        ExplainCard card(m, true);
        EXPECT_FALSE(test::showsPart(&card, "TESTmystery"));
        EXPECT_EQ(card.asksConsent(), !m.consentItems().isEmpty());
        EXPECT_TRUE(shows(&card, "Everything else running in the background, in plain English"));
        for (const ExplainItem& item : m.explainItems())
            EXPECT_TRUE(shows(&card, ExplainCard::nameLine(item))) << item.name.toStdString();
    }
    m.setDemo(false);
    m.go(Step::loginItems);
    ASSERT_FALSE(m.explainPending().isEmpty());
    PaneView page(m, false);
    auto cards = test::visibleChildren<ExplainCard>(&page);
    ASSERT_EQ(cards.size(), 1);
    EXPECT_TRUE(cards[0]->asksConsent());
    EXPECT_TRUE(shows(&page, ExplainCard::question(m.explainPending().size())));
    // The record's name, tags and all, is shown as text.
    EXPECT_TRUE(test::showsPart(&page, "<i>TESTmystery</i>"));

    test::press(&page, "Explain them");
    EXPECT_EQ(m.aiConsent(), 1);
    test::settle();
    cards = test::visibleChildren<ExplainCard>(&page);
    ASSERT_EQ(cards.size(), 1);
    EXPECT_FALSE(cards[0]->asksConsent());
    EXPECT_EQ(test::buttonTitled(&page, "Explain them"), nullptr);
    // A stored "no" is an answer too: no prompt.
    m.setAiConsent(2);
    EXPECT_FALSE(ExplainCard(m, false).asksConsent());
}

}  // namespace
}  // namespace rk
