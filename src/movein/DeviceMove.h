#pragma once
// Noticing that the app's data now lives on another computer: the person set
// up a new Mac from the old one, and things that do not travel (privacy
// grants, sign-ins, keychain items) must be reconnected.
//
// This machine's fingerprint is the SHA-256 of its platform identity. The
// device record "device.json" keeps the fingerprint and the machine's name
// from the last launch; a record with another fingerprint means a move.

#include <QByteArray>
#include <QString>
#include <QTextStream>
#include <optional>

#include "platform/MachineIdentity.h"

namespace rk {

struct KTDeviceMove {
    struct Record {
        QString fingerprint{};  // lower-case hex
        QString name{};
        friend bool operator==(const Record&, const Record&) = default;
    };

    struct Answer {
        bool moved = false;
        std::optional<QString> from{};  // the name of the machine moved from, when known
        friend bool operator==(const Answer&, const Answer&) = default;
    };

    static QString recordURL(const QString& folder);

    // None when the machine gives no identity.
    static std::optional<QString> fingerprint(const MachineIdentity& identity = MachineIdentity::current());

    // None for anything but an object with a non-empty "fingerprint" text.
    static std::optional<Record> recordFrom(const QByteArray& data);
    static QByteArray recordData(const Record& record);

    // Compares this machine with the record at `recordPath` and saves a fresh
    // record (atomically). A first launch, or a broken or empty record, is
    // not a move. Without an identity nothing can be compared: not a move,
    // and the record is left as it is.
    static Answer detect(const QString& recordPath,
                         const MachineIdentity& identity = MachineIdentity::current());

    // Eight labelled checks of `detect` in a temporary folder, one "PASS " or
    // "FAIL " line each and a closing "RESULT PASS" or "RESULT FAIL".
    static bool selftest();
    static bool selftest(QTextStream& out);
};

}  // namespace rk
