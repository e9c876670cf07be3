// The wizard's window and the walk through it, the permission screen while it
// waits, and the window shots.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <memory>

#include "permissions/screens/DoneScreen.h"
#include "permissions/screens/DragCompanion.h"
#include "permissions/screens/DragCompanionCard.h"
#include "permissions/screens/PermissionScreen.h"
#include "permissions/screens/PermissionWizardView.h"
#include "permissions/screens/PermissionWizardWindow.h"
#include "permissions/screens/Windowshot.h"
#include "support/ScreensFixture.h"
#include "support/UiProbe.h"
#include "support/WidgetProbe.h"

namespace rk {
namespace {

// Posted events run, closed windows are deleted.
void settleFor() {
    test::settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QList<KTPermissionWizardWindow*> wizardWindows() {
    QList<KTPermissionWizardWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<KTPermissionWizardWindow*>(widget))
            windows << window;
    return windows;
}

class WizardWindow : public testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        KTPermissionWizardWindow::install();
        KTPermissionWizard::configure(test::screensProduct(), test::screensBrand(),
                                      test::screensPermissions(&granted), false);
    }
    void TearDown() override { KTPermissionWizard::close(), settleFor(); }

    test::WizardSandbox sandbox;
    QSet<QString> granted{"access"};
};

TEST_F(WizardWindow, OneCentredWindowIsReusedAndClosingRewritesTheRecord) {
    const std::function<void()> closers[] = {
        [] { wizardWindows().first()->close(); },
        [] { test::press(wizardWindows().first(), "Not now"); },
    };
    for (const auto& closeIt : closers) {
        KTPermissionWizard::present(true);
        KTPermissionWizard::present(false);
        settleFor();
        ASSERT_EQ(wizardWindows().size(), 1);
        KTPermissionWizardWindow* window = wizardWindows().first();
        EXPECT_EQ(window->size(), QSize(660, 700));
        const QRect screen = window->screen()->availableGeometry();
        EXPECT_LE(std::abs(window->frameGeometry().center().x() - screen.center().x()), 1);
        QFile::remove(sandbox.dotFile("sampler", "permissions.json"));
        closeIt();
        settleFor();
        EXPECT_FALSE(KTPermissionWizard::isPresented());
        EXPECT_TRUE(wizardWindows().isEmpty());
        EXPECT_TRUE(QFile::exists(sandbox.dotFile("sampler", "permissions.json")));
    }
    // "Not now" skipped the two that were not granted.
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), (QSet<QString>{"disk", "screen"}));
}

// Tabs through `window` from no focus; each stop must draw the ring of the
// main window's controls. The number of stops.
int tabStops(QWidget* window) {
    settleFor();
    const QList<test::TabStop> stops = test::tabStops(window, 9);
    for (const test::TabStop& stop : stops)
        EXPECT_TRUE(stop.ring) << stop.name.toStdString();
    return int(stops.size());
}

