#include "finder/StoreError.h"

#include <cerrno>

namespace rk {

QString StoreError::description() const {
    switch (kind) {
        case Kind::format:
            return "unknown format (" + detail + ")";
        case Kind::unreadable:
            return "unreadable (" + detail + ")";
        case Kind::noAccess:
            return "no access";
    }
    return QString();
}

QString StoreError::code() const {
    switch (kind) {
        case Kind::format:
            return "format";
        case Kind::unreadable:
            return "unreadable";
        case Kind::noAccess:
            return "no_access";
    }
    return QString();
}

size_t qHash(const StoreError& error, size_t seed) {
    return qHashMulti(seed, int(error.kind), error.detail, error.absent);
}

Result<Unit, StoreError> canOpenForReading(const QString& diskPath, const FileProbe& probe) {
    const int error = probe.openForReading(diskPath);
    if (error == 0)
        return Unit{};
    if (error == EPERM || error == EACCES)
        return fail(StoreError::noAccess());
    if (error == ENOENT)
        return fail(StoreError::missing("missing"));
    return fail(StoreError::unreadable("errno " + QString::number(error)));
}

}  // namespace rk
