// The wizard's window: one at a time, its size and place, the walk through
// its screens, closing it; and the
// window shots: the frames rendered, the height taken from the environment,
// the fit verdicts, and whole runs into a folder and into a place where
// nothing can be written.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>

#include "permissions/PermissionWizard.h"
#include "permissions/screens/DoneScreen.h"
#include "permissions/screens/PermissionScreen.h"
#include "permissions/screens/PermissionWizardView.h"
#include "permissions/screens/PermissionWizardWindow.h"
#include "permissions/screens/Windowshot.h"
#include "support/ScreensFixture.h"
#include "support/WidgetProbe.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

void settleFor(int milliseconds = 0) {
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (clock.elapsed() < milliseconds);
}

QList<KTPermissionWizardWindow*> wizardWindows() {
    QList<KTPermissionWizardWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<KTPermissionWizardWindow*>(widget))
            windows << window;
    }
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
    void TearDown() override {
        KTPermissionWizard::close();
        settleFor();
    }

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

// Get Started goes to the first permission not yet granted; Skip, Back,
// Continue and Done move between the screens.
TEST_F(WizardWindow, GetStartedSkipBackContinueAndDone) {
    granted = {"disk"};
    KTPermissionWizard::present(true);
    settleFor();
    KTPermissionWizardView* view = wizardWindows().first()->view();
    const auto shown = [view] {
        settleFor();
        if (auto* screen = qobject_cast<PermissionScreen*>(view->screen()))
            return screen->layout().stepLine;
        return QString(qobject_cast<DoneScreen*>(view->screen()) ? "done" : "summary");
    };
    EXPECT_EQ(shown(), "summary");
    test::press(view, "Get Started");
    EXPECT_EQ(shown(), "Step 2 of 3") << "the first permission not yet granted";
    test::press(view, "Skip for now");
    EXPECT_EQ(shown(), "Step 3 of 3");
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), QSet<QString>{"access"});
    test::press(view, "Back");
    test::press(view, "Back");
    EXPECT_EQ(shown(), "Step 1 of 3");
    EXPECT_EQ(test::buttonTitled(view, "Back"), nullptr) << "the first of several has no Back";
    test::press(view, "Continue");
    test::press(view, "Skip for now");
    test::press(view, "Skip");
    EXPECT_EQ(shown(), "done");
    test::press(view, "Back");
    EXPECT_EQ(shown(), "Step 3 of 3") << "Back from the done screen returns to the last permission";
    // A grant arriving on the open screen turns that same screen green.
    QWidget* screen = view->screen();
    granted << "screen";
    view->refresh();
    EXPECT_EQ(view->screen(), screen);
    EXPECT_EQ(qobject_cast<PermissionScreen*>(screen)->layout().badge, PermissionSections::Badge::granted);
    test::press(view, "Continue");
    test::press(view, "Done");
    settleFor();
    EXPECT_FALSE(KTPermissionWizard::isPresented());
}

// A grant ticked but dead, after a relaunch (the window shots draw every
// other screen in both schemes): the brand's ground fills the window.
TEST(WizardScreens, TheTickedButDeadScreenDraws) {
    test::ensureApplication();
    test::WizardSandbox sandbox;
    QSet<QString> granted;
    test::RecordingEnvironment recorder;
    const KTWizardForcing forcing{.initialStep = 0,
                                  .grants = KTGrantMap{{"disk", false}},
                                  .tickedDead = QSet<QString>{"disk"},
                                  .relaunched = true};
    KTPermissionWizardView view(
        test::screensBrand(), test::screensProduct(), test::screensPermissions(&granted), [] {}, forcing,
        recorder.environment());
    view.setDarkOverride(true);
    view.resize(660, 700);
    view.show();
    settleFor();
    const QImage image = view.grab().toImage();
    EXPECT_FALSE(test::savePng(image, "wizard-disk-ticked-dead-dark").isEmpty());
    EXPECT_TRUE(test::near(test::pixel(image, {2, 2}), Palette::ground(true)));
}

TEST(Windowshot, FramesPerPermissionAndForFormerIdentities) {
    QSet<QString> granted;
    const QList<KTPermission> permissions = test::screensPermissions(&granted);
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
}

TEST(Windowshot, HeightAndVerdictsAroundTheMinimumAndTheFold) {
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
    EXPECT_EQ(printed.first(), "wrote " + folder.path() +
                                   "/shots/window-summary-dark.png  fit NOT MEASURED (no scroll view on "
                                   "this screen)");
    EXPECT_EQ(printed[1], "wrote " + folder.path() + "/shots/window-disk-dark.png  fits");
    EXPECT_EQ(printed.last(), "windowshot: 32 frames at 660x700 (+4 drag-companion cards)");
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(WindowshotRun, NothingWrittenIsNothingClaimed) {
    QTemporaryDir folder;
    QFile blocker(folder.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // No folder can be made inside a file, whoever runs the test.
    EXPECT_EQ(run(folder.filePath("file/shots"), 500), 1);
    EXPECT_EQ(lines(err).size(), 32);
    EXPECT_EQ(lines(err).first(),
              "windowshot: could not write " + folder.filePath("file/shots") + "/window-summary-dark.png");
    const QStringList printed = lines(out);
    EXPECT_EQ(printed.first(), "windowshot: NOT MEASURED, 0 of 32 frames");
    EXPECT_TRUE(
        printed.last().startsWith("windowshot: content runs past the fold on summary-dark, disk-dark,"));
}

}  // namespace
}  // namespace rk