// Get Started goes to the first permission not yet granted; Skip, Back and
// Continue move between the screens (the app's own walk ends it with Done).
// Tab reaches only controls that show its ring, on every screen and on the
// drag companion's card.
TEST_F(WizardWindow, GetStartedSkipBackContinueAndDoneWithAFocusRingAtEveryTabStop) {
    granted = {"disk"};
    KTPermissionWizard::present(true);
    settleFor();
    KTPermissionWizardWindow* window = wizardWindows().first();
    KTPermissionWizardView* view = window->view();
    window->activateWindow();
    EXPECT_EQ(tabStops(window), 2) << "Get Started, Not now";
    const auto shown = [view] {
        settleFor();
        if (auto* screen = qobject_cast<PermissionScreen*>(view->screen()))
            return screen->layout().stepLine;
        return QString(qobject_cast<DoneScreen*>(view->screen()) ? "done" : "other");
    };
    test::press(view, "Get Started");
    EXPECT_EQ(shown(), "Step 2 of 3") << "the first permission not yet granted";
    EXPECT_EQ(tabStops(window), 3) << "Enable, Skip for now, Back";
    test::FakeWorkspace workspace;
    test::ScopedCurrent<Workspace> installed(&workspace);
    test::press(view, "Enable Accessibility");
    EXPECT_EQ(tabStops(window), 3) << "Waiting, Skip for now, Back; the waiting text's link is for the mouse";
    test::press(view, "Skip for now");
    EXPECT_EQ(shown(), "Step 3 of 3");
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), QSet<QString>{"access"});
    test::press(view, "Back");
    test::press(view, "Back");
    EXPECT_EQ(shown(), "Step 1 of 3");
    EXPECT_EQ(test::buttonTitled(view, "Back"), nullptr) << "the first of several has no Back";
    EXPECT_EQ(tabStops(window), 1) << "Continue";
    test::press(view, "Continue");
    test::press(view, "Skip for now");
    test::press(view, "Skip");
    EXPECT_EQ(shown(), "done");
    EXPECT_EQ(tabStops(window), 2) << "Done, Back";
    test::press(view, "Back");
    EXPECT_EQ(shown(), "Step 3 of 3") << "Back from the done screen returns to the last permission";
    // A grant arriving on the open screen turns that same screen green.
    QWidget* screen = view->screen();
    granted << "screen";
    view->refresh();
    EXPECT_EQ(view->screen(), screen);
    EXPECT_EQ(qobject_cast<PermissionScreen*>(screen)->layout().badge, PermissionSections::Badge::granted);
    KTDragCompanionCard card(test::screensBrand(), {"Sampler", "Full Disk Access"}, {});
    card.show();
    card.activateWindow();
    EXPECT_EQ(tabStops(&card), 2) << "Show in Finder, close";
}

// By keyboard alone: Space leaves the focus, with its ring, on the button
// pressed (drawn again with its new title) or on the button the person goes
// on with on the next screen; never on "Back", where a second Space would
// go a step back.
TEST_F(WizardWindow, SpaceKeepsTheFocusOnThePressedButtonOrTheNextOne) {
    granted = {};
    KTPermissionWizard::present(true);
    settleFor();
    KTPermissionWizardWindow* window = wizardWindows().first();
    window->activateWindow();
    test::FakeWorkspace workspace;
    test::ScopedCurrent<Workspace> installed(&workspace);
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    const auto focusIs = [window](const QString& title) {
        settleFor();
        QWidget* focused = QApplication::focusWidget();
        EXPECT_EQ(focused, test::buttonTitled(window, title))
            << "wanted \"" << title.toStdString() << "\", focus on " << test::describe(focused).toStdString();
        EXPECT_TRUE(focused && test::showsFocusRing(focused)) << title.toStdString();
        return focused;
    };
    const std::pair<Qt::Key, const char*> walk[] = {
        {Qt::Key_Tab, "Get Started"},
        {Qt::Key_Space, "Enable Full Disk Access"},
        {Qt::Key_Space, "Waiting for macOS"},
        {Qt::Key_Tab, "Skip for now"},
        {Qt::Key_Space, "Enable Accessibility"},
        {Qt::Key_Space, "Waiting for macOS"},
        {Qt::Key_Tab, "Skip for now"},
        {Qt::Key_Space, "Enable Screen Recording"},
        {Qt::Key_Space, "Waiting for macOS"},
        {Qt::Key_Tab, "Skip"},
        {Qt::Key_Space, "Done"},
        {Qt::Key_Tab, "Back"},
        {Qt::Key_Space, "Back"},
        {Qt::Key_Space, "Back"},
        {Qt::Key_Space, "Enable Full Disk Access"},  // the first screen has no Back
    };
    QWidget* focused = window;
    for (const auto& [key, title] : walk) {
        test::typeKey(focused ? focused : window, key);
        focused = focusIs(title);
    }
    // A grant arriving while it waits: the same button goes on.
    test::typeKey(focused, Qt::Key_Space);
    focusIs("Waiting for macOS");
    granted << "disk";
    window->view()->refresh();
    focusIs("Continue");
}

