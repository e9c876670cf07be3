// The drag companion: where the card stands, which window it follows, how
// it shows, follows and hides on a made-up machine, and the card's texts.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>

#include "permissions/screens/DragCompanion.h"
#include "permissions/screens/DragCompanionCard.h"
#include "permissions/screens/WizardWidgets.h"
#include "support/FakeClock.h"
#include "support/WidgetProbe.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using Mode = KTDragCompanion::Mode;

WindowDescription window(std::int32_t pid, Rect r, int layer = 0) {
    return {pid, layer, r.x, r.y, r.width, r.height, 1};
}

// A machine where System Settings runs (or not) as the test says.
class FakeEnvironment final : public KTDragCompanionEnvironment {
public:
    test::FakeClock clock;
    QList<RunningApplication> settings{{.pid = 7, .bundleID = KTDragCompanion::settingsBundleID}};
    QList<WindowDescription> windows{window(7, {400, 240, 715, 640})};
    std::optional<QString> front = QString(KTDragCompanion::settingsBundleID);

    QList<RunningApplication> runningApplications(const QString& id) override {
        return id == KTDragCompanion::settingsBundleID ? settings : QList<RunningApplication>{};
    }
    std::optional<QList<WindowDescription>> onScreenWindows() override { return windows; }
    std::optional<QString> frontmostBundleID() override { return front; }
    std::optional<QString> ownBundleID() override { return QString("org.example.sample"); }
    QList<KTDisplay> displays() override { return {{{0, 0, 1728, 1080}, {0, 0, 1728, 1080}}}; }
    Clock::Time now() override { return clock.now(); }
};

class DragCompanionTest : public testing::Test {
protected:
    void SetUp() override { test::ensureApplication(); }
    void show(const QString& id, Mode mode) {
        KTPermission permission = test::samplePermission(id);
        permission.settingsURL = KTPermissionProbes::Pane::fullDisk();
        companion.show({.name = "Sample"}, KTWizardBrand{}, permission, mode);
    }
    bool onScreen() const { return companion.panel() && companion.panel()->isVisible(); }
    // The follow tick after `seconds`.
    void tickAfter(double seconds = 0) {
        machine.clock.advance(seconds);
        companion.tick();
    }

    test::WizardSandbox sandbox;
    FakeEnvironment machine;
    KTDragCompanion companion{&machine};
};

