// The LaunchServices dump, as the register tool prints it. Every record's
// path, identifier and names are texts of the dump, without the blanks that
// pad them, on one line; a path ends ".app" and a name is never empty. A
// dump read in two pieces gives the records of both, in order, and one more
// separator at its end changes nothing: records are separated by their lines
// of dashes, and the dump's end closes the last.
#include "FuzzInput.h"
#include "permissions/identity/LegacyRepairDiscovery.h"

using fuzzing::require;
using rk::KTLegacyIdentityRepair::DumpRecord;
using rk::KTLegacyIdentityRepair::parseDump;

void fuzz(const QByteArray& input) {
    const QString dump = QString::fromUtf8(input);
    const auto aFieldOf = [&dump](const QString& value) {
        const auto padded = [](QChar c) { return c == ' ' || c == '\t'; };
        return dump.contains(value) && !value.contains('\n') &&
               (value.isEmpty() || (!padded(value.front()) && !padded(value.back())));
    };
    const QList<DumpRecord> records = parseDump(dump);
    require(records.size() <= dump.count(QLatin1String("-----")) + 1,
            "no more records than separators allow");
    for (const DumpRecord& record : records) {
        require(record.path.endsWith(".app"), "every path ends \".app\"");
        require(aFieldOf(record.path) && aFieldOf(record.id), "the path and identifier are the dump's");
        for (const QString& name : record.names)
            require(!name.isEmpty() && aFieldOf(name), "every name is the dump's, never empty");
    }

    require(parseDump(dump + "\n-----") == records, "a separator after the last record changes nothing");
    const QStringList lines = dump.split('\n');
    const QString first = lines.mid(0, lines.size() / 2).join('\n');
    const QString second = lines.mid(lines.size() / 2).join('\n');
    require(parseDump(first + "\n-----\n" + second) == parseDump(first) + parseDump(second),
            "a dump in two pieces reads as both pieces");
}
