// Characters as a person counts them, cut before quoting.

#include <gtest/gtest.h>

#include "cli/TextForms.h"

namespace rk {
namespace {

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
}  // namespace rk
