// The main window's content: step tabs, the page of each step, the footer,
// the settings card behind the gear, the Done page, and the Start page's
// scan line, jobs and grants.

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <memory>

#include "finder/BackgroundStore.h"
#include "finder/TCCStore.h"
#include "permissions/PermissionProbes.h"
#include "platform/Workspace.h"
#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"
#include "support/UiProbe.h"
#include "ui/Controls.h"
#include "ui/DoneView.h"
#include "ui/PaneView.h"
#include "ui/Rendering.h"
#include "ui/RootView.h"
#include "ui/SettingsCard.h"
#include "ui/StartView.h"

namespace rk {
namespace {

using test::press;
using test::shows;

const QString showOne = QStringLiteral("Show 1 more that need nothing from you");
const QString hideOne = QStringLiteral("Hide 1 more that need nothing from you");

class RootViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }
    void SetUp() override {
        RootView::setMoveInPageFactory([](AppModel&, bool, QWidget* parent) {
            return new QLabel(QStringLiteral("TEST Move-In page"), parent);
        });
    }
    void TearDown() override {
        shown_.reset();
        RootView::setMoveInPageFactory({});
    }

    // Goes to a System Settings step with System Settings showing its page.
    void showStep(AppModel& m, Step step) {
        m.go(step);
        world.settings.showPage(step == Step::accessibility ? test::SimulatedPage::accessibility
                                                            : test::SimulatedPage::loginItems);
        world.beat();
        test::settle();
    }

    // The window over a model started with leftovers to find, shown at
    // `size` on the Start page; it lasts until the test ends.
    RootView& showWithLeftovers(QSize size) {
        test::writeLeftovers(world);
        shown_ = std::make_unique<RootView>(world.startModel(), false);
        shown_->resize(size);
        shown_->show();
        return *shown_;
    }

    StaticRenderingScope still;
    test::ModelWorld world;
    test::RecordingActions actions;
    std::unique_ptr<RootView> shown_;
};

// The current tab is a gold capsule with dark semibold text; pressing it
// again resets the page (its guide is cleared).
TEST_F(RootViewTest, TabsShowTheCurrentStepAndPressingOneCallsGo) {
    AppModel& m = world.startModel();
    RootView root(m, true);
    QStringList titles;
    for (StepTab* tab : root.tabs()) {
        titles.append(tab->text());
        const bool current = tab->step() == Step::start;
        EXPECT_EQ(tab->titleColour(), current ? Color::hex(0x1D1D1F) : Palette::dim(true));
        EXPECT_EQ(tab->font().weight(), current ? QFont::DemiBold : QFont::Normal);
    }
    EXPECT_EQ(titles, (QStringList{"Start", "Accessibility", "Login Items", "Move-In", "Done"}));
    const QImage image = test::render(&root);
    StepTab* start = root.tabs()[0];
    EXPECT_TRUE(test::near(test::pixel(image, start->mapTo(&root, QPoint(4, start->height() / 2))),
                           Palette::gold(), 3));
    root.show();
    test::clickCentre(root.tabs()[2]);
    EXPECT_EQ(m.step(), Step::loginItems);
    test::settle();
    EXPECT_TRUE(root.tabs()[2]->isCurrent());
    EXPECT_FALSE(root.tabs()[0]->isCurrent());
    m.openPane();
    ASSERT_EQ(m.phase(), Phase::working);
    test::clickCentre(root.tabs()[2]);
    EXPECT_EQ(m.phase(), Phase::idle);
    EXPECT_EQ(world.counters->snapshot().value(QStringLiteral("page.loginItems")), 2);
}

