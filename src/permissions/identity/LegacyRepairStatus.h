#pragma once
// What this launch's identity repair reset: the privacy services whose grants
// it cleared, under a former bundle identifier of the app or for the app's
// own identity. The permission wizard's screens observe it to say that a
// grant has to be given again. One process-wide object, made on first use and
// living on the main thread; it is read and changed only there. It stays
// empty for a product that declares no former identifier.

#include <QObject>
#include <QSet>
#include <QString>

namespace rk::KTLegacyIdentityRepair {

class Status : public QObject {
    Q_OBJECT
public:
    static Status& shared();

    QSet<QString> clearedServices() const { return cleared_; }
    // Adds to the set, which only ever grows; announces a change only when
    // it grew.
    void addClearedServices(const QSet<QString>& services);

signals:
    void clearedServicesChanged();

private:
    Status() = default;
    QSet<QString> cleared_;
};

}  // namespace rk::KTLegacyIdentityRepair
