// One event's whole road on the simulated System Settings: the person
// presses Open, the model opens the page, reads it, decides, marks and
// selects the first row to remove, photographs the window to tell apart two
// rows of one name, and ticks each finding off once the person removed its
// row and the stores no longer hold it. Throughout, the only writes are row
// selections, the sidebar is never read and the store files stay as the
// test (acting as macOS) left them.

#include <gtest/gtest.h>

#include "finder/MarkPainter.h"
#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

const QString kGhost = QStringLiteral("com.example.Ghost");
const QString kOldToolbox = QStringLiteral("/Users/anna/Downloads/Toolbox.app/Contents/MacOS/Toolbox");
const QString kToolbox = QStringLiteral("com.vendor.Toolbox");
const QString kEditor = QStringLiteral("com.vendor.Editor");

bool isRed(QRgb p) {
    return qRed(p) > 200 && qGreen(p) < 110 && qBlue(p) < 110;
}
bool isGreen(QRgb p) {
    return qGreen(p) > 130 && qRed(p) < 70 && qBlue(p) < 100;
}

// The photo pixel on the left edge of the mark around a row, half way down.
QRgb markEdge(const QImage& photo, const PaneRow& row, const Rect& window) {
    const double scale = photo.width() / window.width;
    const Rect local{row.frame.x - window.x, row.frame.y - window.y, row.frame.width, row.frame.height};
    const Rect box = MarkPainter::box(local, window.width);
    return photo.pixel(static_cast<int>(box.x * scale), static_cast<int>((box.y + box.height / 2) * scale));
}

std::optional<Mark> markOn(const Decision& decision, const QString& title, int index) {
    for (const Mark& mark : decision.marks) {
        if (mark.row.title == title && mark.row.index == index) {
            return mark;
        }
    }
    return std::nullopt;
}

// Throughout: the only writes are row selections, the sidebar is never read
// and the store files stay as the test (acting as macOS) left them.
void expectCleanSoFar(const ModelWorld& world) {
    EXPECT_TRUE(world.onlyRowSelections());
    EXPECT_EQ(world.settings.sidebarReads(), 0);
    EXPECT_EQ(world.changedStores(), QStringList());
}

// ---------------------------------------------------------------------------
// The Accessibility page: a leftover with a name of its own, and two rows
// named Toolbox of which only the photo can tell the old one.

class AccessibilityRoad : public ::testing::Test {
protected:
    void SetUp() override {
        world.installApp(kToolbox, "/Applications/Toolbox.app");
        world.installApp(kEditor, "/Applications/Editor.app");
        tcc = {accessibilityRow(kGhost, 0), accessibilityRow(kOldToolbox, 1), accessibilityRow(kToolbox, 0),
               accessibilityRow(kEditor, 0)};
        world.writeTcc(tcc);
        world.settings.setAccessibilityRows({{"Ghost", SimulatedIcon::blankDocument, kGhost},
                                             {"Toolbox", SimulatedIcon::blankDocument, kOldToolbox},
                                             {"Toolbox", SimulatedIcon::colourful, kToolbox},
                                             {"Editor", SimulatedIcon::colourful, kEditor}});
        // The person's removal reaches the privacy database at once.
        world.settings.onRemove = [this](const SimulatedRow& row) {
            tcc.removeIf([&](const TccDbRow& r) { return r.client == row.recordKey; });
            world.writeTcc(tcc);
            world.markStores();
        };
        // System Settings is open on another page.
        world.settings.showPage(SimulatedPage::other);
        world.markStores();
    }

    // Presses Open on the Accessibility page and lets System Settings open
    // it; the press is counted and the window placed beside it.
    AppModel& openAccessibility() {
        world.seams.placeWindow = [this] { ++placements; };
        AppModel& m = world.startModel(Step::accessibility);
        world.settings.setOpenDelay(1'000'000);  // still opening for a while
        m.openPane();
        EXPECT_EQ(m.phase(), Phase::working);
        EXPECT_EQ(m.banner(), "One moment: opening the page, then I will highlight the row for you.");
        EXPECT_EQ(world.settings.openedLinks(), QList<QUrl>{url(Pane::accessibility)});
        EXPECT_EQ(world.counters->snapshot().value("open.accessibility"), 1);
        EXPECT_EQ(placements, 1);

        world.beatAfter(0.5);  // the old page is still showing
        EXPECT_EQ(m.phase(), Phase::wrongPage);
        EXPECT_EQ(m.banner(), "System Settings is showing \"General\". Press Open to go to Accessibility.");
        world.settings.showPage(SimulatedPage::accessibility);
        return m;
    }

    ModelWorld world;
    QList<TccDbRow> tcc;
    int placements = 0;
};

