// The Move-In page's rows: what their checks say and what their buttons do.

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

TEST_F(RowsTest, OpeningThenConfirmingASignInTurnsItGreenAndIsRemembered) {
    const auto rows = items(R"([{"id":"mail","title":"Mail","how":"Sign in to Mail.","actionLabel":"Sign in",
                                 "action":{"url":"https://example.com/login"}}])");
    ASSERT_EQ(rows.size(), 1);
    const KTReconnectItem& row = rows.first();
    EXPECT_EQ(row.detail, "Sign in to Mail.");
    EXPECT_FALSE(row.checkOnMainThread);

    KTReconnectResult result = row.check();
    EXPECT_EQ(result,
              (KTReconnectResult{KTReconnectStatus::needsAction(QString("Sign in to Mail.")), "Sign in"}));

    row.action(result.actionLabel);
    EXPECT_EQ(workspace.opened, QList<QUrl>{QUrl("https://example.com/login")});
    result = row.check();
    EXPECT_EQ(result.actionLabel, "Confirm") << "opening is not done";
    EXPECT_FALSE(result.status.isConnected());

    row.action(result.actionLabel);
    EXPECT_EQ(row.check(), (KTReconnectResult{KTReconnectStatus::connected("You confirmed this"), "Done"}));
    EXPECT_EQ(MoveIn::loadMarks(marks), (MoveIn::Marks{{"mail"}, {"mail"}}));
    EXPECT_EQ(events, (QStringList{"movein.fix", "movein.marked"}));

    // A new page over the same file remembers both marks.
    EXPECT_TRUE(items(R"([{"id":"mail","title":"Mail"}])").first().check().status.isConnected());
}

TEST_F(RowsTest, DoneAndCheckAgainChangeNothing) {
    const auto rows = items(R"([{"id":"codex","title":"Codex","check":{"kind":"codex-login"}}])");
    for (const char* label : {"Done", "Check again", ""})
        rows.first().action(label);
    EXPECT_TRUE(workspace.opened.isEmpty());
    EXPECT_TRUE(events.isEmpty());
    EXPECT_FALSE(QFile::exists(marks));
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
    screen.title = "Screen Recording";
    screen.benefit = "So I can show you a photo.";
    screen.settingsURL =
        QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_ScreenCapture");
    screen.probe = [&] { return granted; };
    screen.isOptional = true;
    const auto rows = MoveInRows::permissions({screen}, workspace);
    ASSERT_EQ(rows.size(), 1);
    const KTReconnectItem& row = rows.first();
    EXPECT_TRUE(row.checkOnMainThread);
    EXPECT_TRUE(row.optional);
    EXPECT_EQ(row.title, "Screen Recording");
    KTReconnectResult result = row.check();
    EXPECT_EQ(result.status.kind(), KTReconnectStatus::Kind::needsAction);
    EXPECT_EQ(result.actionLabel, "Open Settings");
    row.action(result.actionLabel);
    EXPECT_EQ(workspace.opened, QList<QUrl>{screen.settingsURL});
    granted = true;
    result = row.check();
    EXPECT_TRUE(result.status.isConnected());
    row.action(result.actionLabel);
    EXPECT_EQ(workspace.opened.size(), 1);
}

TEST_F(RowsTest, DemoRowsShowEveryStateThroughTheTextFilter) {
    const auto rows = MoveInRows::demo([](const QString& s) { return QString(s).replace("TEST ", "Real "); });
    ASSERT_EQ(rows.size(), 3);
    bool connected = false, open = false;
    for (const auto& row : rows) {
        EXPECT_FALSE(row.title.contains("TEST")) << row.title.toStdString();
        const KTReconnectResult result = row.check();
        connected |= result.status.isConnected();
        open |= !result.status.isConnected();
        if (row.action)
            row.action(result.actionLabel);
    }
    EXPECT_TRUE(connected);
    EXPECT_TRUE(open);
    EXPECT_TRUE(MoveInRows::demo().first().title.startsWith("TEST "));
    EXPECT_TRUE(workspace.opened.isEmpty());
}

}  // namespace
}  // namespace rk
