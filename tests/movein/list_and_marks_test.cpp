// The files of the checklist: the list, the person's marks and the record
// of the Mac this copy last ran on (beyond the device self-test of the run).

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "movein/DeviceMove.h"
#include "movein/MoveIn.h"

namespace rk {
namespace {

TEST(MoveInList, ReadsEveryFieldOfARow) {
    const MoveInList list = MoveIn::loadList(QByteArray(R"({"since": 1700000000.5, "rows": [{
        "id": "box", "title": "Box", "group": "Apps", "systemImage": "shippingbox", "actionLabel": "Open Box",
        "optional": true, "how": "Sign in again.", "note": "Files sync later.",
        "check": {"kind": "process-and-file-newer", "tier": "verified", "bundle": "com.example.box",
                  "clients": ["a", 1], "service": "s", "alsoAccept": ["t"], "path": "~/Box",
                  "paths": ["~/A", "~/B"], "process": "Box", "contains": "c"},
        "action": {"url": "https://example.com", "app": "com.example.box"}}]})"));
    ASSERT_EQ(list.specs.size(), 1);
    EXPECT_EQ(list.since, QDateTime::fromMSecsSinceEpoch(1700000000500LL, Qt::UTC));
    const QString box("Box");
    EXPECT_EQ(list.specs.first(), (MoveInSpec{.id = "box",
                                              .title = box,
                                              .group = QString("Apps"),
                                              .systemImage = QString("shippingbox"),
                                              .actionLabel = QString("Open Box"),
                                              .optional = true,
                                              .how = QString("Sign in again."),
                                              .note = QString("Files sync later."),
                                              .check = MoveInSpec::Check{.kind = "process-and-file-newer",
                                                                         .tier = QString("verified"),
                                                                         .bundle = QString("com.example.box"),
                                                                         .clients = QStringList{"a"},
                                                                         .service = QString("s"),
                                                                         .alsoAccept = QStringList{"t"},
                                                                         .path = QString("~/Box"),
                                                                         .paths = QStringList{"~/A", "~/B"},
                                                                         .process = box,
                                                                         .contains = QString("c")},
                                              .action = MoveInSpec::Action{QString("https://example.com"),
                                                                           QString("com.example.box")}}));
}

// Bad data gives an empty list, or a list missing only the bad rows, never a
// crash; a "since" no date can hold is left out.
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
        {"{\"items\":[{\"id\":\"b\",\"title\":\"B\",\"action\":{}}]}", {"b"}},
    };
    for (const auto& c : cases) {
        QStringList ids;
        for (const MoveInSpec& spec : MoveIn::loadSpecs(c.data)) {
            ids << spec.id;
            EXPECT_FALSE(spec.check || spec.action) << c.data.toStdString();
        }
        EXPECT_EQ(ids, c.ids) << c.data.toStdString();
    }
    for (const char* since : {"1e300", "-1e300", "\"1000\"", "true"}) {
        const QByteArray data =
            QByteArray("{\"since\":") + since + ",\"rows\":[{\"id\":\"a\",\"title\":\"A\"}]}";
        EXPECT_EQ(MoveIn::loadList(data).since, std::nullopt) << since;
        EXPECT_EQ(MoveIn::loadList(data).specs.size(), 1) << since;
    }
}

TEST(MoveInMarks, SurviveASaveAndALoadInTheAppFolderAndBrokenOnesAreNone) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/new"));
    EXPECT_EQ(MoveIn::listURL(), dir.path() + "/new/Rowkeeper/move-in.json");
    const QString path = MoveIn::marksURL();
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(path, dir.path() + "/new/Rowkeeper/move-in-marks.json");
    const MoveIn::Marks marks{{"b", "a"}, {"c"}};
    ASSERT_TRUE(MoveIn::saveMarks(marks, path).ok());
    EXPECT_EQ(MoveIn::loadMarks(path), marks);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_LT(text.indexOf("\"a\""), text.indexOf("\"b\"")) << "ids are written in a stable order";
    // A file where the folder should be: the save fails and says so.
    EXPECT_FALSE(MoveIn::saveMarks(marks, path + "/marks.json").ok());
    // A missing or broken file is no marks.
    EXPECT_EQ(MoveIn::loadMarks(QTemporaryDir().path() + "/none.json"), MoveIn::Marks{});
    for (const char* data : {"garbage", "[]", "{\"opened\":\"a\"}"})
        EXPECT_EQ(MoveIn::marksFrom(data), MoveIn::Marks{}) << data;
    EXPECT_EQ(MoveIn::marksFrom(R"({"opened":["a",3,""],"done":null})"), (MoveIn::Marks{{"a"}, {}}));
}

