#include <gtest/gtest.h>

#include <future>

#include "cli/ExplainCheck.h"
#include "support/QtApp.h"

namespace rk {
namespace {

using Source = Explanation::Source;
using namespace std::chrono_literals;

[[maybe_unused]] const auto* const kApp = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::core, "cli_explain_check_test"));

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
