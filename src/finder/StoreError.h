#pragma once
// Why a store (the privacy database, the background-task store) could not be
// read. The page shows `description()`; the diagnostics file records `code()`.

#include <QHashFunctions>
#include <QString>

#include "platform/FileProbe.h"
#include "platform/Result.h"

namespace rk {

struct StoreError {
    enum class Kind { format, unreadable, noAccess };

    Kind kind = Kind::unreadable;
    QString detail;  // empty for noAccess
    // Unreadable because nothing stands where the store should be: its file,
    // or the folder that holds it, does not exist.
    bool absent = false;

    static StoreError format(QString detail) { return {Kind::format, std::move(detail)}; }
    static StoreError unreadable(QString detail) { return {Kind::unreadable, std::move(detail)}; }
    static StoreError missing(QString detail) { return {Kind::unreadable, std::move(detail), true}; }
    static StoreError noAccess() { return {Kind::noAccess, QString()}; }

    // "unknown format (...)", "unreadable (...)" or "no access".
    QString description() const;
    // "format", "unreadable" or "no_access".
    QString code() const;

    friend bool operator==(const StoreError&, const StoreError&) = default;
};

size_t qHash(const StoreError& error, size_t seed = 0);

// Opens `diskPath` read-only and closes it again. EPERM and EACCES give
// noAccess, ENOENT gives missing("missing"), any other errno N gives
// unreadable("errno N").
Result<Unit, StoreError> canOpenForReading(const QString& diskPath,
                                           const FileProbe& probe = FileProbe::current());

}  // namespace rk
