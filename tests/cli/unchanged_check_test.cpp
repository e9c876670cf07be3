// "--settings-unchanged-check" on the simulated System Settings, with a pump
// that acts as macOS while the check waits.

#include <gtest/gtest.h>

#include "cli/UnchangedCheck.h"
#include "support/ModelFakes.h"
#include "support/PrintedLines.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

const QString kEditor = QStringLiteral("com.vendor.Editor");
const ArchivedItem kSync =
    agentItem("Sync", "com.example.sync", "/Users/anna/Library/LaunchAgents/sync.plist", true,
              "/Applications/Sync.app");

void writeStores(ModelWorld& world, qint64 editorAuth, const QList<ArchivedItem>& items) {
    world.writeTcc({accessibilityRow("com.example.Ghost"),
                    {kEditor, 0, QStringLiteral("kTCCServiceAccessibility"), editorAuth}});
    world.writeBtm(items);
}

struct Case {
    const char* name;
    int status;
    QStringList lines;
    std::function<void(ModelWorld&, double)> meanwhile = {};  // what happens while the check waits
};

TEST(UnchangedCheck, ComparesTheStoresAroundEverySelection) {
    const QString before = QStringLiteral("before: 2 privacy rows, 1 login item records");
    const QString ax = QStringLiteral("accessibility: 2 rows read, 3 selections made and read back");
    const QString login = QStringLiteral("loginItems: 1 rows read, 2 selections made and read back");
    ArchivedItem helper = kSync;
    helper.name = QStringLiteral("Sync Helper");  // the same key as Sync's
    const Case cases[] = {
        {"Pass",
         0,
         {before, ax, login, "PASS: 5 selections, zero changes to 2 privacy rows and 1 login item records"}},
        {"ChangedKeysOncePerExtraOccurrence",
         1,
         {before, ax, login, "FAIL: settings changed during the run", "  501|8.com.example.sync|1",
          "  user|kTCCServiceAccessibility|com.vendor.Editor|0",
          "  user|kTCCServiceAccessibility|com.vendor.Editor|2",
          "note: a change by macOS or another app during the run also shows here; re-run before concluding"},
         [&](ModelWorld& w, double) {
             writeStores(w, 0, {kSync, helper});
         }},
        {"NoSelectionHeld",
         3,
         {before, "accessibility: 2 rows read, 0 selections made and read back",
          "loginItems: 1 rows read, 0 selections made and read back",
          "NOT MEASURED: no selection was made, so nothing was exercised"},
         [](ModelWorld& w, double) { w.settings.selectionSticks = false; }},
        {"UnreadableAfterwards",
         3,
         {before, ax, login, "NOT MEASURED: stores unreadable afterwards"},
         [](ModelWorld& w, double seconds) {
             if (seconds == UnchangedCheck::endWait)
                 w.root.writeFile(BackgroundStore::folder(w.root.paths()) + "/BackgroundItems-v4.btm", "x");
         }},
    };
    for (const Case& c : cases) {
        ModelWorld world;
        world.installApp(kEditor, "/Applications/Editor.app");  // Ghost and Sync are gone
        writeStores(world, 2, {kSync});
        world.settings.setAccessibilityRows({{"Ghost", SimulatedIcon::blankDocument, "com.example.Ghost"},
                                             {"Editor", SimulatedIcon::colourful, kEditor}});
        world.settings.setOpenAtLoginRows({{"Sync", SimulatedIcon::colourful, "8.com.example.sync"}});
        world.settings.showPage(SimulatedPage::other);
        QList<double> waits;
        const Printed printed = printedBy([&] {
            return UnchangedCheck::run([&](double seconds) {
                waits << seconds;
                if (c.meanwhile)
                    c.meanwhile(world, seconds);
            });
        });
        EXPECT_EQ(printed.status, c.status) << c.name;
        EXPECT_EQ(printed.lines, c.lines) << c.name;
        EXPECT_TRUE(world.onlyRowSelections()) << c.name;
        EXPECT_TRUE(world.counters->snapshot().isEmpty()) << c.name;
        EXPECT_TRUE(world.explain.jobs.isEmpty()) << c.name;
        if (c.status == 0) {
            EXPECT_EQ(waits, QList<double>({3.5, 0.4, 0.4, 0.4, 3.5, 0.4, 0.4, 2.0}));
        }
    }
}

}  // namespace