// Toggles survive the page's redraws: the Start page's list of gone jobs
// and the settings page's hidden list, open evidence and settings card
// across a scheme change; one page serves both settings steps, its hidden
// list still open with that page's record. Back from another step, a new
// settings page starts closed.
TEST_F(RootViewTest, PageKindsSwapAndTogglesSurviveASchemeChange) {
    RootView& root = showWithLeftovers({700, 600});
    AppModel& m = *world.model;
    test::settle();
    test::pressAndSettle(root.page(), "Show it");
    root.setDarkOverride(true);
    test::settle();
    auto* start = qobject_cast<StartView*>(root.page());
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->dark());
    EXPECT_TRUE(start->showsJobs());

    showStep(m, Step::accessibility);
    auto* pane = qobject_cast<PaneView*>(root.page());
    ASSERT_NE(pane, nullptr);
    test::pressAndSettle(pane, showOne);
    showStep(m, Step::loginItems);
    EXPECT_EQ(root.page(), pane);
    EXPECT_TRUE(shows(pane, hideOne));
    EXPECT_TRUE(shows(pane, "TESTgone agent"));
    EXPECT_FALSE(shows(pane, test::phantomKey()));
    showStep(m, Step::accessibility);
    EXPECT_TRUE(shows(pane, test::phantomKey()));
    test::pressAndSettle(pane, "How I know");
    root.gear()->click();
    const QPointer<SettingsCard> before = root.settingsCard();
    test::clickCentre(root.settingsCard()->aiSwitch());
    ASSERT_EQ(m.aiConsent(), 1);

    root.setDarkOverride(false);
    test::settle();
    auto* again = qobject_cast<PaneView*>(root.page());
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, pane);
    EXPECT_FALSE(again->dark());
    EXPECT_TRUE(shows(again, test::phantomKey()));
    EXPECT_NE(test::buttonTitled(again, "Hide how I know"), nullptr);
    // The card stays open, drawn again for the new scheme above the new
    // gear, its switches as they were.
    ASSERT_TRUE(root.showsSettings());
    EXPECT_NE(root.settingsCard(), before.data());
    EXPECT_TRUE(root.settingsCard()->aiSwitch()->isOn());
    EXPECT_FALSE(root.settingsCard()->demoSwitch()->isOn());
    EXPECT_TRUE(root.settingsCard()->window()->isVisible());
    const QPoint gear = root.gear()->mapToGlobal(QPoint(0, 0));
    EXPECT_LE(root.settingsCard()->window()->geometry().bottom(), gear.y());
    EXPECT_GT(gear.y(), 0);
    root.gear()->click();
    test::settle();
    EXPECT_FALSE(root.showsSettings());

    m.go(Step::moveIn);
    test::settle();
    EXPECT_TRUE(shows(&root, "TEST Move-In page"));
    m.go(Step::done);
    test::settle();
    EXPECT_NE(qobject_cast<DoneView*>(root.page()), nullptr);
    showStep(m, Step::accessibility);
    auto* fresh = qobject_cast<PaneView*>(root.page());
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->showsHidden());
}

TEST_F(RootViewTest, FooterNamesTheMacOnOneLineWithItsModelWhenKnown) {
    EXPECT_EQ(RootView::macLine(QStringLiteral("Anna's Mac"), QString()), QStringLiteral("Anna's Mac"));
    EXPECT_EQ(RootView::macLine(QStringLiteral("Anna's Mac"), QStringLiteral("MacBook Air")),
              QStringLiteral("Anna's Mac · MacBook Air"));
    world.seams.hostName = QStringLiteral("A very long computer name that goes on and on, ").repeated(4);
    AppModel& m = world.startModel();
    RootView root(m, false);
    test::render(&root, 600);
    EXPECT_EQ(root.versionLine(), QStringLiteral("Version 1.2 (34)"));
    const ElidedLabel* line = test::visibleChildren<ElidedLabel>(&root).first();
    EXPECT_EQ(line->text(), RootView::macLine(m.macName(), m.macModel()));
    EXPECT_TRUE(line->shownText().endsWith(QChar(0x2026)));
    EXPECT_EQ(line->height(), line->fontMetrics().height());
}

