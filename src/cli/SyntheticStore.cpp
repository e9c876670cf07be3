#include "cli/SyntheticStore.h"

#include "platform/KeyedArchiveWriter.h"

namespace rk {

QByteArray SyntheticStore::good() {
    ArchivedItem ghost;
    ghost.name = QStringLiteral("TEST: Ghost");
    ghost.type = 2;
    ghost.disposition = 3;
    ghost.url = QStringLiteral("/Applications/TEST Ghost.app");
    ghost.identifier = QStringLiteral("2.com.example.TESTghost");
    return KeyedArchiveWriter::store({{QStringLiteral("FFFFEEEE-TEST"), {ghost}}});
}

QByteArray SyntheticStore::broken() {
    ArchivedItem broken;
    broken.name = QStringLiteral("x");
    broken.type = 2;
    broken.disposition = 3;
    broken.omitDisposition = true;
    return KeyedArchiveWriter::store({{QStringLiteral("U"), {broken}}});
}

}  // namespace rk
