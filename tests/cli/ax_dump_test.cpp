// "--ax-dump" on the simulated System Settings.

#include <gtest/gtest.h>

#include <cmath>

#include "cli/AXDump.h"
#include "cli/TextForms.h"
#include "support/ModelFakes.h"
#include "support/PrintedLines.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

TEST(AXDump, PrintsTheElementsThatMatchAtTheirPlaceInTheWholeWalk) {
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
}

TEST(AXDump, FrameValuesThatAreNotWholeNumbersPrintInRange) {
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

}  // namespace
