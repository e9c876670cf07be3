// MoveIn::newest on real folder trees, beyond the self-test's container and
// deep-folder decoys: links at any depth, a Keychains folder in any case,
// single files, and the cap on what one folder gives.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    QString at(const QString& relative) const { return root.filePath(relative); }

    // Writes a file, making its folders first.
    void write(const QString& relative) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(at(relative)).path()));
        QFile file(at(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    void link(const QString& relative, const QString& target) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(at(relative)).path()));
        ASSERT_TRUE(QFile::link(at(target), at(relative)));
    }
    // Sets the modification date a day back without following a link.
    void backdate(const QString& relative) {
        const struct timespec times[2] = {{dayBack.toSecsSinceEpoch(), 0}, {dayBack.toSecsSinceEpoch(), 0}};
        ASSERT_EQ(
            ::utimensat(AT_FDCWD, QFile::encodeName(at(relative)).constData(), times, AT_SYMLINK_NOFOLLOW),
            0);
    }
    bool opened(const QString& relative) const {
        const auto date = MoveIn::newest(at(relative));
        return date && *date > move;
    }

    QTemporaryDir root;
    QDateTime move = QDateTime::currentDateTimeUtc().addSecs(-3600);
    QDateTime dayBack = QDateTime::currentDateTimeUtc().addSecs(-86400);
};

// The links' targets are fresh and the links themselves were made just now:
// neither may count, at any depth, nor may a Keychains folder in any case.
TEST_F(NewestTest, LinksAndKeychainsFoldersNeverCount) {
    write("fresh/deep/new.txt");
    write("old/keychains/login.db");
    link("old/to-file", "fresh/deep/new.txt");
    link("old/inner/to-folder", "fresh");
    for (const char* path : {"old/keychains", "old/inner", "old"})
        backdate(path);
    ASSERT_TRUE(MoveIn::newest(at("old")).has_value());
    EXPECT_FALSE(opened("old"));
    EXPECT_EQ(MoveIn::newest(at("old/to-file")), std::nullopt) << "a path that is a link reads nothing";
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
    const QStringList order = QDir(at("many")).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    ASSERT_EQ(order.size(), 800);
    write("many/" + order.last());
    EXPECT_FALSE(opened("many"));
    write("many/" + order.first());
    EXPECT_TRUE(opened("many"));
}

}  // namespace
}  // namespace rk
