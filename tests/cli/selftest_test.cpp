#include "cli/SelfTest.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

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

}  // namespace
}  // namespace rk