// The frames per permission and for former identities; the height and the
// verdicts around the minimum and the fold.
TEST(Windowshot, HeightAndVerdictsAroundTheMinimumAndTheFold) {
    QSet<QString> none;
    const QList<KTPermission> permissions = test::screensPermissions(&none);
    KTWizardProduct product = test::screensProduct();
    const QList<KTWindowshot::Frame> frames = KTWindowshot::frames(product, permissions);
    QStringList names;
    for (const KTWindowshot::Frame& frame : frames)
        names << frame.name;
    EXPECT_EQ(names,
              (QStringList{"summary", "disk", "disk-waiting", "disk-granted", "access", "access-waiting",
                           "access-granted", "screen", "screen-waiting", "screen-granted", "done"}));
    EXPECT_EQ(frames[6], (KTWindowshot::Frame{.name = "access-granted", .step = 1, .granted = {"access"}}));
    product.legacyBundleIdentifiers = {"org.example.old"};
    EXPECT_EQ(KTWindowshot::frames(product, permissions)[4].name, "disk-legacy-cleared");
    EXPECT_EQ(KTWindowshot::cardPaneName(permissions), "Full Disk Access");

    const std::pair<std::optional<QString>, double> cases[] = {
        {std::nullopt, 700}, {"600.9", 600.9}, {"1", 1},       {"10000", 10000}, {"abc", 700},
        {"nan", 700},        {"inf", 700},     {"-500", 700},  {"0", 700},       {"1e308", 700},
        {"10000.5", 700},    {" 600", 700},    {"600px", 700}, {"", 700},
    };
    for (const auto& [variable, height] : cases)
        EXPECT_EQ(KTWindowshot::height(variable), height) << variable.value_or("(unset)").toStdString();
    using V = KTWindowshot::Verdict;
    EXPECT_EQ(KTWindowshot::verdict(559.6, std::nullopt),
              (V{"fit NOT MEASURED (no scroll view on this screen)", false}));
    EXPECT_EQ(KTWindowshot::verdict(559.4, 0), (V{"CLIPPED by 1pt (window below the 560pt minimum)", true}));
    EXPECT_EQ(KTWindowshot::verdict(500, 0), (V{"CLIPPED by 60pt (window below the 560pt minimum)", true}));
    EXPECT_EQ(KTWindowshot::verdict(700, 0.5), (V{"fits", false}));
    EXPECT_EQ(KTWindowshot::verdict(700, 0.6), (V{"OVERFLOWS by 1pt", true}));

    // A grant ticked but dead, after a relaunch (the window shots draw every
    // other screen in both schemes): the brand's ground fills the window.
    test::ensureApplication();
    test::WizardSandbox sandbox;
    test::RecordingEnvironment recorder;
    const KTWizardForcing forcing{.initialStep = 0,
                                  .grants = KTGrantMap{{"disk", false}},
                                  .tickedDead = QSet<QString>{"disk"},
                                  .relaunched = true};
    KTPermissionWizardView view(
        test::screensBrand(), test::screensProduct(), permissions, [] {}, forcing, recorder.environment());
    view.setDarkOverride(true);
    view.resize(660, 700);
    view.show();
    settleFor();
    const QImage image = view.grab().toImage();
    EXPECT_FALSE(test::savePng(image, "wizard-disk-ticked-dead-dark").isEmpty());
    EXPECT_TRUE(test::near(test::pixel(image, {2, 2}), Palette::ground(true)));
}

class WindowshotRun : public testing::Test {
protected:
    void SetUp() override { test::ensureApplication(); }

    int run(const QString& outDir, double height = 700) {
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        // A former identity adds a screen for each permission's cleared grants.
        KTWizardProduct product = test::screensProduct();
        product.legacyBundleIdentifiers = {"org.example.old"};
        return KTWindowshot::run(test::screensBrand(), product, test::screensPermissions(&granted), outDir,
                                 height, outStream, errStream,
                                 [](int) { QCoreApplication::processEvents(); });
    }
    QStringList lines(const QString& text) const { return text.split('\n', Qt::SkipEmptyParts); }

    test::WizardSandbox sandbox;
    QSet<QString> granted;
    QString out;
    QString err;
};