// The gear opens a fresh card with the model's switches each time, closed
// from outside (a click elsewhere) or by the gear. The AI switch stores 1
// and 2, never 0 (not asked), and a stored "no" opens as off; demo mode
// resets the page; the buttons are the delegate's menu actions, not counted
// as the Start page's permission button is.
TEST_F(RootViewTest, GearOpensAFreshCardWithTheModelsSwitchesAndButtons) {
    AppModel& m = world.startModel(Step::loginItems);
    world.beat();
    RootView root(m, false);
    root.show();
    test::settle();
    root.gear()->click();
    ASSERT_TRUE(root.showsSettings());
    EXPECT_FALSE(root.settingsCard()->demoSwitch()->isOn() || root.settingsCard()->aiSwitch()->isOn());
    EXPECT_TRUE(root.settingsCard()->updatesArea()->isHidden());  // no updater in this build
    test::clickCentre(root.settingsCard()->aiSwitch());
    EXPECT_EQ(m.aiConsent(), 1);
    test::clickCentre(root.settingsCard()->aiSwitch());
    EXPECT_EQ(m.aiConsent(), 2);
    m.openPane();
    ASSERT_EQ(m.phase(), Phase::working);
    test::clickCentre(root.settingsCard()->demoSwitch());
    EXPECT_TRUE(m.demo());
    EXPECT_EQ(m.step(), Step::loginItems);
    EXPECT_EQ(m.phase(), Phase::idle);
    world.beat();
    EXPECT_FALSE(m.decision().findings.isEmpty());
    press(root.settingsCard(), "Permissions…");
    press(root.settingsCard(), "Save Diagnostics…");
    EXPECT_TRUE(root.settingsCard()->savedLine().isEmpty());
    actions.savedLine = "Saved to /home/anna/Desktop/d.json. Its folder could not be shown on this computer.";
    press(root.settingsCard(), "Save Diagnostics…");
    EXPECT_EQ(root.settingsCard()->savedLine(), actions.savedLine);
    EXPECT_EQ(actions.permissions, 1);
    EXPECT_EQ(actions.diagnostics, 2);
    EXPECT_EQ(world.counters->snapshot().value(QStringLiteral("permissions.open")), 0);

    root.settingsCard()->window()->close();
    test::settle();
    EXPECT_FALSE(root.showsSettings());
    root.gear()->click();
    EXPECT_TRUE(root.settingsCard()->demoSwitch()->isOn());
    EXPECT_FALSE(root.settingsCard()->aiSwitch()->isOn());
    root.gear()->click();
    test::settle();
    EXPECT_FALSE(root.showsSettings());
    m.setAiConsent(1);
    root.gear()->click();
    EXPECT_TRUE(root.settingsCard()->aiSwitch()->isOn());
}

// Opened at the window's size at launch (600 by 820) and at its narrowest
// and least height (560), the settings card lies inside the window.
TEST_F(RootViewTest, SettingsCardOpensInsideTheWindow) {
    AppModel& m = world.startModel();
    RootView root(m, false);
    for (const QSize size : {QSize(600, 820), QSize(root.minimumSizeHint().width(), 560)}) {
        root.resize(size);
        root.show();
        test::settle();
        root.gear()->click();
        ASSERT_TRUE(root.showsSettings());
        const QRect window(root.mapToGlobal(QPoint(0, 0)), root.size());
        const QRect card = root.settingsCard()->window()->geometry();
        EXPECT_TRUE(window.contains(card))
            << root.width() << " wide: card's right edge " << card.right() << ", window's " << window.right();
        root.gear()->click();
        test::settle();
    }
}

// Tab stops at the tabs, each page's controls and the gear, and each shows
// the ring while it holds the focus: nothing takes the focus unseen.
TEST_F(RootViewTest, EveryTabStopShowsTheFocusRing) {
    RootView& root = showWithLeftovers({600, 820});
    AppModel& m = *world.model;
    for (const Step step : Step::allCases()) {
        showStep(m, step);
        root.refreshNow();
        test::settle();
        const QList<test::TabStop> stops = test::tabStops(&root);
        EXPECT_GE(stops.size(), 6) << step.title().toStdString() << ": the tabs, the gear";
        for (const test::TabStop& stop : stops)
            EXPECT_TRUE(stop.ring) << step.title().toStdString() << ": " << stop.name.toStdString();
    }
}

