// The command-line modes. On the simulated Mac: "--probe" (its lines with
// and without a photo, the files beside the photo path, failing stores and a
// photo that never comes), "--ax-dump" (the elements and their text),
// "--settings-unchanged-check" (with a pump that acts as macOS while it
// waits) and the capture of every page. On its own: "--selftest", with its
// verdict and the checks of its own, and "--explain-check" in each mode.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>
#include <future>

#include "cli/AXDump.h"
#include "cli/ExplainCheck.h"
#include "cli/PageCapture.h"
#include "cli/Probe.h"
#include "cli/SelfTest.h"
#include "cli/SelfTestChecks.h"
#include "cli/SelfTestFiles.h"
#include "cli/SelfTestReaders.h"
#include "cli/TextForms.h"
#include "cli/UnchangedCheck.h"
#include "finder/SettingsDriver.h"
#include "permissions/PermissionWizard.h"
#include "support/ModelFakes.h"
#include "support/PrintedLines.h"
#include "support/QtApp.h"
#include "support/UiProbe.h"
#include "ui/Palette.h"
#include "ui/RootView.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

const QString kLong = QStringLiteral("LongName \"Helper\" for the Application Suite");
const QStringList kTop = {
    "window: \"Accessibility\" frame=(100.5, 50.0, 715.0, 650.0) id=812",
    "rows: 3 visible, 0 below the fold; minus buttons: 1; selected: [\"LongName \\\"Helper\\\" for the "
    "Application Suite\"]"};
const QString kNoPhoto = QStringLiteral("photo: NOT MEASURED (Screen Recording off or capture failed)");
const QString kNoStore = QStringLiteral("store: NOT MEASURED (Full Disk Access off or unreadable)");
const QStringList kVerdict = {
    "store: 2 candidates, 1 gone: com.example.Ghost [no installed app answers to com.example.Ghost]",
    "finding REMOVE Ghost x1: An old app: no installed app answers to com.example.Ghost. Nothing uses it "
    "anymore.",
    "mark remove accessibility#0 Ghost"};

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        world.installApp("com.vendor.Editor", "/Applications/Editor.app");
        world.writeTcc({accessibilityRow("com.example.Ghost"), accessibilityRow("com.vendor.Editor")});
        world.settings.setWindowFrame({100.5, 50, 715, 650});
        world.settings.setAccessibilityRows({{"Ghost", SimulatedIcon::blankDocument, "com.example.Ghost"},
                                             {"Editor", SimulatedIcon::colourful, "com.vendor.Editor"},
                                             {kLong, SimulatedIcon::blankDocument, "com.example.LongName"}});
        world.settings.showPage(SimulatedPage::accessibility);
        world.root.makeFolder("/out/x.png");
        const auto snap = SettingsDriver::snapshot(Pane::accessibility);
        ASSERT_TRUE(snap && SettingsDriver::select(snap->rows[2], *snap));
    }
    Printed probe(const std::optional<QString>& path, const ProbeWaits& waits = {}) {
        return printedBy([&] { return Probe::run(Pane::accessibility, path, waits); });
    }
    QStringList files(const QString& logical) const {
        return QDir(world.root.disk(logical)).entryList(QDir::Files, QDir::Name);
    }

    ModelWorld world;
};

TEST_F(ProbeTest, WithoutAPhotoEveryRowIsPrintedWhole) {
    world.photo.permitted = false;
    const Printed printed = probe(std::nullopt);
    EXPECT_EQ(printed.status, 0);
    EXPECT_EQ(printed.lines,
              kTop +
                  QStringList({"  accessibility 0 Ghost (335.5, 154.0, 460.0, 40.0)",
                               "  accessibility 1 Editor (335.5, 194.0, 460.0, 40.0)",
                               "  accessibility 2 " + kLong + " (335.5, 234.0, 460.0, 40.0)"}) +
                  kVerdict);
}

