// "--move-in-check": its lines, its summary and its exit statuses.

#include <gtest/gtest.h>

#include <QTextStream>

#include "movein/MoveInCheck.h"
#include "support/PlatformFakes.h"
#include "support/PrintedLines.h"
#include "support/TempRoot.h"

namespace rk {
namespace {

class CodexMachine final : public Machine {
public:
    QString codexAnswer = "Logged in using ChatGPT\n";
    int runs = 0;
    ToolRun run(const QString& program, const QStringList&, std::chrono::milliseconds) override {
        ++runs;
        if (program.endsWith("/codex"))
            return {ToolRun::Outcome::finished, 0, {}, codexAnswer.toUtf8()};
        return {};  // nothing else is installed
    }
};

test::Printed check(const QString& path, const test::TempRoot& root, const QString& marks) {
    QString text;
    QTextStream out(&text);
    const int status = MoveInCheck::run(path, out, root.paths(), marks);
    return {status, text.split('\n', Qt::SkipEmptyParts)};
}

class CheckModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        MoveIn::commandCache().clear();
        Machine::setCurrent(&machine);
        QFile::setPermissions(root.writeFile("/opt/homebrew/bin/codex", "#!/bin/sh\n"),
                              QFile::ReadOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        Machine::setCurrent(nullptr);
        MoveIn::commandCache().clear();
    }
    QString list(const QByteArray& json) { return root.writeFile("/list.json", json); }

    test::TempRoot root;
    CodexMachine machine;
    QString marks = root.root() + "/marks.json";
};

TEST_F(CheckModeTest, AMissingOrEmptyListIsNotMeasuredWithStatusTwo) {
    for (const QString& path :
         {root.root() + "/nonexistent", list(""), list("not json"), list("{\"rows\":[]}")}) {
        const test::Printed report = check(path, root, marks);
        EXPECT_EQ(report.status, 2);
        EXPECT_EQ(report.lines, QStringList{"NOT MEASURED: no rows in " + path});
    }
    EXPECT_EQ(machine.runs, 0) << "no tool runs for an empty list";
}

TEST_F(CheckModeTest, PrintsOneLinePerRowAndASortedTally) {
    ASSERT_TRUE(MoveIn::saveMarks({{}, {"mine"}}, marks).ok());
    const QString path = list(R"({"rows":[
        {"id":"codex","title":"Codex","check":{"kind":"codex-login"},"action":{"url":"https://x"},"actionLabel":"Sign in"},
        {"id":"mine","title":"My sign-in"},
        {"id":"box","title":"Box","how":"Open Box and sign in.","check":{"kind":"file-newer-than","paths":["~/Box"]}},
        {"id":"key","title":"Signing","check":{"kind":"codesign-identity"}},
        {"id":"odd","title":"Odd","check":{"kind":"weird"}}]})");
    const test::Printed report = check(path, root, marks);
    EXPECT_EQ(report.status, 0);
    ASSERT_EQ(report.lines.size(), 6);
    EXPECT_EQ(report.lines[0], "GREEN        [codex-login] Codex: Logged in using ChatGPT  ->  Done");
    EXPECT_EQ(report.lines[1], "GREEN        [none] My sign-in: You confirmed this  ->  Done");
    EXPECT_EQ(
        report.lines[2],
        "CANNOT CHECK [file-newer-than] Box: The list does not say when the move happened, so I cannot tell "
        "new files from migrated one  ->  Confirm");
    EXPECT_EQ(
        report.lines[3],
        "CANNOT CHECK [codesign-identity] Signing: I could not list the code-signing identities in your "
        "keychain.  ->  Check again");
    EXPECT_TRUE(report.lines[4].startsWith("CANNOT CHECK [weird] Odd: I do not know how to check \"weird\""));
    EXPECT_EQ(report.lines[5], "rows: 5, since: not given, CANNOT CHECK 3, GREEN 2");
    // Each tool ran once, before the rows, however many rows read it.
    EXPECT_EQ(machine.runs, 2);
}

TEST_F(CheckModeTest, FixAndOpenedRowsAndTheSinceLine) {
    root.writeFile("/Users/anna/Box/new.txt", "x");
    machine.codexAnswer = "Not logged in\n";
    const QString path = list(R"({"since": 1000, "rows":[
        {"id":"box","title":"Box","how":"Open Box and sign in.","check":{"kind":"file-newer-than","paths":["~/Box"]}},
        {"id":"old","title":"Old","how":"Open Old.","check":{"kind":"file-newer-than","paths":["~/Nothing"]}},
        {"id":"codex","title":"Codex","check":{"kind":"codex-login"}}]})");
    const test::Printed report = check(path, root, marks);
    EXPECT_EQ(report.status, 0);
    ASSERT_EQ(report.lines.size(), 4);
    EXPECT_TRUE(report.lines[0].startsWith("OPENED       [file-newer-than] Box: Opened "))
        << report.lines[0].toStdString();
    EXPECT_TRUE(report.lines[0].endsWith("  ->  Confirm"));
    EXPECT_EQ(report.lines[1], "FIX          [file-newer-than] Old: Open Old.  ->  Confirm");
    EXPECT_EQ(report.lines[2], "FIX          [codex-login] Codex: needs a reconnect  ->  Check again");
    EXPECT_EQ(report.lines[3],
              "rows: 3, since: " + MoveIn::timeLine(QDateTime::fromSecsSinceEpoch(1000, Qt::UTC)) +
                  ", FIX 2, OPENED 1");
}

TEST_F(CheckModeTest, LongTextsAreCutAtNinetyCharacters) {
    EXPECT_EQ(MoveInCheck::line("FIX", "none", "T", QString(100, 'a'), "Open"),
              "FIX          [none] T: " + QString(90, 'a') + "  ->  Open");
    // A character outside the Basic Multilingual Plane is one character, never half of one.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xA6");
    const QString text = emoji.repeated(91);
    EXPECT_EQ(MoveInCheck::line("GREEN", "none", "T", text, "Done"),
              "GREEN        [none] T: " + emoji.repeated(90) + "  ->  Done");
}

}  // namespace
}  // namespace rk