TEST_F(WindowshotRun, WritesEveryScreenAndCardAsAPicture) {
    QTemporaryDir folder;
    EXPECT_EQ(run(folder.path() + "/shots"), 0) << out.toStdString();
    const QStringList written = QDir(folder.path() + "/shots").entryList(QDir::Files);
    EXPECT_EQ(written.size(), 32);
    for (const QString& name : written) {
        const QImage image(folder.path() + "/shots/" + name);
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        // The brand's ground fills the window behind every screen.
        if (name.startsWith("window-")) {
            EXPECT_TRUE(test::near(test::pixel(image, {2, 2}), Palette::ground(name.endsWith("-dark.png"))))
                << name.toStdString();
        }
    }
    const QStringList printed = lines(out);
    ASSERT_EQ(printed.size(), 33);
    const QString wrote = "wrote " + folder.path() + "/shots/window-";
    EXPECT_EQ(printed.first(), wrote + "summary-dark.png  fit NOT MEASURED (no scroll view on this screen)");
    EXPECT_EQ(printed[1], wrote + "disk-dark.png  fits");
    EXPECT_EQ(printed.last(), "windowshot: 32 frames at 660x700 (+4 drag-companion cards)");
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(WindowshotRun, NothingWrittenIsNothingClaimed) {
    QTemporaryDir folder;
    // No folder can be made inside a file, whoever runs the test.
    ASSERT_TRUE(QFile(folder.filePath("file")).open(QIODevice::WriteOnly));
    EXPECT_EQ(run(folder.filePath("file/shots"), 500), 1);
    EXPECT_EQ(lines(err).size(), 32);
    EXPECT_EQ(lines(err).first(),
              "windowshot: could not write " + folder.filePath("file/shots") +
                  "/window-summary-dark.png: could not make or open the folder (errno 20)");
    const QStringList printed = lines(out);
    EXPECT_EQ(printed.first(), "windowshot: NOT MEASURED, 0 of 32 frames");
    EXPECT_TRUE(
        printed.last().startsWith("windowshot: content runs past the fold on summary-dark, disk-dark,"));
}

class Waiting : public testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        permissions = test::screensPermissions(&granted);
        permissions[1].restartsOnStaleGrant = true;
        KTPermissionWizard::configure(test::screensProduct(), test::screensBrand(), permissions, false);
        KTPermissionWizard::freshProcessGrants = [this] { return answer; };
        KTPermissionWizard::staleGrantRestart = [this](const QStringList& outstanding) {
            restarts << outstanding;
            return restartStarts;
        };
    }
    void TearDown() override { KTDragCompanion::shared().hide(); }

    std::unique_ptr<PermissionScreen> screen(int index) {
        const PermissionScreen::Inputs inputs{.product = test::screensProduct(),
                                              .permission = permissions[index],
                                              .index = index,
                                              .total = int(permissions.size())};
        return std::make_unique<PermissionScreen>(test::screensBrand(), false, inputs, recorder.environment(),
                                                  nullptr, nullptr);
    }
    static void ticks(PermissionScreen& screen, int seconds) {
        for (int second = 0; second < seconds; ++second)
            screen.waitTick();
    }
    // The questions sent so far are answered, and the answers arrive.
    void answerQuestions() {
        for (const auto& work : std::exchange(recorder.background, {}))
            work();
        QCoreApplication::processEvents();
    }

    test::WizardSandbox sandbox;
    test::FakeWorkspace workspace;
    test::ScopedCurrent<Workspace> installed{&workspace};
    QSet<QString> granted;
    QList<KTPermission> permissions;
    test::RecordingEnvironment recorder;
    std::optional<KTGrantMap> answer;
    bool restartStarts = false;
    QList<QStringList> restarts;
};

