// The Move-In page on screen (demo rows, the person's own checklist with its
// buttons and marks, the wizard's permissions, a fresh start on each visit),
// what its rows' buttons leave behind, and the reconnect model under it:
// checks off the main thread, results on it, the two-second refresh.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QThread>
#include <atomic>
#include <deque>

#include "app/model/AppModel.h"
#include "movein/MoveInPage.h"
#include "movein/MoveInRows.h"
#include "movein/ReconnectModel.h"
#include "support/PlatformFakes.h"
#include "support/Printers.h"
#include "support/QtApp.h"
#include "support/TempRoot.h"
#include "support/UiProbe.h"
#include "ui/Controls.h"
#include "ui/Rendering.h"

namespace rk {
namespace {

class MoveInPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureUiApplication();
        ASSERT_TRUE(folder.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path()));
        Workspace::setCurrent(&workspace);
        model = std::make_unique<AppModel>();
    }
    void TearDown() override {
        model.reset();
        Workspace::setCurrent(nullptr);
        qunsetenv("XDG_DATA_HOME");
    }

    void writeList(const QByteArray& json) { ASSERT_TRUE(test::writeFileAt(sources.listPath, json)); }

    std::unique_ptr<MoveInPage> page(bool dark = false) {
        auto made = std::make_unique<MoveInPage>(*model, dark, sources);
        // The root view sets the scheme's ground and text colour; the page inherits them.
        applyScheme(made.get(), dark);
        test::render(made.get());
        return made;
    }

    // The rows of a checklist, their events and marks, on a machine rooted in the folder.
    QList<KTReconnectItem> items(const QByteArray& json) {
        return MoveInRows::checklist(
            MoveIn::loadList(json), marks, paths, [this](const QString& e) { events << e; }, workspace);
    }

    QTemporaryDir folder;
    const SystemPaths paths = SystemPaths::rerooted(folder.path(), "/Users/anna");
    QString marks = folder.path() + "/support/move-in-marks.json";
    QStringList events;
    test::FakeWorkspace workspace;
    std::unique_ptr<AppModel> model;
    StaticRenderingScope still;
    // Checks run at once on the calling thread; their answers still come
    // back through the event loop, as from the real worker.
    MoveInPage::Sources sources{folder.path() + "/move-in.json", folder.path() + "/move-in-marks.json",
                                QList<KTPermission>{}, [](std::function<void()> job) { job(); }};
};

TEST_F(MoveInPageTest, DemoModeShowsMadeUpRowsFromTheOldMac) {
    writeList(R"([{"id":"real","title":"A real row"}])");
    model->setDemo(true);
    auto shown = page();
    EXPECT_TRUE(test::showsPart(shown.get(), "This Mac was set up from TEST Old Mac."));
    EXPECT_TRUE(test::shows(shown.get(), "TEST Sample App: Accessibility"));
    EXPECT_TRUE(test::shows(shown.get(), "TEST Sample Account sign-in"));
    EXPECT_TRUE(test::shows(shown.get(), "1 of 3 reconnected"));
    EXPECT_FALSE(test::shows(shown.get(), "A real row"));
    test::savePng(test::render(shown.get()), "moveIn-demo-light");
    test::savePng(test::render(page(true).get()), "moveIn-demo-dark");
}

TEST_F(MoveInPageTest, OpeningAndConfirmingARowIsShownAndRemembered) {
    model->setMovedFrom(QString("Anna's old Mac"));
    writeList(R"({"rows":[{"id":"mail","title":"Mail","how":"Sign in to Mail again.","actionLabel":"Sign in",
                           "action":{"url":"https://example.com/mail"}}]})");
    auto shown = page();
    EXPECT_TRUE(test::showsPart(shown.get(), "This Mac was set up from Anna's old Mac."));
    EXPECT_TRUE(test::shows(shown.get(), "Sign in to Mail again."));
    EXPECT_TRUE(test::shows(shown.get(), "0 of 1 reconnected"));

    test::pressAndSettle(shown.get(), "Sign in");
    EXPECT_EQ(workspace.opened, QList<QUrl>{QUrl("https://example.com/mail")});
    ASSERT_NE(test::buttonTitled(shown.get(), "Confirm"), nullptr) << "opening is not done";

    test::pressAndSettle(shown.get(), "Confirm");
    EXPECT_TRUE(test::shows(shown.get(), "You confirmed this"));
    EXPECT_TRUE(test::shows(shown.get(), "1 of 1 reconnected"));
    EXPECT_EQ(test::buttonTitled(shown.get(), "Confirm"), nullptr);
    EXPECT_EQ(MoveIn::loadMarks(sources.marksPath), (MoveIn::Marks{{"mail"}, {"mail"}}));
}

