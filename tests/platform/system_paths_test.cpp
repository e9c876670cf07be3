#include <gtest/gtest.h>

#include <QFileInfo>

#include "platform/Machine.h"
#include "platform/SystemPaths.h"
#include "platform/Text.h"
#include "support/FakeTools.h"

using namespace rk;
using namespace std::chrono_literals;

TEST(SystemPaths, TildeOnlyAtFolderBoundary) {
    const auto paths = SystemPaths::rerooted("/tmp/root", "/Users/ann");
    struct Case {
        const char* path;
        const char* want;
    } cases[] = {
        {"/Users/ann", "~"},
        {"/Users/ann/Library/x", "~/Library/x"},
        {"/Users/anna/x", "/Users/anna/x"},
        {"/Applications/Tool.app", "/Applications/Tool.app"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(paths.tilde(c.path), c.want) << c.path;
}

TEST(SystemPaths, DiskMapsLogicalPathsUnderTheRoot) {
    const auto paths = SystemPaths::rerooted("/tmp/root/", "/Users/ann/");
    EXPECT_EQ(paths.home(), "/Users/ann");
    EXPECT_EQ(paths.disk(paths.userTCC()),
              "/tmp/root/Users/ann/Library/Application Support/com.apple.TCC/TCC.db");
    EXPECT_EQ(paths.disk("relative/x"), "relative/x");
    EXPECT_EQ(SystemPaths::host().disk("/Library"), "/Library");
}

TEST(SystemPaths, TheDittoStandInCopiesABundleKeepingLinksAndModes) {
    test::TempRoot root;
    const QString ditto = test::FakeTools(root).installStandIn(MacTool::ditto);
    const QString program = root.writeFile("/A.app/Contents/MacOS/A", "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup);
    QFile::link("MacOS", root.disk("/A.app/Contents/Current"));
    const ToolResult copied = HostMachine().runMerged(ditto, {root.disk("/A.app"), root.disk("/B.app")}, 10s);
    EXPECT_TRUE(copied.ok()) << copied.out.toStdString();
    EXPECT_EQ(QFileInfo(root.disk("/B.app/Contents/MacOS/A")).permissions(), QFileInfo(program).permissions());
    EXPECT_TRUE(QFileInfo(root.disk("/B.app/Contents/Current")).isSymLink());
    EXPECT_FALSE(HostMachine().runMerged(ditto, {"-x", root.disk("/A.app")}, 10s).ok()) << "another form";
}

TEST(Text, OrdersByScalarValueNotUtf16Units) {
    const QString astral = QString::fromUcs4(U"\U0001F600");  // surrogate pair in UTF-16
    const QString high = QString::fromUcs4(U"\uFF21");        // fullwidth A, above the surrogates
    EXPECT_TRUE(Text::less(high, astral));
    EXPECT_FALSE(Text::less(astral, high));
    EXPECT_TRUE(Text::less("Zebra", "apple"));  // case matters: 'Z' < 'a'
    // Decomposed and composed forms are one title.
    EXPECT_EQ(Text::compare(QString::fromUtf8("e\xCC\x81"), QString::fromUtf8("\xC3\xA9")), 0);
}