// Tab from the gear, or Shift-Tab from the first tab, enters a page scrolled
// the other way: the control it reaches comes into sight with its ring.
TEST_F(RootViewTest, TabIntoAScrolledPageShowsTheControlItReaches) {
    RootView& root = showWithLeftovers({600, 400});
    AppModel& m = *world.model;
    showStep(m, Step::accessibility);
    root.refreshNow();
    test::settle();
    QScrollBar* bar = root.pageArea()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the page must be taller than the window";
    const struct {
        QWidget* from;
        Qt::Key key;
        int scrolled;
    } cases[] = {{root.gear(), Qt::Key_Tab, bar->maximum()}, {root.tabs().first(), Qt::Key_Backtab, 0}};
    for (const auto& c : cases) {
        bar->setValue(c.scrolled);
        c.from->setFocus(Qt::TabFocusReason);
        test::typeKey(c.from, c.key);
        test::settle();
        QWidget* reached = QApplication::focusWidget();
        ASSERT_TRUE(reached && root.page()->isAncestorOf(reached)) << test::describe(reached).toStdString();
        const QRect inView(reached->mapTo(root.pageArea()->viewport(), QPoint(0, 0)), reached->size());
        EXPECT_TRUE(root.pageArea()->viewport()->rect().contains(inView))
            << test::describe(reached).toStdString() << " at " << inView.y() << ", out of sight";
    }
}

// The settings card opened from the gear by keyboard, Tab into it and
// Escape: the focus is back on the gear, and its ring shows.
TEST_F(RootViewTest, GearShowsItsRingAgainWhenTheCardClosesByKeyboard) {
    AppModel& m = world.startModel();
    RootView root(m, false);
    root.show();
    root.activateWindow();
    test::settle();
    root.gear()->setFocus(Qt::TabFocusReason);
    test::typeKey(root.gear(), Qt::Key_Space);
    ASSERT_TRUE(root.showsSettings());
    test::typeKey(root.settingsCard()->window(), Qt::Key_Tab);
    QWidget* inCard = QApplication::focusWidget();
    ASSERT_TRUE(inCard && root.settingsCard()->isAncestorOf(inCard)) << test::describe(inCard).toStdString();
    test::typeKey(inCard, Qt::Key_Escape);
    test::settle();
    ASSERT_FALSE(root.showsSettings());
    root.activateWindow();  // off screen the closed card hands back no activation
    test::settle();
    EXPECT_EQ(QApplication::focusWidget(), root.gear())
        << test::describe(QApplication::focusWidget()).toStdString();
    EXPECT_TRUE(test::showsFocusRing(root.gear()));
}

// Without a compositor the card fills its window to every corner: no
// see-through pixel is left to come out black.
TEST_F(RootViewTest, PlainSettingsPopoverHasNoSeeThroughMargin) {
    AppModel& m = world.startModel();
    RootView root(m, true);
    SettingsPopover popover(m, true, root.gear(), &root, SettingsPopover::Look::plain);
    EXPECT_FALSE(popover.testAttribute(Qt::WA_TranslucentBackground));
    popover.adjustSize();
    const QImage image = popover.grab().toImage();
    EXPECT_TRUE(test::near(image.pixelColor(0, 0), Palette::line(true), 12));
    EXPECT_TRUE(test::near(image.pixelColor(image.width() / 2, image.height() - 2), Palette::card(true), 2));
}