TEST_F(AccessibilityRoad, FromOpenToNothingLeft) {
    AppModel& m = openAccessibility();
    EXPECT_EQ(m.grants(), (Grants{true, true, true}));

    // First reading: decided, but nothing shown, selected or photographed.
    world.beatAfter(0.5);
    EXPECT_EQ(m.stableCount(), 0);
    ASSERT_TRUE(markOn(m.decision(), "Ghost", 0));
    EXPECT_EQ(markOn(m.decision(), "Ghost", 0)->kind, Mark::Kind::remove);
    EXPECT_FALSE(markOn(m.decision(), "Toolbox", 1)) << "two rows of one name wait for the photo";
    EXPECT_FALSE(m.overlay().isShowing());
    EXPECT_EQ(world.selectionWrites(), 0);
    EXPECT_EQ(world.capture.size(), 0);
    EXPECT_EQ(m.phase(), Phase::circled);
    EXPECT_EQ(m.banner(), kClickRow);

    // The same reading again: marks over System Settings, the red row selected
    // once, and a photo asked for (its capture is held back for now).
    world.clock.advance(0.5);
    world.ticks.fire();
    world.ax.drain();
    EXPECT_EQ(m.stableCount(), 1);
    EXPECT_TRUE(m.overlay().isShowing());
    EXPECT_EQ(m.overlay().view().marks, m.decision().marks);
    EXPECT_EQ(world.settings.selectedTitles(), QStringList{"Ghost"});
    EXPECT_EQ(world.selectionWrites(), 1);
    EXPECT_EQ(world.counters->snapshot().value("select.ok"), 1);
    EXPECT_EQ(m.banner(), kClickRow);
    EXPECT_TRUE(m.photoInFlight());
    EXPECT_EQ(world.capture.pending(), 1);

    // A later reading shows the row selected.
    world.clock.advance(0.5);
    world.ticks.fire();
    world.ax.drain();
    EXPECT_EQ(m.phase(), Phase::selected);
    EXPECT_EQ(m.banner(), kHighlighted);
    EXPECT_EQ(world.selectionWrites(), 1) << "selected once per distinct target";
    expectCleanSoFar(world);

    // The photo: each row's icon read, the Toolbox rows told apart.
    world.settle();
    EXPECT_FALSE(m.photoInFlight());
    ASSERT_TRUE(m.photo());
    const Rect window = world.settings.windowFrame();
    EXPECT_EQ(m.photo()->deviceIndependentSize(), QSizeF(window.width, window.height));

    world.beatAfter(0.5);
    const auto oldToolbox = markOn(m.decision(), "Toolbox", 1);
    const auto newToolbox = markOn(m.decision(), "Toolbox", 2);
    ASSERT_TRUE(oldToolbox && newToolbox);
    EXPECT_EQ(oldToolbox->kind, Mark::Kind::remove);
    EXPECT_EQ(newToolbox->kind, Mark::Kind::keep);
    EXPECT_EQ(newToolbox->label, "KEEP THIS ROW");
    EXPECT_TRUE(isRed(markEdge(*m.photo(), oldToolbox->row, window)));
    EXPECT_TRUE(isGreen(markEdge(*m.photo(), newToolbox->row, window)));
    EXPECT_TRUE(isRed(markEdge(*m.photo(), markOn(m.decision(), "Ghost", 0)->row, window)));

    // The person removes Ghost; once the stores are read again it is ticked off.
    ASSERT_TRUE(world.settings.pressMinusAndConfirm());
    world.beatAfter(3.1);
    EXPECT_TRUE(m.tickedOff().contains("r:Ghost"));
    EXPECT_FALSE(m.tickedOff().contains("r:Toolbox"));

    // The page settles, is photographed again, and the old Toolbox is next.
    world.beatAfter(0.5);
    world.beatAfter(0.5);
    ASSERT_TRUE(markOn(m.decision(), "Toolbox", 0));
    EXPECT_EQ(markOn(m.decision(), "Toolbox", 0)->kind, Mark::Kind::remove);
    world.beatAfter(0.5);
    EXPECT_EQ(world.settings.selectedTitles(), QStringList{"Toolbox"});
    EXPECT_EQ(m.banner(), kHighlighted);

    ASSERT_TRUE(world.settings.pressMinusAndConfirm());
    world.beatAfter(3.1);
    EXPECT_EQ(m.tickedOff(), (QSet<QString>{"r:Ghost", "r:Toolbox"}));
    EXPECT_EQ(m.phase(), Phase::nothingLeft);
    EXPECT_EQ(m.banner(), kNothingLeft);
    EXPECT_EQ(world.settings.accessibilityRows().size(), 2);
    expectCleanSoFar(world);
}

