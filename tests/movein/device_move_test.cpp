#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include "movein/DeviceMove.h"
#include "movein/MoveIn.h"

namespace rk {
namespace {

class FakeIdentity final : public MachineIdentity {
public:
    FakeIdentity(std::optional<QString> identity, QString name)
        : identity(std::move(identity)), name(std::move(name)) {}
    std::optional<QString> platformIdentity() const override { return identity; }
    QString machineName() const override { return name; }
    std::optional<QString> identity;
    QString name;
};

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DeviceMove, SelfTestPassesAllEightChecks) {
    QString text;
    QTextStream out(&text);
    EXPECT_TRUE(KTDeviceMove::selftest(out));
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9) << text.toStdString();
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(lines.at(i).startsWith("PASS ")) << lines.at(i).toStdString();
    EXPECT_EQ(lines.last(), "RESULT PASS");
}

TEST(DeviceMove, FingerprintIsTheSha256OfThePlatformIdentity) {
    const FakeIdentity mac(QString("0F1E2D3C-UUID"), "Anna's Mac");
    const QString expected = QCryptographicHash::hash("0F1E2D3C-UUID", QCryptographicHash::Sha256).toHex();
    EXPECT_EQ(KTDeviceMove::fingerprint(mac), expected);
    EXPECT_EQ(KTDeviceMove::fingerprint(FakeIdentity(std::nullopt, "x")), std::nullopt);
    EXPECT_EQ(KTDeviceMove::fingerprint(FakeIdentity(QString(), "x")), std::nullopt);
}

TEST(DeviceMove, MovingDetectsOnceAndNamesTheOldMac) {
    QTemporaryDir dir;
    const QString path = KTDeviceMove::recordURL(dir.path() + "/nested/folder");
    const FakeIdentity oldMac(QString("old"), "Old Mac");
    const FakeIdentity newMac(QString("new"), "New Mac");
    EXPECT_EQ(KTDeviceMove::detect(path, oldMac), KTDeviceMove::Answer{});
    EXPECT_EQ(KTDeviceMove::detect(path, newMac), (KTDeviceMove::Answer{true, QString("Old Mac")}));
    EXPECT_EQ(KTDeviceMove::detect(path, newMac), KTDeviceMove::Answer{});
}

TEST(DeviceMove, ARecordWithoutANameIsAMoveFromAnUnnamedMac) {
    QTemporaryDir dir;
    const QString path = KTDeviceMove::recordURL(dir.path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"fingerprint\":\"abc\"}");
    file.close();
    EXPECT_EQ(KTDeviceMove::detect(path, FakeIdentity(QString("new"), "New Mac")),
              (KTDeviceMove::Answer{true, std::nullopt}));
}

TEST(DeviceMove, BrokenRecordsAreNotMovesAndAreRewritten) {
    const QList<QByteArray> broken{
        "", "not json", "[]", "{}", "{\"fingerprint\":\"\"}", "{\"fingerprint\":5}"};
    const FakeIdentity mac(QString("id"), "Mac");
    for (const QByteArray& data : broken) {
        QTemporaryDir dir;
        const QString path = KTDeviceMove::recordURL(dir.path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        file.close();
        EXPECT_EQ(KTDeviceMove::detect(path, mac), KTDeviceMove::Answer{}) << data.toStdString();
        EXPECT_EQ(KTDeviceMove::recordFrom(read(path)),
                  (KTDeviceMove::Record{*KTDeviceMove::fingerprint(mac), "Mac"}));
    }
}

// Without an identity there is nothing to compare: a Mac whose identity
// cannot be read must not be taken for a new one, nor wipe the record that
// would let the next launch tell.
TEST(DeviceMove, WithoutAnIdentityNothingIsAMoveAndTheRecordIsKept) {
    QTemporaryDir dir;
    const QString path = KTDeviceMove::recordURL(dir.path());
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