TEST_F(ProbeTest, APhotoReadsEachIconAndItsFilesNeverOverwriteEachOther) {
    const QStringList icons = {"shot-icon-accessibility-0.png", "shot-icon-accessibility-1.png",
                               "shot-icon-accessibility-2.png", "shot-raw.png"};
    for (const auto& [folder, marked] : {std::pair{QString("/out/x.png"), QString("shot")},
                                         std::pair{QString("/out"), QString("shot.png")}}) {
        const Printed printed = probe(world.root.disk(folder + "/" + marked));
        ASSERT_EQ(printed.lines.size(), 8);
        EXPECT_TRUE(printed.lines[2].startsWith("  accessibility  0  Ghost" + QString(29, ' ') + " bright="));
        EXPECT_TRUE(printed.lines[2].endsWith(" blank=yes") && printed.lines[3].endsWith(" blank=no"));
        EXPECT_TRUE(
            printed.lines[4].startsWith("  accessibility  2  LongName \"Helper\" for the Applicat bright="));
        EXPECT_EQ(printed.lines.mid(5), kVerdict);
        QStringList expected = icons + QStringList{marked};
        expected.sort();
        EXPECT_EQ(files(folder), expected) << folder.toStdString();
    }
    // A link planted at a name beside the photo is refused; its target stays.
    const QString raw = world.root.disk("/out/shot-raw.png"),
                  mine = world.root.writeFile("/mine.txt", "mine");
    ASSERT_TRUE(QFile::remove(raw) && QFile::link(mine, raw));
    EXPECT_TRUE(probe(world.root.disk("/out/shot.png"))
                    .lines.contains("photo: could not write " + raw + ": a link stands at that name"));
    EXPECT_EQ(QFileInfo(mine).size(), 4);
}

TEST_F(ProbeTest, AFailedCaptureOrAnUnreadableStoreIsSaidAndTheProbeGoesOn) {
    world.root.writeFile(world.root.paths().userTCC(), "not a database");
    world.photo.listingError = "not permitted";
    const QStringList withoutStore = {kNoStore, "store: 0 candidates, 0 gone: "};
    EXPECT_EQ(probe(world.root.disk("/out/shot.png")).lines, kTop + QStringList{kNoPhoto} + withoutStore);
    EXPECT_TRUE(files("/out").isEmpty());

    world.photo.listingError.reset();  // the photo's own decision reads the store too
    const Printed printed = probe(std::nullopt);
    EXPECT_EQ(printed.status, 0);
    EXPECT_EQ(printed.lines.mid(5), QStringList{kNoStore} + withoutStore);
}

TEST_F(ProbeTest, APhotoThatNeverComesStopsTheWaitAtTheDeadlineAndIsDroppedLater) {
    std::function<void()> held;
    double pumped = 0;
    const ProbeWaits waits{.pump = [&](double seconds) { pumped += seconds; },
                           .start = [&](std::function<void()> work) { held = std::move(work); }};
    EXPECT_EQ(probe(world.root.disk("/out/shot.png"), waits).lines.mid(0, 3), kTop + QStringList{kNoPhoto});
    EXPECT_NEAR(pumped, ProbeWaits::captureDeadline, ProbeWaits::captureSlice * 1.5);
    ASSERT_TRUE(held);
    held();  // the photo arrives after all, and goes nowhere
    EXPECT_TRUE(files("/out").isEmpty());
}

TEST(AXDump, PrintsTheElementsThatMatchAtTheirPlaceWithFramesInRange) {
    const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString window = QStringLiteral("window Accessibility nodes 24");
    const QString ghost =
        QStringLiteral("22 p=20 AXStaticText text=\"Ghost\" desc=\"\" id=\"\" f=-29,166,300x16");
    const struct {
        QString title;
        QString filter;
        QStringList lines;
    } cases[] = {
        // Across role and text; never the sidebar, which still counts in the places of the others.
        {"Ghost", "TextGh", {window, ghost}},
        {"Ghost", "Sidebar", {window}},
        {"Ghost",
         "AXGroup",
         {window, "8 p=5 AXGroup text=\"\" desc=\"\" id=\"\" f=-300,102,215x598",
          "9 p=5 AXGroup text=\"\" desc=\"\" id=\"\" f=-85,102,500x598",
          "14 p=12 AXGroup text=\"\" desc=\"\" id=\"\" f=-85,102,500x598"}},
        {QString(38, 'x') + "\"" + family + "tail",
         "StaticTextxx",
         {window, "22 p=20 AXStaticText text=\"" + QString(38, 'x') + "\\\"" + family +
                      "\" desc=\"\" id=\"\" f=-29,166,300x16"}},
    };
    for (const auto& c : cases) {
        ModelWorld world;
        world.settings.setWindowFrame({-300.5, 50, 715, 650});
        world.settings.setAccessibilityRows({{c.title, SimulatedIcon::blankDocument, "com.example.Ghost"}});
        world.settings.showPage(SimulatedPage::accessibility);
        const Printed printed = printedBy([&] { return AXDump::run(Pane::accessibility, c.filter); });
        EXPECT_EQ(printed.status, 0) << c.filter.toStdString();
        EXPECT_EQ(printed.lines, c.lines) << c.filter.toStdString();
    }
    // Frame values that are not whole numbers print in range.
    AXNode node;
    node.role = "AXRow";
    node.frame = {std::nan(""), 1e300, -9.3e18, INFINITY};
    EXPECT_EQ(AXDump::line(7, node),
              "7 p=-1 AXRow text=\"\" desc=\"\" id=\"\" f=0,9223372036854775807,-9223372036854775808x0");
}