TEST_F(RootViewTest, DonePageOpensEachPermissionPageAndStartsAgain) {
    AppModel& m = world.startModel(Step::done);
    DoneView page(m, false);
    EXPECT_TRUE(shows(&page, "All done"));
    EXPECT_TRUE(test::showsPart(&page, "Remove \"Rowkeeper\" from each"));
    // Where nothing opens System Settings, a line under the buttons says so.
    actions.linksOpen = false;
    press(&page, "Full Disk Access");
    page.refreshNow();
    EXPECT_TRUE(shows(&page, Workspace::settingsNotOpenedLine()));
    actions.linksOpen = true;
    for (const char* title : {"Accessibility", "Screen Recording"})
        press(&page, title);
    page.refreshNow();
    EXPECT_FALSE(shows(&page, Workspace::settingsNotOpenedLine()));
    EXPECT_EQ(actions.links,
              (QList<QUrl>{KTPermissionProbes::Pane::fullDisk(), KTPermissionProbes::Pane::accessibility(),
                           KTPermissionProbes::Pane::screenRecording()}));
    press(&page, "Start again");
    EXPECT_EQ(m.step(), Step::start);
}

// The page says that was everything only when both lists were read at the
// last read (or demo mode stood in for them); else which one was not.
TEST_F(RootViewTest, DonePageNamesAListItCouldNotRead) {
    const QString after =
        "Nothing needs a restart. An app you still use simply asks again if it ever needs one "
        "of these permissions back.";
    const struct {
        const char* name;
        QList<Step> missing;
        bool demo;
        QString text;
    } cases[] = {
        {"both read",
         {},
         false,
         "That is everything on both pages, and nothing needs a restart. An app you still use simply asks "
         "again "
         "if it ever needs one of these permissions back."},
        {"no privacy database",
         {Step::accessibility},
         false,
         "I could not read the Accessibility list, so this may not be everything on it. " + after},
        {"no store",
         {Step::loginItems},
         false,
         "I could not read the Login Items list, so this may not be everything on it. " + after},
        {"neither",
         {Step::accessibility, Step::loginItems},
         false,
         "I could not read the Accessibility and Login Items lists, so this may not be everything on them. " +
             after},
        {"neither, in demo mode",
         {Step::accessibility, Step::loginItems},
         true,
         "That is everything on both pages, and nothing needs a restart. An app you still use simply asks "
         "again "
         "if it ever needs one of these permissions back."},
    };
    for (const auto& c : cases) {
        test::ModelWorld here;
        for (const Step step : c.missing)
            ASSERT_TRUE(here.root.remove(step == Step::accessibility
                                             ? TCCStore::systemPath(here.root.paths())
                                             : BackgroundStore::folder(here.root.paths())))
                << c.name;
        AppModel& m = here.startModel(Step::done);
        m.setDemo(c.demo);
        DoneView page(m, false);
        EXPECT_TRUE(shows(&page, "All done")) << c.name;
        EXPECT_TRUE(shows(&page, c.text)) << c.name;
    }
}

