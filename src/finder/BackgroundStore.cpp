#include "finder/BackgroundStore.h"

#include <QHash>
#include <cerrno>
#include <limits>
#include <optional>

#include "finder/BackgroundStoreArchive.h"
#include "platform/BinaryPlist.h"
#include "platform/BinaryPlistWriter.h"
#include "platform/Plist.h"
#include "platform/Text.h"

namespace rk {

std::optional<QString> BTMRecord::label() const {
    if (!identifier)
        return std::nullopt;
    const qsizetype dot = identifier->indexOf('.');
    if (dot < 0)
        return std::nullopt;
    return identifier->mid(dot + 1);
}

size_t qHash(const BTMRecord& r, size_t seed) {
    auto opt = [](const std::optional<QString>& s) { return s ? qHash(*s, 1) : size_t(0); };
    seed = qHashMulti(seed, r.user, r.name, r.disposition, r.type);
    return qHashMulti(seed, opt(r.url), opt(r.path), opt(r.bundleIdentifier), opt(r.teamIdentifier),
                      opt(r.developerName), opt(r.executablePath), opt(r.identifier));
}

QString BackgroundStore::folder(const SystemPaths& paths) {
    return paths.backgroundTaskFolder();
}

const QStringList& BackgroundStore::requiredRecordKeys() {
    static const QStringList keys{"disposition", "identifier", "name", "type", "url"};
    return keys;
}

// ---- Finding and reading the store file -----------------------------------

namespace {

const QString kPrefix = QStringLiteral("BackgroundItems-v");
const QString kSuffix = QStringLiteral(".btm");

// A base-10 integer with an optional sign and nothing else around it.
std::optional<qint64> decimal(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+')
        i = 1;
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

}  // namespace

Result<BackgroundStore::StoreFile, StoreError> BackgroundStore::storePath(const SystemPaths& paths,
                                                                          const FileProbe& probe) {
    const QString logicalFolder = folder(paths);
    const auto listing = probe.listFolder(paths.disk(logicalFolder));
    if (!listing) {
        if (listing.error() == EPERM || listing.error() == EACCES)
            return fail(StoreError::noAccess());
        if (listing.error() == ENOENT)
            return fail(StoreError::missing("folder"));
        return fail(StoreError::unreadable("folder"));
    }
    std::optional<StoreFile> newest;
    for (const QString& name : listing.value()) {
        if (!name.startsWith(kPrefix) || !name.endsWith(kSuffix))
            continue;
        if (name.size() < kPrefix.size() + kSuffix.size())
            continue;  // "BackgroundItems-v.btm" overlaps
        const auto version =
            decimal(QStringView(name).mid(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size()));
        if (!version)
            continue;
        if (!newest || *version > newest->version)
            newest = StoreFile{logicalFolder + "/" + name, *version};
    }
    if (!newest)
        return fail(StoreError::missing("no store file"));
    return *newest;
}

bool BackgroundStore::canRead(const SystemPaths& paths, const FileProbe& probe) {
    const auto file = storePath(paths, probe);
    return file && canOpenForReading(paths.disk(file->path), probe).ok();
}

Result<BackgroundStore::Snapshot, StoreError> BackgroundStore::read(const SystemPaths& paths,
                                                                    const FileProbe& probe) {
    const auto file = storePath(paths, probe);
    if (!file)
        return fail(file.error());
    const QString disk = paths.disk(file->path);
    if (auto probed = canOpenForReading(disk, probe); !probed)
        return fail(probed.error());

    // A file over the cap is refused before a byte is read: a corrupt or
    // hostile file this large would only make the parser build a huge tree.
    const auto data = readWholeFile(disk, sizeCap);
    if (!data && data.error() == EFBIG)
        return fail(StoreError::format("too large"));
    if (!data || data->isEmpty())
        return fail(StoreError::unreadable("read"));

    auto records = parse(data.value());
    if (!records)
        return fail(records.error());
    return Snapshot{file->version, std::move(records).value()};
}

// ---- Parsing the keyed archive ----------------------------------------------

Result<QList<BTMRecord>, StoreError> BackgroundStore::parse(const QByteArray& data) {
    const StoreError tooLarge = StoreError::format("too large");
    if (data.size() > sizeCap)
        return fail(tooLarge);
    auto refusal = [&](const PlistError& error) {
        return error.kind == PlistError::Kind::tooLarge ? tooLarge
                                                        : StoreError::format("not a keyed archive");
    };
    // The system writes the binary form, read in place. Any other form is
    // read as a tree and written in the binary form, so that one reader
    // resolves both alike.
    QByteArray binary = data;
    if (!BinaryPlist::looksBinary(data)) {
        const auto tree = Plist::parse(data, sizeCap);
        if (!tree)
            return fail(refusal(tree.error()));
        binary = BinaryPlistWriter::write(tree.value());
    }
    const auto list = BinaryPlist::open(binary);
    if (!list)
        return fail(refusal(list.error()));
    return BackgroundStoreArchive::records(**list);
}

// ---- The person's records ---------------------------------------------------

QList<BTMRecord> BackgroundStore::mine(const QList<BTMRecord>& records, const QString& home) {
    const QString prefix = home + "/";
    QHash<QString, int> counts;
    QString best;
    int bestCount = 0;
    // Ties go to the user who reached the count first, so the answer does not
    // depend on hash order.
    for (const BTMRecord& r : records) {
        if (!r.path || !r.path->startsWith(prefix))
            continue;
        const int count = ++counts[r.user];
        if (count > bestCount) {
            bestCount = count;
            best = r.user;
        }
    }
    QList<BTMRecord> result;
    if (bestCount == 0)
        return result;
    for (const BTMRecord& r : records)
        if (r.user == best)
            result.append(r);
    return result;
}

}  // namespace rk