TEST(TextForms, CutCountsCharactersAsAPersonSeesThemThenQuotes) {
    const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");  // one
    const QString flags = QString::fromUtf8("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7");     // two
    const QString acute = QString::fromUtf8("e\u0301");                                      // one
    const struct {
        QString text;
        int count;
        QString quoted;
    } cases[] = {
        {"", 3, "\"\""},
        {"ab" + family + "cd", 3, "\"ab" + family + "\""},
        {flags + "x", 1, "\"" + flags.left(4) + "\""},
        {acute + acute, 1, "\"" + acute + "\""},
        {"a\"b\\c\nd\te\r\x01", 20, "\"a\\\"b\\\\c\\nd\\te\\r\\u{1}\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextForms::quoted(TextForms::cut(c.text, c.count)), c.quoted) << c.text.toStdString();
}

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

class PageCaptureTest : public ::testing::Test {
protected:
    // The capture's status and closing line; its refusals in `errors`.
    std::pair<int, QString> capture(const QString& folder) {
        QString text;
        QTextStream out(&text);
        errors.clear();
        QTextStream err(&errors);
        const int status = PageCapture::run(folder, false, model, out, err);
        return {status, text};
    }
    QString errors;

    test::ModelWorld world;
    AppModel model{world.seams};
    QTemporaryDir dir;
};

TEST_F(PageCaptureTest, WritesEveryPageInBothSchemesOrCountsNone) {
    const QString folder = dir.filePath("pages");
    EXPECT_EQ(capture(folder), std::make_pair(0, "captured 10 pages to " + folder + "\n"));
    const QStringList expected{"accessibility-dark.png", "accessibility-light.png", "done-dark.png",
                               "done-light.png",         "loginItems-dark.png",     "loginItems-light.png",
                               "moveIn-dark.png",        "moveIn-light.png",        "start-dark.png",
                               "start-light.png"};
    ASSERT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
    for (const QString& name : expected) {
        const QImage image(QDir(folder).filePath(name));
        const qreal scale = image.width() / double(PageCapture::width);
        EXPECT_TRUE(scale == 1 || scale == 2) << name.toStdString();
        EXPECT_GE(image.height(), PageCapture::minHeight * scale) << name.toStdString();
        EXPECT_LE(image.height(), PageCapture::maxHeight * scale) << name.toStdString();
        // The scheme comes from the frame, whatever the desktop says.
        EXPECT_EQ(image.pixelColor(2, 2).rgb(), Palette::ground(name.contains("dark")).rgb())
            << name.toStdString();
    }
    // A folder that cannot be written counts no page.
    QFile file(dir.filePath("plain-file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString unwritable = dir.filePath("plain-file/pages");
    EXPECT_EQ(capture(unwritable), std::make_pair(1, "captured 0 pages to " + unwritable + "\n"));
    // Links named like the pages are refused, each said, and their targets kept.
    const QString links = dir.filePath("links");
    QDir().mkdir(links);
    for (const QString& name : expected)
        QFile::link(file.fileName(), links + "/" + name);
    EXPECT_EQ(capture(links), std::make_pair(1, "captured 0 pages to " + links + "\n"));
    EXPECT_EQ(errors.count(": a link stands at that name\n"), 10) << errors.toStdString();
    EXPECT_EQ(QFileInfo(file).size(), 0);
}

// The captured Login Items page explains its item as the live demo window
// does once the explanations it started have run.
TEST_F(PageCaptureTest, ExplainsLikeTheLiveDemoWindow) {
    const auto card = [](const QWidget& page) {
        const QStringList texts = test::shownTexts(&page);
        return texts.mid(texts.indexOf("Everything else running in the background, in plain English"), 5);
    };
    AppModel live{world.seams};
    for (AppModel* m : {&live, &model})
        m->setDemo(true);
    live.go(Step::loginItems);
    for (qsizetype i = 0; i < world.explain.jobs.size(); ++i)
        world.explain.finish(i);
    const std::unique_ptr<QWidget> window(RootView::makePage(live, Step::loginItems, false, nullptr));
    PageCapture::show(model, Step::loginItems);
    const CaptureFrame captured(model, false);
    EXPECT_EQ(card(captured), card(*window));
    EXPECT_EQ(card(*window).size(), 5);
}

test::Printed runSelfTest(const std::function<void()>& configureWizard) {
    QString text;
    QTextStream out(&text);
    const int status = SelfTest::run(out, configureWizard);
    return {status, text.split('\n', Qt::SkipEmptyParts)};
}

QStringList startingWith(const QStringList& lines, const QString& prefix) {
    return lines.filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
}

class SelfTestRun : public ::testing::Test {
protected:
    void TearDown() override { KTPermissionWizard::resetForTesting(); }
};

TEST_F(SelfTestRun, EveryCheckPassesInOrderThenTheLiveLinesAndTheVerdict) {
    const test::Printed run = runSelfTest([] {});
    const QStringList checks = startingWith(run.lines, "pass: ");
    ASSERT_EQ(checks.size(), 59) << run.lines.join('\n').toStdString();
    EXPECT_TRUE(startingWith(run.lines, "FAIL: ").isEmpty());
    EXPECT_EQ(checks.first(), "pass: decoy: a Remove BUTTON is refused and never written");
    EXPECT_EQ(checks[35], "pass: device move detection selftest");
    EXPECT_EQ(checks.last(), "pass: control: no legacy bundle ids, so the wizard's tccutil path cannot run");
    // The device-move self-test prints its own lines just before its check.
    const qsizetype deviceLine = run.lines.indexOf(checks[35]);
    EXPECT_EQ(run.lines[deviceLine - 1], "RESULT PASS");
    const qsizetype last = run.lines.size();
    ASSERT_GE(last, 62);
    EXPECT_EQ(run.lines[last - 4], checks.last());
    EXPECT_TRUE(run.lines[last - 3].startsWith("live: privacy database "))
        << run.lines[last - 3].toStdString();
    EXPECT_TRUE(run.lines[last - 2].startsWith("live: Login Items store "))
        << run.lines[last - 2].toStdString();
    EXPECT_EQ(run.lines[last - 1], "SELFTEST PASS");
    EXPECT_EQ(run.status, 0);
}

TEST_F(SelfTestRun, OneFailingCheckIsCountedAndTheRunGoesOn) {
    // A product that declares a former identity would let the privacy reset run.
    const test::Printed run = runSelfTest([] {
        KTWizardProduct product;
        product.legacyBundleIdentifiers = {"com.example.TESTold"};
        KTPermissionWizard::configure(product, KTWizardBrand{}, {}, false);
    });
    EXPECT_EQ(startingWith(run.lines, "pass: ").size(), 58);
    EXPECT_EQ(startingWith(run.lines, "FAIL: "),
              QStringList{"FAIL: control: no legacy bundle ids, so the wizard's tccutil path cannot run"});
    EXPECT_EQ(run.lines.last(), "SELFTEST FAIL (1)");
    EXPECT_EQ(run.status, 1);
}

TEST(SelfTestFiles, DecoysWhoseLinksCouldNotBeMadeFailRatherThanPassOnNothing) {
    // Nothing can be made below a plain file: no folders, files or links.
    QTemporaryDir dir;
    QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
    QString text;
    QTextStream out(&text);
    SelfTestChecks checks(out);
    SelfTestFiles::run(checks, dir.filePath("plain"));
    const QStringList lines = startingWith(text.split('\n'), "FAIL: ");
    EXPECT_EQ(lines,
              (QStringList{
                  "FAIL: decoy: a sandboxed app's links and Keychains never read as opened",
                  "FAIL: control: a real file written since the move reads as opened",
                  "FAIL: decoy: a path that IS a link reads nothing",
                  "FAIL: decoy: a link at <path>/a/b and a file at <path>/a/b/c/f never read as opened",
                  "FAIL: control: a real file at <path>/a/b/f reads as opened",
              }));
}

TEST(SelfTestRedaction, TheReplacementWordNeverCountsAsTheName) {
    struct Case {
        const char* name;
        const char* redacted;
        bool hidden;
    };
    const Case cases[] = {
        {"user", "com.user.secret", true},     {"ser", "com.user.secret", true},
        {"use", "com.USER.secret", true},      {"anna", "com.user.secret", true},
        {"anna", "com.anna.secret", false},    {"Anna", "com.ANNA.secret", false},
        {"ser", "com.ser.user.secret", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SelfTestReaders::hidesName(c.name, QString(c.redacted)), c.hidden)
            << c.name << " " << c.redacted;
    EXPECT_TRUE(SelfTestReaders::hidesName("anna", std::nullopt));
}

using Source = Explanation::Source;
using namespace std::chrono_literals;

const Explanation kRule{"TEST Dropbox Helper", "A rule line.", Source::rules};

std::pair<int, QString> check(const QString& word, ExplainCheck::Options options) {
    QString text;
    QTextStream out(&text);
    const int status = ExplainCheck::run(word, out, options);
    return {status, text};
}

// A pipeline that asks for consent once and answers with `answers` from
// `source`; the AI answers only with consent, which only "gateway" gives.
ExplainCheck::Pipeline answering(Source source, const ExplanationMap& answers) {
    return [source, answers](const QList<ExplainItem>&, bool, const ConsentQuestion& consented) {
        if (!consented() && source == Source::ai)
            return ExplainRun{{{"t1", kRule}}, Source::none};
        return ExplainRun{answers, source};
    };
}

TEST(ExplainCheck, EachModeHasItsOwnVerdict) {
    const ExplanationMap rule{{"t1", kRule}};
    const ExplanationMap device{{"t1", kRule}, {"t2", {"TEST Sync Agent", "Syncs.", Source::onDevice}}};
    const ExplanationMap ai{{"t1", kRule},
                            {"t2", {"TEST Sync Agent", "Syncs.", Source::ai}},
                            {"t3", {"TEST Menu Clock", "A clock.", Source::ai}}};
    const QString noDevice = "NOT MEASURED: the on-device model is not available here (none)";
    const struct {
        const char* word;
        Source source;
        ExplanationMap answers;
        int status;
        QString last;
    } cases[] = {
        {"offline", Source::none, rule, 0, "PASS: rules line kept, nothing else invented, nothing sent"},
        {"offline", Source::onDevice, device, 1, "FAIL"},
        {"gateway", Source::ai, ai, 0, "PASS: the gateway explained the rows the rules could not"},
        {"gateway", Source::none, rule, 1, "FAIL"},
        {"device", Source::onDevice, device, 0, "PASS: the on-device model answered"},
        {"device", Source::none, rule, 3, noDevice},
        {"Gateway", Source::ai, ai, 3, noDevice},
    };
    for (const auto& c : cases) {
        ExplainCheck::Options options{.pipeline = answering(c.source, c.answers)};
        options.services.gateway.clientKey = "secret-client-key";
        const auto [status, text] = check(c.word, options);
        const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(status, c.status) << c.word;
        EXPECT_EQ(lines.size(), 5) << c.word;
        EXPECT_EQ(lines.last(), c.last) << c.word;
        EXPECT_TRUE(lines.first().endsWith(" key=present consent-asked=1")) << lines.first().toStdString();
    }
}

TEST(ExplainCheck, NoAnswerInTimeIsNotMeasured) {
    auto release = std::make_shared<std::promise<void>>();
    const ExplainCheck::Pipeline stuck = [waiting = release->get_future().share()](auto&&...) {
        waiting.wait();
        return ExplainRun{};
    };
    EXPECT_EQ(check("offline", {.pipeline = stuck, .limit = 50ms}),
              std::make_pair(3, QString("NOT MEASURED: no answer in 0.05 seconds\n")));
    release->set_value();
}

TEST(ExplainCheck, OfflineKeepsTheRuleLineAndSendsNothing) {
    EXPECT_EQ(
        check("offline", {}),
        std::make_pair(0, QString("mode=offline answered-by=none key=absent consent-asked=0\n"
                                  "  TEST Dropbox Helper: [rules] Dropbox's helper keeps the files in your "
                                  "Dropbox folder in step with your Dropbox account.\n"
                                  "  TEST Sync Agent: [none] (no line)\n"
                                  "  TEST Menu Clock: [none] (no line)\n"
                                  "PASS: rules line kept, nothing else invented, nothing sent\n")));
}

}  // namespace