// Without a list the page says where one goes; each visit reads it afresh,
// and its outside text is shown literally. The checks stop while it is hidden.
TEST_F(MoveInPageTest, EachVisitReadsTheListAfreshAndShowsItsTextLiterally) {
    auto shown = page();
    EXPECT_TRUE(shown->reconnect().isRunning());
    shown->hide();
    EXPECT_FALSE(shown->reconnect().isRunning());
    shown->show();
    EXPECT_TRUE(shown->reconnect().isRunning());
    EXPECT_TRUE(test::showsPart(shown.get(), "Your own checklist"));
    EXPECT_TRUE(test::shows(shown.get(), "0 of 0 reconnected"));
    KTReconnectModel* before = &shown->reconnect();
    writeList(R"([{"id":"a","title":"<b>Bold</b> & co","how":"<i>how</i>"}])");
    model->go(Step::moveIn);
    test::settle();
    EXPECT_NE(&shown->reconnect(), before);
    EXPECT_TRUE(test::shows(shown.get(), "<b>Bold</b> & co"));
    EXPECT_TRUE(test::shows(shown.get(), "<i>how</i>"));
}

// The wizard's permissions are rows too, checked on the main thread, an
// optional one marked so after one space; pressing one opens its settings
// page, where nothing opens System Settings the row says so, and a granted
// row opens nothing.
TEST_F(MoveInPageTest, TheWizardsPermissionsAreRowsCheckedOnTheMainThread) {
    bool granted = false;
    KTPermission access;
    access.title = "Accessibility";
    access.settingsURL =
        QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
    access.probe = [&] { return granted; };
    KTPermission screen = access;
    screen.title = "Screen Recording";
    screen.isOptional = true;
    sources.permissions = QList<KTPermission>{access, screen};
    auto shown = page();
    EXPECT_TRUE(test::shows(shown.get(), "Accessibility"));
    EXPECT_TRUE(test::shows(shown.get(), "Screen Recording (optional)"));
    test::press(shown.get(), "Open Settings");
    EXPECT_EQ(workspace.opened, QList<QUrl>{access.settingsURL});
    workspace.opens = false;
    test::pressAndSettle(shown.get(), "Open Settings");
    EXPECT_TRUE(test::shows(shown.get(), Workspace::settingsNotOpenedLine()));

    const KTReconnectItem row = MoveInRows::permissions({screen}, workspace).first();
    EXPECT_TRUE(row.checkOnMainThread && row.optional);
    EXPECT_FALSE(row.check().status.isConnected());
    granted = true;
    const KTReconnectResult result = row.check();
    EXPECT_TRUE(result.status.isConnected());
    workspace.opened.clear();
    row.action(result.actionLabel);
    EXPECT_TRUE(workspace.opened.isEmpty());
}