class FakeIdentity final : public MachineIdentity {
public:
    FakeIdentity(std::optional<QString> identity, QString name) : identity(std::move(identity)), name(name) {}
    std::optional<QString> platformIdentity() const override { return identity; }
    QString machineName() const override { return name; }
    std::optional<QString> identity;
    QString name;
};

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DeviceMove, FingerprintIsTheSha256OfThePlatformIdentity) {
    EXPECT_EQ(KTDeviceMove::fingerprint(FakeIdentity(QString("0F1E2D3C-UUID"), "Anna's Mac")),
              QString("c5e3392179ad42baff02cfc8c713bf67e598f19cdd5f2177176699bbc421ced1"));
    for (const auto& none : {std::optional<QString>(), std::optional<QString>(QString())})
        EXPECT_EQ(KTDeviceMove::fingerprint(FakeIdentity(none, "x")), std::nullopt);
}

// A record without a name is a move from an unnamed Mac; one without a
// fingerprint is no record: not a move, and rewritten.
TEST(DeviceMove, RecordsItDidNotWrite) {
    const FakeIdentity mac(QString("id"), "Mac");
    const struct {
        QByteArray data;
        KTDeviceMove::Answer answer;
    } cases[] = {
        {"{\"fingerprint\":\"abc\"}", {true, std::nullopt}},
        {"{}", {}},
        {"{\"fingerprint\":5}", {}},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = KTDeviceMove::recordURL(dir.path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.data) == c.data.size());
        file.close();
        EXPECT_EQ(KTDeviceMove::detect(path, mac), c.answer) << c.data.toStdString();
        EXPECT_EQ(KTDeviceMove::recordFrom(read(path)),
                  (KTDeviceMove::Record{*KTDeviceMove::fingerprint(mac), "Mac"}));
    }
}

// Without an identity there is nothing to compare: a Mac whose identity
// cannot be read must not be taken for a new one, nor wipe the record that
// would let the next launch tell.
TEST(DeviceMove, WithoutAnIdentityNothingIsAMoveAndTheRecordIsKept) {
    QTemporaryDir dir;
    const QString path = KTDeviceMove::recordURL(dir.path() + "/nested/folder");
    ASSERT_EQ(KTDeviceMove::detect(path, FakeIdentity(QString("old"), "Old Mac")), KTDeviceMove::Answer{});
    const QByteArray before = read(path);
    EXPECT_EQ(KTDeviceMove::detect(path, FakeIdentity(std::nullopt, "Who")), KTDeviceMove::Answer{});
    EXPECT_EQ(read(path), before);
    EXPECT_EQ(KTDeviceMove::detect(path, FakeIdentity(QString("new"), "New Mac")),
              (KTDeviceMove::Answer{true, QString("Old Mac")}));
}

TEST(DeviceMove, DetectMoveUsesTheAppFolderAndTheCurrentIdentity) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    FakeIdentity mac(QString("one"), "One");
    MachineIdentity::setCurrent(&mac);
    EXPECT_EQ(MoveIn::detectMove(), MoveIn::Move{});
    EXPECT_TRUE(QFile::exists(dir.path() + "/Rowkeeper/device.json"));
    mac.identity = QString("two");
    EXPECT_EQ(MoveIn::detectMove(), (MoveIn::Move{true, QString("One")}));
    MachineIdentity::setCurrent(nullptr);
    qunsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace rk
