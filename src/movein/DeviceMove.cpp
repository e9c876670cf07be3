#include "movein/DeviceMove.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>

#include "platform/FileProbe.h"

namespace rk {

namespace {

constexpr qint64 kMaxRecordBytes = 64 * 1024;

std::optional<QByteArray> readRecordFile(const QString& path) {
    auto data = readWholeFile(path, kMaxRecordBytes);
    if (!data)
        return std::nullopt;
    return std::move(data).value();
}

bool saveRecord(const QString& path, const KTDeviceMove::Record& record) {
    return writeWholeFile(path, KTDeviceMove::recordData(record)).ok();
}

// ---- self-test --------------------------------------------------------------

class TestIdentity final : public MachineIdentity {
public:
    TestIdentity(std::optional<QString> identity, QString name)
        : identity_(std::move(identity)), name_(std::move(name)) {}
    std::optional<QString> platformIdentity() const override { return identity_; }
    QString machineName() const override { return name_; }

private:
    std::optional<QString> identity_;
    QString name_;
};

QByteArray contents(const QString& path) {
    return readRecordFile(path).value_or(QByteArray());
}

bool writeRaw(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

}  // namespace

QString KTDeviceMove::recordURL(const QString& folder) {
    return folder + "/device.json";
}

std::optional<QString> KTDeviceMove::fingerprint(const MachineIdentity& identity) {
    const auto platform = identity.platformIdentity();
    if (!platform || platform->isEmpty())
        return std::nullopt;
    return QString::fromLatin1(
        QCryptographicHash::hash(platform->toUtf8(), QCryptographicHash::Sha256).toHex());
}

std::optional<KTDeviceMove::Record> KTDeviceMove::recordFrom(const QByteArray& data) {
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QString fingerprint = object.value("fingerprint").toString();
    if (fingerprint.isEmpty())
        return std::nullopt;
    return Record{fingerprint, object.value("name").toString()};
}

QByteArray KTDeviceMove::recordData(const Record& record) {
    QJsonObject object;
    object.insert("fingerprint", record.fingerprint);
    object.insert("name", record.name);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

KTDeviceMove::Answer KTDeviceMove::detect(const QString& recordPath, const MachineIdentity& identity) {
    const auto mine = fingerprint(identity);
    if (!mine)
        return {};
    const auto data = readRecordFile(recordPath);
    const auto previous = data ? recordFrom(*data) : std::nullopt;
    // The answer does not depend on the save: should it fail, the next launch
    // simply compares with the old record again.
    saveRecord(recordPath, Record{*mine, identity.machineName()});
    if (!previous || previous->fingerprint == *mine)
        return {};
    return {true, previous->name.isEmpty() ? std::nullopt : std::optional<QString>(previous->name)};
}

bool KTDeviceMove::selftest() {
    QTextStream out(stdout);
    return selftest(out);
}

bool KTDeviceMove::selftest(QTextStream& out) {
    QTemporaryDir folder(QDir::tempPath() + "/kt-device-move-XXXXXX");
    const QString path = recordURL(folder.path());
    const TestIdentity oldMac(QString("TEST-OLD-MAC-UUID"), "TEST Old Mac");
    const TestIdentity newMac(QString("TEST-NEW-MAC-UUID"), "TEST Sample Mac");
    int failures = 0;
    const auto check = [&](const QString& label, const std::function<bool()>& test) {
        const bool ok = folder.isValid() && test();
        if (!ok)
            ++failures;
        out << (ok ? "PASS " : "FAIL ") << label << '\n';
        out.flush();
    };

    check("first launch is not a move", [&] { return detect(path, oldMac) == Answer{}; });
    check("first launch saves this machine's fingerprint and name", [&] {
        const auto saved = recordFrom(contents(path));
        return saved && saved->fingerprint == fingerprint(oldMac) && saved->name == "TEST Old Mac";
    });
    check("the same machine is not a move", [&] { return detect(path, oldMac) == Answer{}; });
    check("another fingerprint is a move from the old machine's name", [&] {
        return detect(path, newMac) == Answer{true, QString("TEST Old Mac")};
    });
    check("the launch after a move is not a move again", [&] { return detect(path, newMac) == Answer{}; });
    check("a broken record is not a move and is rewritten", [&] {
        const bool written = writeRaw(path, "{\"fingerprint\": ");
        const bool notMoved = detect(path, oldMac) == Answer{};
        const auto saved = recordFrom(contents(path));
        return written && notMoved && saved && saved->fingerprint == fingerprint(oldMac);
    });
    check("an empty record is not a move and is rewritten", [&] {
        const bool written = writeRaw(path, QByteArray());
        const bool notMoved = detect(path, newMac) == Answer{};
        const auto saved = recordFrom(contents(path));
        return written && notMoved && saved && saved->fingerprint == fingerprint(newMac);
    });
    // A record written in place could be left half-written by a crash; one
    // written to a new file and renamed over the old is whole or not at all.
    // A second name for the old file shows which happened: after a rename it
    // still holds the old record.
    check("the record is replaced by a new file, never rewritten in place", [&] {
        const QString keep = folder.filePath("device-old.json");
        const QByteArray before = contents(path);
        const bool linked =
            ::link(QFile::encodeName(path).constData(), QFile::encodeName(keep).constData()) == 0;
        const bool moved = detect(path, oldMac).moved;
        const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        return linked && moved && contents(keep) == before && contents(path) != before &&
               left == QStringList{"device-old.json", "device.json"};
    });

    out << (failures == 0 ? "RESULT PASS" : "RESULT FAIL") << '\n';
    out.flush();
    return failures == 0;
}

}  // namespace rk