// The hint writes the home as "~", and at the page's width its lines break
// only between words of the sentence or after a "/" of the path; a copy of
// it holds no break marks.
TEST_F(MoveInPageTest, TheHintBreaksItsPathOnlyBetweenFolders) {
    const QString rest =
        "/.local/share-with-a-long-name/Rowkeeper-app-data/a-check-list folder with-more-words/move-in.json";
    sources.listPath = QDir::homePath() + rest;
    auto shown = page();
    QLabel* hint = nullptr;
    for (QLabel* label : test::visibleChildren<QLabel>(shown.get()))
        hint = label->text().startsWith("Your own checklist") ? label : hint;
    ASSERT_NE(hint, nullptr);
    QStringList lines;  // as laid out: the text is one paragraph
    const QTextLayout* layout = hint->findChild<QTextDocument*>()->begin().layout();
    for (int i = 0; i < layout->lineCount(); ++i)
        lines << MoveInPage::withoutBreakMarks(
            hint->text().mid(layout->lineAt(i).textStart(), layout->lineAt(i).textLength()));
    EXPECT_EQ(lines.join(""), "Your own checklist of things to reconnect can go in ~" + rest + ".");
    // Each line but the last ends between words or folders, and the path breaks once at least.
    for (const QString& line : lines.mid(0, lines.size() - 1) + QStringList{lines.filter("/").value(0)})
        EXPECT_TRUE(line.endsWith(' ') || line.endsWith('/')) << lines.join('|').toStdString();

    hint->setSelection(0, int(hint->text().size()));
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QCoreApplication::sendEvent(hint, &copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), lines.join(""));
}

// Opening and confirming are counted (the page's test sees them remembered);
// Done and Check again change nothing.
TEST_F(MoveInPageTest, OpeningAndConfirmingAreCounted) {
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
}

TEST_F(MoveInPageTest, AnAppActionOpensTheInstalledApp) {
    test::FakeAppRegistry registry;
    registry.pathsOf["com.example.box"] = {"/Applications/Box.app"};
    test::ScopedCurrent<AppRegistry> guard(&registry);
    const auto rows = items(R"([{"id":"a","title":"A","action":{"app":"com.example.box"}},
                                {"id":"b","title":"B","action":{"app":"/Applications/Other.app"}},
                                {"id":"c","title":"C","action":{"app":"com.example.missing"}},
                                {"id":"d","title":"D","action":{"url":"no scheme"}}])");
    workspace.opens = false;  // a link nothing takes leaves the row unopened
    EXPECT_EQ(rows.first().action("Open"), "This could not be opened on this computer.");
    EXPECT_FALSE(QFile::exists(marks));
    workspace.opened.clear();
    workspace.opens = true;
    QStringList said;  // an app not found and a link that is none open nothing and say so
    for (const KTReconnectItem& row : rows)
        said << row.action("Open").value_or("-");
    EXPECT_EQ(said, (QStringList{"-", "-", MoveInRows::notOpenedLine(), MoveInRows::notOpenedLine()}));
    EXPECT_EQ(workspace.opened, (QList<QUrl>{QUrl::fromLocalFile(paths.disk("/Applications/Box.app")),
                                             QUrl::fromLocalFile(paths.disk("/Applications/Other.app"))}));
    EXPECT_EQ(MoveIn::loadMarks(marks).opened, (QSet<QString>{"a", "b"}));
}

TEST_F(MoveInPageTest, DemoRowsPassThroughTheTextFilterAndOpenNothing) {
    for (const auto& row :
         MoveInRows::demo([](const QString& s) { return QString(s).replace("TEST ", "Real "); })) {
        EXPECT_FALSE(row.title.contains("TEST")) << row.title.toStdString();
        if (row.action)
            row.action(row.check().actionLabel);
    }
    EXPECT_TRUE(MoveInRows::demo().first().title.startsWith("TEST "));
    EXPECT_TRUE(workspace.opened.isEmpty());
}

// Holds jobs until the test lets them run, on the calling thread.
struct HeldJobs {
    std::deque<std::function<void()>> jobs;
    KTReconnectModel::Executor executor() {
        return [this](std::function<void()> job) { jobs.push_back(std::move(job)); };
    }
    void runAll() {
        while (!jobs.empty()) {
            auto job = std::move(jobs.front());
            jobs.pop_front();
            job();
        }
    }
};

KTReconnectItem item(QString id, std::function<KTReconnectResult()> check) {
    KTReconnectItem row;
    row.id = id;
    row.title = id;
    row.check = std::move(check);
    return row;
}