TEST_F(DragCompanionTest, PlacedAndShownBesideSettingsHiddenWhenItIsGoneAndItsCardWorks) {
    show("disk", Mode::manualAdd);
    ASSERT_TRUE(onScreen());
    EXPECT_EQ(companion.panel()->geometry(), QRect(1127, 304, 300, 128));
    EXPECT_EQ(companion.panel()->windowTitle(), "Add Sample to System Settings");
    machine.front = "com.example.editor";
    tickAfter();
    EXPECT_FALSE(onScreen());
    machine.front = "org.example.sample";
    tickAfter();
    EXPECT_TRUE(onScreen());
    machine.windows.clear();
    tickAfter();
    EXPECT_TRUE(!onScreen() && companion.isShowing());

    machine.settings.clear();
    tickAfter(1);
    EXPECT_TRUE(companion.isShowing());
    tickAfter(0.1);
    EXPECT_FALSE(companion.isShowing());

    show("disk", Mode::manualAdd);
    EXPECT_FALSE(onScreen());
    tickAfter(8);
    EXPECT_EQ(companion.permissionID(), "disk");
    tickAfter(0.1);
    EXPECT_EQ(companion.permissionID(), std::nullopt);

    show("disk", Mode::notInList);
    const Clock::Time first = companion.shownAt();
    machine.clock.advance(1);
    show("disk", Mode::notInList);
    EXPECT_EQ(companion.shownAt(), first);
    show("disk", Mode::manualAdd);
    const Clock::Time second = companion.shownAt();
    EXPECT_TRUE(companion.mode() == Mode::manualAdd && second > first);
    machine.clock.advance(1);
    show("disk", Mode::notInList);
    EXPECT_TRUE(companion.mode() == Mode::manualAdd && companion.shownAt() == second);
    show("screen", Mode::notInList);
    EXPECT_EQ(companion.permissionID(), "screen");
    companion.hideIfFor("disk");
    EXPECT_TRUE(companion.isShowing());
    companion.hideIfFor("screen");
    EXPECT_FALSE(companion.isShowing());

    KTDragCompanion::installWizardHooks();
    KTPermission disk = test::samplePermission("disk");
    KTPermissionWizard::configure({.name = "Sample"}, KTWizardBrand{}, {disk}, false);
    KTPermissionWizard::showDragCompanion(disk, Mode::manualAdd);
    EXPECT_EQ(KTDragCompanion::shared().permissionID(), "disk");
    KTPermissionWizard::close();
    EXPECT_FALSE(KTDragCompanion::shared().isShowing());
    KTPermissionWizard::dragCompanion = {};

    EXPECT_EQ(KTDragCompanionCard::title({"Sample", "Full Disk Access", Mode::manualAdd}),
              "Add Sample to the Full Disk Access list");
    EXPECT_EQ(KTDragCompanionCard::title({"Sample", "Input Monitoring", Mode::notInList}),
              "Don\u2019t see Sample in Input Monitoring?");
    EXPECT_EQ(KTDragCompanionCard::sentence("Sample"),
              "Drag this icon into the list, or click + under it and choose Sample. Then switch it on.");
    EXPECT_EQ(KTDragCompanionCard::iconLook(true, true),
              (KTDragCompanionCard::IconLook{.scale = 1, .shadowOpacity = 0.22, .shadowRadius = 8}));

    KTDragCompanionCard plain(KTWizardBrand{}, {"Sample", "Full Disk Access", Mode::manualAdd}, {});
    EXPECT_EQ(plain.fittingSize(), QSize(300, 128));
    const QString longName = "Sample With A Name Long Enough To Wrap Several Times Over";
    KTDragCompanionCard wrapped(KTWizardBrand{}, {longName, longName, Mode::manualAdd}, {});
    EXPECT_EQ(wrapped.fittingSize().width(), 300);
    EXPECT_GT(wrapped.fittingSize().height(), 128);

    test::FakeFileViewer viewer;
    test::ScopedCurrent<FileViewer> installed(&viewer);
    KTDragCompanionCard card(KTWizardBrand{}, {"Sample", "Full Disk Access", Mode::manualAdd}, {});
    test::press(&card, "Show in Finder");
    EXPECT_EQ(viewer.revealed, QStringList{"/Applications/Sample.app"});
    std::unique_ptr<QMimeData> data(KTAppDragSource::dragData("/Applications/Sample.app"));
    EXPECT_EQ(data->urls(), QList<QUrl>{QUrl("file:///Applications/Sample.app")});
    EXPECT_FALSE(std::unique_ptr<QMimeData>(KTAppDragSource::dragData(""))->hasUrls());

    show("disk", Mode::manualAdd);
    for (QAbstractButton* button : companion.panel()->findChildren<QAbstractButton*>())
        if (button->accessibleName() == "Close this helper")
            button->click();
    EXPECT_FALSE(companion.isShowing());

    // The self-test places the card right, left, below, over the sidebar, off each
    // edge and on a second display, and checks each rule; the exact frames of some
    // are checked below and beside System Settings.
    testing::internal::CaptureStdout();
    EXPECT_TRUE(KTDragCompanion::selftest());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "drag-companion selftest OK (placement: right, left, below, sidebar, top/left/right edges, "
              "second display; panes: 2 capable, 2 decoys)\n");

    WindowDescription keyless = window(7, {0, 0, 900, 900});
    keyless.width.reset();
    QList<WindowDescription> windows{
        window(8, {0, 0, 2000, 2000}),     window(7, {0, 0, 2000, 2000}, 3),
        window(7, {0, 0, 300, 2000}),      keyless,
        window(7, {10, 10, 800, 600}),     window(7, {20, 20, 600, 800}),
        window(7, {30, 30, 300.5, 300.5}),
    };
    EXPECT_EQ(KTDragCompanionPlacement::settingsWindowFrame(windows, 7), (Rect{10, 10, 800, 600}));
    EXPECT_EQ(KTDragCompanionPlacement::settingsWindowFrame(windows << window(7, {40, 40, 900, 600}), 7),
              (Rect{40, 40, 900, 600}));
    EXPECT_EQ(KTDragCompanionPlacement::settingsWindowFrame(windows, 9), std::nullopt);

    // Window-list coordinates, y down; the first display has a menu bar of 25.
    const QList<KTDisplay> displays{{{0, 0, 1728, 1080}, {0, 25, 1728, 1055}},
                                    {{1728, 0, 1920, 1080}, {1728, 0, 1920, 1080}}};
    EXPECT_EQ(KTDragCompanionPlacement::panelFrame({2000, 200, 715, 640}, {300, 128}, displays),
              (Rect{2727, 264, 300, 128}));
    EXPECT_EQ(KTDragCompanionPlacement::panelFrame({400, -100, 715, 640}, {300, 128}, displays),
              (Rect{1127, 33, 300, 128}));
    EXPECT_EQ(KTDragCompanionPlacement::panelFrame({400, 10, 715, 640}, {300, 128}, {}), std::nullopt);
}

}  // namespace
}  // namespace rk
