#include "finder/BackgroundStore.h"

#include <QFile>
#include <QHash>
#include <QUrl>
#include <algorithm>
#include <cmath>

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
        return fail(StoreError::unreadable("no store file"));
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

    QFile handle(disk);
    if (!handle.open(QIODevice::ReadOnly))
        return fail(StoreError::unreadable("read"));
    // Refused before a byte is read: a corrupt or hostile file this large
    // would only make the parser build a huge tree.
    if (handle.size() > sizeCap)
        return fail(StoreError::format("too large"));
    const QByteArray data = handle.read(sizeCap + 1);
    if (data.isEmpty())
        return fail(StoreError::unreadable("read"));

    auto records = parse(data);
    if (!records)
        return fail(records.error());
    return Snapshot{file->version, std::move(records).value()};
}

// ---- Parsing the keyed archive ----------------------------------------------

namespace {

const QLatin1String kNull("$null");

class Archive {
public:
    explicit Archive(const PlistValue::Array& objects) : objects_(objects) {}

    // `obj`: a reference gives the object it names (none when out of range);
    // anything else gives itself.
    const PlistValue* obj(const PlistValue* x) const {
        if (!x)
            return nullptr;
        if (auto index = x->uid())
            return *index < objects_.size() ? &objects_[*index] : nullptr;
        return x;
    }

    // `value`: strings ("$null" is none), archived strings and URLs resolved
    // to their text; other values as they are. Chains deeper than the bound
    // (including a URL relative to itself) give none instead of recursing on.
    const PlistValue* value(const PlistValue* x, int depth = 0) const {
        if (depth > BackgroundStore::maxResolutionDepth)
            return nullptr;
        const PlistValue* r = obj(x);
        if (!r)
            return nullptr;
        if (const QString* s = r->string())
            return *s == kNull ? nullptr : r;
        if (!r->dictionary())
            return r;
        const PlistValue* cls = obj(r->find(QLatin1String("$class")));
        const PlistValue* name = cls ? cls->find(QLatin1String("$classname")) : nullptr;
        const QString* className = name ? name->string() : nullptr;
        if (!className)
            return r;
        if (*className == QLatin1String("NSURL"))
            return value(r->find(QLatin1String("NS.relative")), depth + 1);
        if (*className == QLatin1String("NSString") || *className == QLatin1String("NSMutableString")) {
            const PlistValue* s = r->find(QLatin1String("NS.string"));
            return s && s->string() ? s : nullptr;
        }
        return r;
    }

    std::optional<QString> text(const PlistValue* x) const {
        const PlistValue* v = value(x);
        if (const QString* s = v ? v->string() : nullptr)
            return *s;
        return std::nullopt;
    }

    // `int`: numbers as signed integers; anything else, or a missing key, 0.
    qint64 integer(const PlistValue* x) const {
        const PlistValue* r = obj(x);
        if (!r)
            return 0;
        if (auto i = r->integer())
            return *i;
        if (auto b = r->boolean())
            return *b ? 1 : 0;
        if (auto d = r->real()) {
            // Only reals that are whole numbers in range; a cast of any other is undefined.
            if (std::isfinite(*d) && std::trunc(*d) == *d && *d >= -9.2e18 && *d <= 9.2e18)
                return qint64(*d);
        }
        return 0;
    }

private:
    const PlistValue::Array& objects_;
};

std::optional<QString> filePath(const QString& url) {
    if (!url.startsWith(QLatin1String("file://")))
        return std::nullopt;
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid())
        return std::nullopt;
    QString path = parsed.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

Result<BTMRecord, StoreError> record(const Archive& archive, const PlistValue* element, const QString& user) {
    const PlistValue* item = archive.obj(element);
    if (!item || !item->dictionary())
        return fail(StoreError::format("record"));
    QStringList missing;
    for (const QString& key : BackgroundStore::requiredRecordKeys())
        if (!item->find(key))
            missing.append(key);
    if (!missing.isEmpty())
        return fail(StoreError::format("record missing " + missing.join(',')));

    auto field = [&](const char* key) { return archive.text(item->find(QLatin1String(key))); };
    BTMRecord r;
    r.user = user;
    r.name = field("name").value_or(QStringLiteral("?"));
    r.disposition = archive.integer(item->find(QLatin1String("disposition")));
    r.type = archive.integer(item->find(QLatin1String("type")));
    r.url = field("url");
    if (r.url)
        r.path = filePath(*r.url);
    r.bundleIdentifier = field("bundleIdentifier");
    r.teamIdentifier = field("teamIdentifier");
    r.developerName = field("developerName");
    r.executablePath = field("executablePath");
    r.identifier = field("identifier");
    return r;
}

}  // namespace

Result<QList<BTMRecord>, StoreError> BackgroundStore::parse(const QByteArray& data) {
    if (data.size() > sizeCap)
        return fail(StoreError::format("too large"));
    const auto plist = Plist::parse(data, sizeCap);
    const StoreError notArchive = StoreError::format("not a keyed archive");
    if (!plist)
        return fail(notArchive);
    const PlistValue& root = plist.value();
    const PlistValue* objectsValue = root.find(QLatin1String("$objects"));
    const PlistValue* top = root.find(QLatin1String("$top"));
    if (!objectsValue || !objectsValue->array() || !top || !top->dictionary())
        return fail(notArchive);

    const Archive archive(*objectsValue->array());
    const StoreError noItems = StoreError::format("no itemsByUserIdentifier");
    const PlistValue* store = archive.obj(top->find(QLatin1String("store")));
    if (!store || !store->dictionary())
        return fail(noItems);
    const PlistValue* items = archive.obj(store->find(QLatin1String("itemsByUserIdentifier")));
    if (!items || !items->dictionary())
        return fail(noItems);
    const PlistValue* keys = items->find(QLatin1String("NS.keys"));
    const PlistValue* lists = items->find(QLatin1String("NS.objects"));
    if (!keys || !keys->array() || !lists || !lists->array())
        return fail(noItems);

    QList<BTMRecord> records;
    const size_t users = std::min(keys->array()->size(), lists->array()->size());
    for (size_t u = 0; u < users; ++u) {
        const auto user = archive.text(&(*keys->array())[u]);
        if (!user)
            return fail(StoreError::format("user list"));
        const PlistValue* list = archive.obj(&(*lists->array())[u]);
        const PlistValue* elements = list ? list->find(QLatin1String("NS.objects")) : nullptr;
        if (!elements || !elements->array())
            return fail(StoreError::format("user list"));
        for (const PlistValue& element : *elements->array()) {
            auto r = record(archive, &element, *user);
            if (!r)
                return fail(r.error());
            records.append(std::move(r).value());
        }
    }
    return records;
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