KTReconnectResult connected() {
    return {KTReconnectStatus::connected("ok"), "Done"};
}
KTReconnectResult open() {
    return {KTReconnectStatus::needsAction(QString("do it")), "Open"};
}

class ReconnectModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }
    HeldJobs held;
};

TEST_F(ReconnectModelTest, RowsCheckOnTheWorkerAndResultsLandOnTheMainThread) {
    const QThread* mainThread = QThread::currentThread();
    std::atomic<const QThread*> checkedOn{nullptr};
    KTReconnectModel model({item("a", [&] {
        checkedOn = QThread::currentThread();
        return connected();
    })});
    const QThread* deliveredOn = nullptr;
    QObject::connect(&model, &KTReconnectModel::changed, [&] { deliveredOn = QThread::currentThread(); });
    EXPECT_EQ(model.results().at(0).status, KTReconnectStatus::checking());
    model.refresh();
    ASSERT_TRUE(test::spinUntil([&] { return model.rounds() == 1; }));
    EXPECT_TRUE(checkedOn.load() && checkedOn.load() != mainThread);
    EXPECT_EQ(deliveredOn, mainThread);
    EXPECT_EQ(model.results().at(0), connected());
    EXPECT_EQ(model.connectedCount(), 1);
}

// Main-thread rows are checked at once; the others' results arrive only
// through the event loop, a round under way is not doubled but followed by
// one more, and the same results again say nothing. (The page's test presses
// the buttons.)
TEST_F(ReconnectModelTest, OneRoundAtATimeItsResultsThroughTheEventLoop) {
    int checks = 0;
    KTReconnectItem probe = item("perm", connected);
    probe.checkOnMainThread = true;
    const auto counted = [&] { return ++checks, open(); };
    KTReconnectModel model({probe, item("a", connected), item("b", counted)}, nullptr, held.executor());
    int changed = 0;
    QObject::connect(&model, &KTReconnectModel::changed, [&] { ++changed; });
    model.refresh();
    model.refresh();
    EXPECT_EQ(model.results().at(0), connected());
    EXPECT_EQ(changed, 1);
    ASSERT_EQ(held.jobs.size(), 1u);
    EXPECT_TRUE(model.refreshing());
    held.runAll();
    EXPECT_EQ(model.results().at(1).status, KTReconnectStatus::checking())
        << "not before the main thread takes it";
    QCoreApplication::processEvents();
    EXPECT_EQ(model.results().at(1), connected());
    EXPECT_EQ(model.results().at(2), open());
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(held.jobs.size(), 1u) << "one more round for the refresh asked for meanwhile";
    held.runAll();
    QCoreApplication::processEvents();
    EXPECT_TRUE(held.jobs.empty());
    EXPECT_FALSE(model.refreshing());
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(model.rounds(), 2);
    model.perform(5);  // no such row: nothing happens
    model.perform(-1);
    EXPECT_TRUE(held.jobs.empty());
}

TEST_F(ReconnectModelTest, ADestroyedModelDropsTheResultsOfItsLastRound) {
    auto* model = new KTReconnectModel({item("a", connected)}, nullptr, held.executor());
    model->refresh();
    delete model;
    held.runAll();  // must not touch the model
    QCoreApplication::processEvents();
}

TEST_F(ReconnectModelTest, StartingRunsARoundAtOnceThenOneEveryInterval) {
    KTReconnectModel model({item("a", open)}, nullptr, held.executor());
    EXPECT_EQ(model.interval(), std::chrono::milliseconds(2000));
    model.start();
    EXPECT_TRUE(model.isRunning());
    EXPECT_EQ(held.jobs.size(), 1u) << "the first round starts at once";
    model.stop();
    EXPECT_FALSE(model.isRunning());

    KTReconnectModel quick({item("a", open)}, nullptr, held.executor(), std::chrono::milliseconds(5));
    quick.start();
    ASSERT_TRUE(test::spinUntil([&] {
        held.runAll();
        return quick.rounds() >= 3;
    }));
}

}  // namespace
}  // namespace rk
