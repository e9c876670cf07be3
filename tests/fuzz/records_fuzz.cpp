// The permission record, the restart record, the usage counters and a fresh
// copy's answer about its grants. The permission record is also written as
// the file of a re-rooted home and read as the wizard's configuration reads it.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FuzzInput.h"
#include "app/model/Stats.h"
#include "permissions/FreshProcessCheck.h"
#include "permissions/PermissionState.h"
#include "permissions/StaleGrant.h"

void fuzz(const QByteArray& input) {
    rk::KTPermissionState::grantedIDs(input, QStringLiteral("com.quillory.rowkeeper"));
    rk::KTStaleGrantRestarts::timesFrom(input);
    rk::UsageCounters::tableFrom(input);
    rk::KTFreshProcessCheck::parseAnswer(input);

    static QTemporaryDir root;
    static const rk::SystemPaths paths = rk::SystemPaths::rerooted(root.path(), "/Users/anna");
    const QString record = *rk::KTPermissionState::recordFile("rowkeeper", paths);
    QDir().mkpath(record.section('/', 0, -2));
    QFile file(record);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(input) == input.size()) {
        file.close();
        rk::KTPermissionState::writtenByAnotherIdentity("rowkeeper", QStringLiteral("com.quillory.rowkeeper"),
                                                        paths);
    }
}