TEST(ScanLineTest, SentencesFollowTheCounts) {
    const struct {
        int jobs;
        int gone;
        const char* text;
    } cases[] = {
        {0, 0, "Nothing is in this Mac's startup folders."},
        {1, 0,
         "One background job in this Mac's startup folders, and every one points at a program that is still "
         "here."},
        {3, 1,
         "Three background jobs in this Mac's startup folders; one of them points at a program that is no "
         "longer there."},
        {25, 12,
         "25 background jobs in this Mac's startup folders; 12 of them point at a program that is no longer "
         "there."},
        {3, 3,
         "Three background jobs in this Mac's startup folders, and all of them point at programs that are no "
         "longer there."},
        {1, 1,
         "One background job in this Mac's startup folders points at a program that is no longer there."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScanLine::text(c.jobs, c.gone), QString::fromUtf8(c.text)) << c.jobs << "/" << c.gone;
    EXPECT_EQ(ScanLine::word(0), QStringLiteral("no"));
}

// A job in the person's LaunchAgents whose program is an app in `apps`;
// with `present` its program exists.
void addJob(test::ModelWorld& world, const QString& label, bool present,
            const QString& apps = QStringLiteral("/Applications")) {
    const QString program = apps + "/" + label + ".app/Contents/MacOS/run";
    world.root.writeFile(world.root.paths().userLaunchAgents() + "/" + label + ".plist",
                         test::LaunchPlistWriter::write({label, program, {}}));
    if (present)
        world.root.writeFile(program, "#!/bin/sh\n");
}

// The button appears only when a job is gone and counts all of them; it
// opens the gone jobs alone, the home folder written "~"; a new page starts
// closed.
TEST(StartViewJobs, TheShowButtonOpensTheGoneJobsOnly) {
    test::ensureUiApplication();
    const struct {
        int kept;
        bool gone;
        QString show, hide;
    } cases[] = {{0, false, {}, {}},
                 {1, false, {}, {}},
                 {0, true, "Show it", "Hide it"},
                 {4, true, "Show them", "Hide them"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept + 10 * c.gone);
        test::ModelWorld world;
        for (int i = 0; i < c.kept; ++i)
            addJob(world, "com.example.TESTkept" + QString::number(i), true);
        if (c.gone)
            addJob(world, "com.example.TESTgone", false, QString::fromLatin1(world.home) + "/Applications");
        AppModel& m = world.startModel();
        StartView page(m, c.kept > 1);
        EXPECT_TRUE(shows(&page, ScanLine::text(c.kept + c.gone, c.gone)));
        if (c.show.isEmpty()) {
            EXPECT_FALSE(test::buttonTitled(&page, "Show it") || test::buttonTitled(&page, "Show them"));
            continue;
        }
        EXPECT_FALSE(shows(&page, "com.example.TESTgone"));
        test::pressAndSettle(&page, c.show);
        EXPECT_TRUE(page.showsJobs());
        EXPECT_TRUE(shows(&page, "com.example.TESTgone"));
        EXPECT_TRUE(shows(&page,
                          "Runs ~/Applications/com.example.TESTgone.app/Contents/MacOS/run, which is "
                          "gone. Set up by: you."));
        EXPECT_FALSE(shows(&page, "com.example.TESTkept0"));
        test::pressAndSettle(&page, c.hide);
        EXPECT_FALSE(shows(&page, "com.example.TESTgone"));
        press(&page, c.show);
        EXPECT_FALSE(StartView(m, false).showsJobs());
    }
}

using StartViewTest = RootViewTest;

TEST_F(StartViewTest, GrantRowsAndPermissionButtonFollowTheGrants) {
    world.photo.permitted = false;
    AppModel& m = world.startModel();
    StartView page(m, false);
    for (const char* row : {"Full Disk Access: on", "Accessibility: on", "Screen Recording (optional): off"})
        EXPECT_TRUE(shows(&page, row)) << row;
    EXPECT_NE(test::buttonTitled(&page, "Review permissions"), nullptr);

    // Accessibility taken away: the next probe turns the row and the button.
    world.settings.trusted = false;
    m.refreshGrants();
    test::settle();
    EXPECT_TRUE(shows(&page, "Accessibility: off"));
    EXPECT_NE(test::buttonTitled(&page, "Set up permissions"), nullptr);
}

TEST_F(StartViewTest, ButtonsOpenTheWizardCountingEachPressAndGoToTheSettingsSteps) {
    AppModel& m = world.startModel();
    StartView page(m, false);
    const QString title = StartView::permissionTitle(m.grants());
    press(&page, title);
    press(&page, title);
    EXPECT_EQ(actions.permissions, 2);
    EXPECT_EQ(world.counters->snapshot().value(QStringLiteral("permissions.open")), 2);
    press(&page, "Start with Accessibility  →");
    EXPECT_EQ(m.step(), Step::accessibility);
    press(&page, "Go to Login Items");
    EXPECT_EQ(m.step(), Step::loginItems);
}

}  // namespace
}  // namespace rk