TEST_F(Waiting, AFreshCopyIsAskedEveryThirdSecondAndTheCompanionComesAndGoes) {
    auto access = screen(1);
    access->show();
    ticks(*access, 1);
    EXPECT_EQ(access->facts().waitedSeconds, 0);  // nothing counts before the press
    EXPECT_FALSE(access->waitTickerRunning());
    access->primaryAction();
    EXPECT_EQ(workspace.opened, QList<QUrl>{KTPermissionProbes::Pane::accessibility()});
    EXPECT_TRUE(access->waitTickerRunning());  // while the waiting text is on screen
    QList<int> askedAt;
    for (int second = 1; second <= 12; ++second) {
        const qsizetype before = recorder.background.size();
        ticks(*access, 1);
        if (recorder.background.size() > before)
            askedAt << second;
        if (second < 6 || second > 9)  // the question of the 6th second is still out at the 9th
            answerQuestions();
    }
    EXPECT_EQ(askedAt, (QList<int>{3, 6, 12}));
    access->hide();
    EXPECT_FALSE(access->waitTickerRunning());

    // The companion comes with the press and at twenty seconds, and goes with the screen.
    KTPermissionWizard::freshProcessGrants = nullptr;  // counting and offers work without it
    KTDragCompanion& companion = KTDragCompanion::shared();
    auto disk = screen(0);
    disk->primaryAction();
    EXPECT_EQ(companion.mode(), KTDragCompanionMode::manualAdd);
    companion.hide();
    ticks(*disk, 19);
    EXPECT_FALSE(companion.isShowing());
    ticks(*disk, 1);
    EXPECT_EQ(companion.mode(), KTDragCompanionMode::notInList);
    disk->setGrant(true, false);
    EXPECT_FALSE(companion.isShowing());

    disk = screen(0);
    disk->primaryAction();
    disk.reset();
    EXPECT_FALSE(companion.isShowing());
    companion.show(test::screensProduct(), test::screensBrand(), permissions[0],
                   KTDragCompanionMode::manualAdd);
    screen(1).reset();
    EXPECT_EQ(companion.permissionID(), "disk");  // shown for another permission: stays
    companion.hide();

    // A list that takes no dragged app: the program is shown in the file manager.
    test::FakeFileViewer viewer;
    test::ScopedCurrent<FileViewer> shown(&viewer);
    permissions[0].settingsURL = KTPermissionProbes::Pane::loginItems();
    screen(0)->primaryAction();
    EXPECT_EQ(viewer.revealed, QStringList{"/Applications/Sample.app"});
    EXPECT_FALSE(companion.isShowing());
}

TEST_F(Waiting, AFreshCopyHoldingTheGrantRestartsTheAppEvenAfterTheScreenIsGone) {
    auto access = screen(1);
    access->primaryAction();
    answer = KTGrantMap{{"disk", true}, {"access", false}};
    ticks(*access, 3);
    answerQuestions();
    EXPECT_TRUE(restarts.isEmpty());  // true for another permission only

    // The successor cannot start: the app keeps running, the screen waiting with its link.
    answer = KTGrantMap{{"access", true}};
    ticks(*access, 3);
    answerQuestions();
    EXPECT_EQ(restarts.size(), 1);
    EXPECT_TRUE(access->status().quitAndReopen);

    restartStarts = true;
    ticks(*access, 3);
    answerQuestions();
    EXPECT_TRUE(access->status().text.startsWith("macOS has switched it on."))
        << access->status().text.toStdString();
    EXPECT_FALSE(access->status().quitAndReopen);
    ticks(*access, 3);
    EXPECT_TRUE(recorder.background.isEmpty());  // no question while restarting

    QFile::remove(sandbox.dotFile("sampler", "stale-grant-restarts.json"));  // two a while is the most
    access = screen(1);
    access->primaryAction();
    ticks(*access, 3);
    access.reset();
    answerQuestions();
    EXPECT_EQ(restarts, (QList<QStringList>(3, {"access"})));
}

TEST_F(Waiting, RelaunchesThatCannotStartLeaveTheScreenWaiting) {
    auto access = screen(1);
    access->primaryAction();
    for (QLabel* label : test::visibleChildren<QLabel>(access.get()))
        if (label->objectName() == "status")
            emit label->linkActivated("kt-wizard://quit-and-reopen");
    EXPECT_EQ(recorder.relaunches, QList<bool>{false});
    EXPECT_TRUE(access->status().quitAndReopen);

    // "Relaunch" on a ticked-but-dead grant records the try; the link then returns.
    auto disk = screen(0);
    disk->setGrant(false, true);
    EXPECT_FALSE(disk->status().quitAndReopen);
    disk->primaryAction();
    EXPECT_EQ(recorder.relaunches, (QList<bool>{false, false}));
    EXPECT_EQ(disk->primaryLabel(), "Enable Full Disk Access");
    EXPECT_TRUE(disk->status().quitAndReopen);
    EXPECT_TRUE(test::shows(disk.get(), PermissionSections::repairText(true, "Sampler")))
        << "the box gives the repair steps with the button that leads to them";
}

}  // namespace
}  // namespace rk
