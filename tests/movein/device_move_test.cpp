// Move detection beyond its own self-test (which the self-test run holds):
// the fingerprint, records it did not write, and a Mac whose identity
// cannot be read.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "movein/DeviceMove.h"
#include "movein/MoveIn.h"

namespace rk {
namespace {

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
    EXPECT_EQ(KTDeviceMove::fingerprint(FakeIdentity(std::nullopt, "x")), std::nullopt);
    EXPECT_EQ(KTDeviceMove::fingerprint(FakeIdentity(QString(), "x")), std::nullopt);
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
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.data);
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
