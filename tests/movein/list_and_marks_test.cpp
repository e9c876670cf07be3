#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "movein/MoveIn.h"

namespace rk {
namespace {

TEST(MoveInList, ReadsEveryFieldOfARow) {
    const QByteArray data = R"({"since": 1700000000.5, "rows": [{
        "id": "dropbox", "title": "Dropbox", "group": "Apps", "systemImage": "shippingbox",
        "actionLabel": "Open Dropbox", "optional": true, "how": "Sign in again.", "note": "Files sync later.",
        "check": {"kind": "process-and-file-newer", "tier": "verified", "bundle": "com.example.box",
                  "clients": ["a"], "service": "s", "alsoAccept": ["t"], "path": "~/Dropbox",
                  "paths": ["~/A", "~/B"], "process": "Dropbox", "contains": "c"},
        "action": {"url": "https://example.com", "app": "com.example.box"}}]})";
    const MoveInList list = MoveIn::loadList(data);
    ASSERT_EQ(list.specs.size(), 1);
    EXPECT_EQ(list.since, QDateTime::fromMSecsSinceEpoch(1700000000500LL, Qt::UTC));
    const MoveInSpec expected{
        .id = "dropbox",
        .title = "Dropbox",
        .group = QString("Apps"),
        .systemImage = QString("shippingbox"),
        .actionLabel = QString("Open Dropbox"),
        .optional = true,
        .how = QString("Sign in again."),
        .note = QString("Files sync later."),
        .check = MoveInSpec::Check{.kind = "process-and-file-newer",
                                   .tier = QString("verified"),
                                   .bundle = QString("com.example.box"),
                                   .clients = QStringList{"a"},
                                   .service = QString("s"),
                                   .alsoAccept = QStringList{"t"},
                                   .path = QString("~/Dropbox"),
                                   .paths = QStringList{"~/A", "~/B"},
                                   .process = QString("Dropbox"),
                                   .contains = QString("c")},
        .action = MoveInSpec::Action{QString("https://example.com"), QString("com.example.box")}};
    EXPECT_EQ(list.specs.first(), expected);
}

TEST(MoveInList, ItemsAreReadWhenThereAreNoRows) {
    const MoveInList list = MoveIn::loadList(QByteArray(R"({"items":[{"id":"b","title":"B"}]})"));
    ASSERT_EQ(list.specs.size(), 1);
    EXPECT_EQ(list.since, std::nullopt);
    EXPECT_EQ(list.specs.at(0).kind(), "none");
}

// Each case is data that must give an empty list, or a list missing only the
// bad rows, without a crash.
TEST(MoveInList, BadDataGivesNoRowsOrSkipsOnlyTheBadRows) {
    const struct {
        QByteArray data;
        QStringList ids;
    } cases[] = {
        {"", {}},
        {"42", {}},
        {"{\"rows\": 5}", {}},
        {"{\"rows\": {\"id\":\"a\"}}", {}},
        {"[1, \"a\", null, {\"id\":\"a\"}, {\"title\":\"T\"}, {\"id\":\"\",\"title\":\"T\"}, "
         "{\"id\":\"k\",\"title\":\"K\"}]",
         {"k"}},
        {"[{\"id\":5,\"title\":\"T\"}, {\"id\":\"b\",\"title\":\"B\",\"check\":\"tcc\",\"action\":[1]}]",
         {"b"}},
        {"{\"rows\":[{\"id\":\"a\",\"title\":\"A\"}", {}},
        {QByteArray("\xff\xfe\x00", 3), {}},
    };
    for (const auto& c : cases) {
        QStringList ids;
        for (const MoveInSpec& spec : MoveIn::loadSpecs(c.data))
            ids << spec.id;
        EXPECT_EQ(ids, c.ids) << c.data.toStdString();
    }
}

TEST(MoveInList, ASinceThatNoDateCanHoldIsLeftOut) {
    for (const char* since : {"1e300", "-1e300", "\"1000\"", "true"}) {
        const QByteArray data =
            QByteArray("{\"since\":") + since + ",\"rows\":[{\"id\":\"a\",\"title\":\"A\"}]}";
        const MoveInList list = MoveIn::loadList(data);
        EXPECT_EQ(list.since, std::nullopt) << since;
        EXPECT_EQ(list.specs.size(), 1) << since;
    }
}

TEST(MoveInList, FilesLiveInTheAppFolder) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    EXPECT_EQ(MoveIn::listURL(), dir.path() + "/Rowkeeper/move-in.json");
    EXPECT_EQ(MoveIn::marksURL(), dir.path() + "/Rowkeeper/move-in-marks.json");
    qunsetenv("XDG_DATA_HOME");
}

TEST(MoveInMarks, SurviveASaveAndALoad) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/new/folder/move-in-marks.json";
    const MoveIn::Marks marks{{"b", "a"}, {"c"}};
    ASSERT_TRUE(MoveIn::saveMarks(marks, path).ok());
    EXPECT_EQ(MoveIn::loadMarks(path), marks);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_LT(text.indexOf("\"a\""), text.indexOf("\"b\"")) << "ids are written in a stable order";
    // A file where the folder should be: the save fails and says so.
    EXPECT_FALSE(MoveIn::saveMarks(marks, path + "/marks.json").ok());
}

TEST(MoveInMarks, AMissingOrBrokenFileIsNoMarks) {
    QTemporaryDir dir;
    EXPECT_EQ(MoveIn::loadMarks(dir.path() + "/none.json"), MoveIn::Marks{});
    for (const QByteArray& data :
         {QByteArray("garbage"), QByteArray("[]"), QByteArray("{\"opened\":\"a\"}")}) {
        EXPECT_EQ(MoveIn::marksFrom(data), MoveIn::Marks{}) << data.toStdString();
    }
    EXPECT_EQ(MoveIn::marksFrom(R"({"opened":["a",3,""],"done":null})"), (MoveIn::Marks{{"a"}, {}}));
}

}  // namespace
}  // namespace rk
