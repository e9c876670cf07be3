// The Move-In page's rows: what their checks say and what their buttons do.
// The page's own test follows the buttons on screen; here, what they leave behind.

#include <gtest/gtest.h>

#include <QDir>

#include "movein/MoveInRows.h"
#include "support/PlatformFakes.h"
#include "support/SimulatedSettings.h"
#include "support/TempRoot.h"

namespace rk {
namespace {

class RowsTest : public ::testing::Test {
protected:
    test::TempRoot root;
    test::FakeWorkspace workspace;
    QString marks = root.root() + "/support/move-in-marks.json";
    QStringList events;

    QList<KTReconnectItem> items(const QByteArray& json) {
        return MoveInRows::checklist(
            MoveIn::loadList(json), marks, root.paths(), [this](const QString& e) { events << e; },
            workspace);
    }
};

// Opening and confirming are counted and remembered; Done and Check again
// change nothing.
TEST_F(RowsTest, OpeningAndConfirmingAreCountedAndRemembered) {
    const auto rows = items(R"([{"id":"mail","title":"Mail","how":"Sign in to Mail.","actionLabel":"Sign in",
                                 "action":{"url":"https://example.com/login"}}])");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().detail, "Sign in to Mail.");
    EXPECT_FALSE(rows.first().checkOnMainThread);
    for (const char* label : {"Done", "Check again", ""})
        rows.first().action(label);
    EXPECT_FALSE(QFile::exists(marks));
    rows.first().action("Sign in");
    rows.first().action("Confirm");
    EXPECT_EQ(events, (QStringList{"movein.fix", "movein.marked"}));
    EXPECT_EQ(workspace.opened, QList<QUrl>{QUrl("https://example.com/login")});
    // A new page over the same file remembers both marks.
    EXPECT_EQ(items(R"([{"id":"mail","title":"Mail"}])").first().check(),
              (KTReconnectResult{KTReconnectStatus::connected("You confirmed this"), "Done"}));
}

TEST_F(RowsTest, AnAppActionOpensTheInstalledApp) {
    test::FakeAppRegistry registry;
    registry.pathsOf["com.example.box"] = {"/Applications/Box.app"};
    test::ScopedCurrent<AppRegistry> guard(&registry);
    const auto rows = items(R"([{"id":"a","title":"A","action":{"app":"com.example.box"}},
                                {"id":"b","title":"B","action":{"app":"/Applications/Other.app"}},
                                {"id":"c","title":"C","action":{"app":"com.example.missing"}},
                                {"id":"d","title":"D","action":{"url":"no scheme"}}])");
    for (const KTReconnectItem& row : rows)
        row.action("Open");
    EXPECT_EQ(workspace.opened, (QList<QUrl>{QUrl::fromLocalFile(root.disk("/Applications/Box.app")),
                                             QUrl::fromLocalFile(root.disk("/Applications/Other.app"))}));
    EXPECT_EQ(MoveIn::loadMarks(marks).opened, (QSet<QString>{"a", "b", "c", "d"}));
}

TEST_F(RowsTest, PermissionsBecomeRowsProbedOnTheMainThread) {
    bool granted = false;
    KTPermission screen;
    screen.id = "screen";
    screen.settingsURL =
        QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_ScreenCapture");
    screen.probe = [&] { return granted; };
    screen.isOptional = true;
    const KTReconnectItem row = MoveInRows::permissions({screen}, workspace).first();
    EXPECT_TRUE(row.checkOnMainThread);
    EXPECT_TRUE(row.optional);
    EXPECT_EQ(row.check().actionLabel, "Open Settings");
    EXPECT_FALSE(row.check().status.isConnected());
    granted = true;
    const KTReconnectResult result = row.check();
    EXPECT_TRUE(result.status.isConnected());
    row.action(result.actionLabel);
    EXPECT_TRUE(workspace.opened.isEmpty()) << "a granted row opens nothing";
}

TEST_F(RowsTest, DemoRowsPassThroughTheTextFilterAndOpenNothing) {
    for (const auto& row :
         MoveInRows::demo([](const QString& s) { return QString(s).replace("TEST ", "Real "); })) {
        EXPECT_FALSE(row.title.contains("TEST")) << row.title.toStdString();
        if (row.action)
            row.action(row.check().actionLabel);
    }
    EXPECT_TRUE(MoveInRows::demo().first().title.startsWith("TEST "));
    EXPECT_TRUE(workspace.opened.isEmpty());
}

}  // namespace
}  // namespace rk
