// MoveIn::newest on real folder trees: a sandboxed app's container with links
// and a Keychains folder, and a tree deeper than the walk goes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "movein/MoveIn.h"

namespace rk {
namespace {

class NewestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        now = QDateTime::currentDateTimeUtc();
        move = now.addSecs(-3600);
        dayBack = now.addSecs(-86400);
    }

    QString at(const QString& relative) const { return root.filePath(relative); }

    // Writes a file, making its folders first.
    void write(const QString& relative, const QByteArray& data = "x") {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(at(relative)).path()));
        QFile file(at(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    void link(const QString& relative, const QString& target) {
        ASSERT_EQ(
            ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at(relative)).constData()), 0);
    }

    // Sets the modification date without following a link.
    void backdate(const QString& relative) {
        const struct timespec times[2] = {{dayBack.toSecsSinceEpoch(), 0}, {dayBack.toSecsSinceEpoch(), 0}};
        ASSERT_EQ(
            ::utimensat(AT_FDCWD, QFile::encodeName(at(relative)).constData(), times, AT_SYMLINK_NOFOLLOW),
            0);
    }

    bool opened(const std::optional<QDateTime>& date) const { return date && *date > move; }

    // A sandboxed app's data: old files, a fresh keychain, and links to fresh files.
    void buildContainer() {
        write("Containers/TEST.app/Data/Library/prefs.plist", "not a plist");
        write("Containers/TEST.app/Data/Library/Keychains/keychain.db");
        write("fresh/new.txt");
        link("Containers/TEST.app/Data/Desktop", at("fresh"));
        link("Containers/TEST.app/Data/latest.txt", at("fresh/new.txt"));
        for (const char* path :
             {"Containers/TEST.app/Data/Library/prefs.plist", "Containers/TEST.app/Data/Library",
              "Containers/TEST.app/Data/Library/Keychains", "Containers/TEST.app/Data"})
            backdate(path);
    }

    // A tree whose only fresh things are a link and a file four levels down.
    void buildDeepTree() {
        write("fresh/new.txt");
        write("Setapp/old.plist");
        write("Setapp/Default/Databases/four/too-deep.db");
        link("Setapp/Default/Databases/linked.json", at("fresh/new.txt"));
        for (const char* path : {"Setapp/old.plist", "Setapp/Default/Databases",
                                 "Setapp/Default/Databases/four", "Setapp/Default", "Setapp"})
            backdate(path);
    }

    QTemporaryDir root;
    QDateTime now, move, dayBack;
};

TEST_F(NewestTest, ASandboxedAppsLinksAndKeychainsNeverReadAsOpened) {
    buildContainer();
    EXPECT_FALSE(opened(MoveIn::newest(at("Containers/TEST.app/Data"))));
}

TEST_F(NewestTest, ARealFileWrittenSinceTheMoveReadsAsOpened) {
    buildContainer();
    write("Containers/TEST.app/Data/Library/state.json");
    EXPECT_TRUE(opened(MoveIn::newest(at("Containers/TEST.app/Data"))));
}

TEST_F(NewestTest, APathThatIsALinkReadsNothing) {
    buildContainer();
    EXPECT_EQ(MoveIn::newest(at("Containers/TEST.app/Data/Desktop")), std::nullopt);
    EXPECT_EQ(MoveIn::newest(at("Containers/TEST.app/Data/latest.txt")), std::nullopt);
}

TEST_F(NewestTest, ALinkTwoLevelsDownAndAFileFourLevelsDownNeverReadAsOpened) {
    buildDeepTree();
    EXPECT_FALSE(opened(MoveIn::newest(at("Setapp"))));
}

TEST_F(NewestTest, ARealFileThreeLevelsDownReadsAsOpened) {
    buildDeepTree();
    write("Setapp/Default/Databases/Apps.sqlite");
    EXPECT_TRUE(opened(MoveIn::newest(at("Setapp"))));
}

// The link's target is fresh and the link itself was made just now: neither
// may count, at any depth, and the walk must not go through a linked folder.
TEST_F(NewestTest, ALinkIsNeverFollowedEvenToAFreshFile) {
    ASSERT_TRUE(QDir().mkpath(at("old/inner")));
    write("fresh/deep/new.txt");
    link("old/to-file", at("fresh/deep/new.txt"));
    link("old/inner/to-folder", at("fresh"));
    for (const char* path : {"old/inner", "old"})
        backdate(path);
    const auto date = MoveIn::newest(at("old"));
    ASSERT_TRUE(date.has_value());
    EXPECT_FALSE(opened(date)) << date->toString(Qt::ISODate).toStdString();
}

TEST_F(NewestTest, AKeychainsFolderIsSkippedWhateverItsCase) {
    write("Data/keychains/login.db");
    backdate("Data/keychains");
    backdate("Data");
    EXPECT_FALSE(opened(MoveIn::newest(at("Data"))));
}

TEST_F(NewestTest, AFileGivesItsOwnDateAndAMissingPathNothing) {
    write("one.txt");
    backdate("one.txt");
    EXPECT_EQ(MoveIn::newest(at("one.txt")),
              QDateTime::fromSecsSinceEpoch(dayBack.toSecsSinceEpoch(), Qt::UTC));
    EXPECT_EQ(MoveIn::newest(at("nothing here")), std::nullopt);
    EXPECT_EQ(MoveIn::newest(QString()), std::nullopt);
}

TEST_F(NewestTest, AtMostFourHundredEntriesOfAFolderAreRead) {
    // 800 old files: a fresh one is found only among the first 400 the folder lists.
    for (int i = 0; i < 800; ++i) {
        write(QString("many/f%1").arg(i));
        backdate(QString("many/f%1").arg(i));
    }
    backdate("many");
    QStringList order = QDir(at("many")).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    ASSERT_EQ(order.size(), 800);
    write("many/" + order.last());
    EXPECT_FALSE(opened(MoveIn::newest(at("many"))));
    write("many/" + order.first());
    EXPECT_TRUE(opened(MoveIn::newest(at("many"))));
}

}  // namespace
}  // namespace rk