// The failure variant of the tick-off: a read of the privacy database that
// fails leaves the candidates empty; that must not tick anything off nor
// say that nothing is left while the rows are still there.
TEST_F(AccessibilityRoad, FailedStoreReadTicksNothingOff) {
    AppModel& m = openAccessibility();
    world.beatAfter(0.5);
    world.beatAfter(0.5);
    ASSERT_EQ(world.settings.selectedTitles(), QStringList{"Ghost"});
    ASSERT_EQ(m.initialKeys().value("r:Ghost"), QStringList{kGhost});

    // Full Disk Access is taken away: the person's database no longer opens.
    FakeFileProbe probe;
    probe.openErrors.insert(world.root.disk(TCCStore::userPath(world.root.paths())), EACCES);
    FileProbe::setCurrent(&probe);
    world.beatAfter(3.1);
    world.beatAfter(0.5);
    ASSERT_TRUE(m.storeProblem());
    EXPECT_EQ(m.storeProblem()->kind, StoreError::Kind::noAccess);
    EXPECT_FALSE(m.grants().fullDisk);
    EXPECT_TRUE(m.candidates().isEmpty());
    EXPECT_TRUE(m.tickedOff().isEmpty());
    EXPECT_NE(m.banner(), kNothingLeft);
    EXPECT_NE(m.phase(), Phase::nothingLeft);
    EXPECT_EQ(m.banner(), AppModel::waitingSentence());

    // Access comes back: the stores are read at once and Ghost is still to go.
    FileProbe::setCurrent(nullptr);
    world.beatAfter(0.5);
    EXPECT_TRUE(m.grants().fullDisk);
    EXPECT_FALSE(m.storeProblem());
    world.beatAfter(0.5);
    EXPECT_TRUE(m.tickedOff().isEmpty());
    ASSERT_TRUE(markOn(m.decision(), "Ghost", 0));
    EXPECT_EQ(m.banner(), kHighlighted);
    expectCleanSoFar(world);
}

// ---------------------------------------------------------------------------
// The Login Items page: a background agent whose program is gone is marked
// to be turned off; it is never selected (a switch is not a row), and it is
// ticked off once the store says it is off.

TEST(LoginItemsRoad, TurnedOffAgentIsTickedOff) {
    ModelWorld world;
    const QString agents = world.root.paths().userLaunchAgents();
    const QString gonePlist = agents + "/com.gone.agent.plist";
    const QString livePlist = agents + "/com.live.sync.plist";
    const QString goneProgram = "/Users/anna/Applications/Gone.app/Contents/MacOS/GoneAgent";
    const QString liveProgram = "/Users/anna/Applications/Sync.app/Contents/MacOS/SyncHelper";
    world.root.writeFile(gonePlist, LaunchPlistWriter::write({"com.gone.agent", goneProgram, std::nullopt}));
    world.root.writeFile(livePlist, LaunchPlistWriter::write({"com.live.sync", liveProgram, std::nullopt}));
    world.root.writeFile(liveProgram, "binary");
    QList<ArchivedItem> items = {agentItem("Gone Agent", "com.gone.agent", gonePlist, true, goneProgram),
                                 agentItem("Sync Helper", "com.live.sync", livePlist, true, liveProgram)};
    world.writeBtm(items);
    world.settings.setBackgroundItems(
        {SimulatedBackgroundItem{"Gone Agent", "", SimulatedIcon::blankDocument, true, "8.com.gone.agent"},
         SimulatedBackgroundItem{"Sync Helper", "", SimulatedIcon::colourful, true, "8.com.live.sync"}});
    world.settings.onSwitch = [&](const SimulatedBackgroundItem& item) {
        for (ArchivedItem& stored : items) {
            if (stored.identifier == item.recordKey) {
                stored.disposition = item.on ? 0x1 : 0x0;
            }
        }
        world.writeBtm(items);
        world.markStores();
    };
    world.markStores();

    AppModel& m = world.startModel();
    EXPECT_EQ(m.jobs().size(), 2);
    m.go(Step::loginItems);
    m.openPane();
    world.beatAfter(0.5);
    world.beatAfter(0.5);
    ASSERT_TRUE(markOn(m.decision(), "Gone Agent", 0));
    const Mark red = *markOn(m.decision(), "Gone Agent", 0);
    EXPECT_EQ(red.kind, Mark::Kind::remove);
    EXPECT_EQ(red.label, "Turn this off");
    EXPECT_EQ(red.row.section, PaneSection::background);
    EXPECT_TRUE(m.overlay().isShowing());
    EXPECT_EQ(m.phase(), Phase::circled);
    EXPECT_EQ(m.banner(), kTurnOff);
    EXPECT_EQ(world.selectionWrites(), 0);
    EXPECT_TRUE(m.photo());

    ASSERT_TRUE(world.settings.setBackgroundSwitch("Gone Agent", false));
    world.beatAfter(3.1);
    EXPECT_EQ(m.tickedOff(), QSet<QString>{"r:Gone Agent"});
    EXPECT_EQ(m.phase(), Phase::nothingLeft);
    EXPECT_EQ(m.banner(), kNothingLeft);
    EXPECT_EQ(world.selectionWrites(), 0);
    expectCleanSoFar(world);
}

}  // namespace
