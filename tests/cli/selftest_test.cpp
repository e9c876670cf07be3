// The checks the program runs on itself: "--selftest" with its verdict and
// the checks of its own, and "--explain-check" with each mode's verdict.

#include "cli/SelfTest.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <future>

#include "cli/ExplainCheck.h"
#include "cli/SelfTestChecks.h"
#include "cli/SelfTestFiles.h"
#include "cli/SelfTestReaders.h"
#include "permissions/PermissionWizard.h"
#include "support/PrintedLines.h"
#include "support/QtApp.h"

namespace rk {
namespace {

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::core, "cli_selftest_test"));

test::Printed runSelfTest(const std::function<void()>& configureWizard) {
    QString text;
    QTextStream out(&text);
    const int status = SelfTest::run(out, configureWizard);
    return {status, text.split('\n', Qt::SkipEmptyParts)};
}

// The lines that begin with `prefix`.
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
}  // namespace rk
