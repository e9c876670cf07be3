#include "finder/BackgroundStore.h"

#include <QHash>
#include <QStringDecoder>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

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

namespace {

using Kind = PlistValue::Kind;

// Resolution over the archive, read in place: the store can hold thousands
// of items and only a few values of each are wanted. An archive may name one
// object from many places (and a hostile one names a large one thousands of
// times), so what a dictionary resolves to is worked out once per object.
class Archive {
public:
    explicit Archive(std::vector<PlistView> objects) : objects_(std::move(objects)) {}

    size_t size() const { return objects_.size(); }

    // `obj`: a reference gives the object it names (nothing when out of
    // range); anything else gives itself.
    PlistView obj(PlistView x) const {
        if (auto index = x.uid())
            return *index < objects_.size() ? objects_[*index] : PlistView();
        return x;
    }

    // `value`: strings ("$null" is nothing), archived strings and URLs
    // resolved to their text; other values as they are. A URL relative to a
    // URL is followed; a chain longer than the bound, or a cycle, gives
    // nothing.
    PlistView value(PlistView x) {
        const PlistView r = obj(x);
        if (!r.isDictionary())
            return leaf(r);
        const Resolved resolved = resolve(r);
        return resolved.urls <= BackgroundStore::maxResolutionDepth ? resolved.view : PlistView();
    }

    std::optional<QString> text(PlistView x) { return value(x).string(); }

    // `int`: numbers as signed integers; anything else, or a missing key, 0.
    qint64 integer(PlistView x) const {
        const PlistView r = obj(x);
        if (auto i = r.integer())
            return *i;
        if (auto b = r.boolean())
            return *b ? 1 : 0;
        if (auto d = r.real()) {
            // Only whole numbers in range: casting any other double is undefined.
            if (std::isfinite(*d) && std::trunc(*d) == *d && *d >= -9.2e18 && *d <= 9.2e18)
                return qint64(*d);
        }
        return 0;
    }

private:
    // What `value` gives for a dictionary, and through how many archived
    // URLs it got there (kEndless: more than the bound, or a cycle).
    struct Resolved {
        PlistView view;
        int urls = 0;
    };
    static constexpr int kEndless = BackgroundStore::maxResolutionDepth + 1;

    static PlistView leaf(PlistView r) { return r.stringEquals(QLatin1String("$null")) ? PlistView() : r; }

    // The text of a dictionary's class name, looked up once per class object.
    PlistView className(PlistView r) {
        const PlistView cls = obj(r.find("$class"));
        if (!cls.isDictionary())
            return PlistView();
        if (auto it = classNames_.constFind(cls.identity()); it != classNames_.constEnd())
            return *it;
        PlistView name = cls.find("$classname");
        if (name.kind() != Kind::string)
            name = PlistView();
        classNames_.insert(cls.identity(), name);
        return name;
    }

    // Follows a chain of URLs without recursion, then notes for each URL on
    // it where the chain ends and how far away that is.
    Resolved resolve(PlistView r) {
        std::vector<quint64> urls;
        Resolved end;
        for (;;) {
            if (auto it = resolved_.constFind(r.identity()); it != resolved_.constEnd()) {
                end = *it;
                break;
            }
            const PlistView name = className(r);
            if (name.stringEquals(QLatin1String("NSURL"))) {
                // Marked as endless while its chain is followed: met again, it is a cycle.
                resolved_.insert(r.identity(), Resolved{PlistView(), kEndless});
                urls.push_back(r.identity());
                r = obj(r.find("NS.relative"));
                if (!r.isDictionary()) {
                    end = Resolved{leaf(r), 0};
                    break;
                }
                continue;
            }
            if (name.stringEquals(QLatin1String("NSString")) || name.stringEquals(QLatin1String("NSMutableString"))) {
                const PlistView text = r.find("NS.string");
                end = Resolved{text.kind() == Kind::string ? text : PlistView(), 0};
            } else {
                end = Resolved{r, 0};
            }
            resolved_.insert(r.identity(), end);
            break;
        }
        for (auto it = urls.rbegin(); it != urls.rend(); ++it) {
            end.urls = std::min(end.urls + 1, kEndless);
            resolved_.insert(*it, end);
        }
        return end;
    }

    std::vector<PlistView> objects_;
    QHash<quint64, Resolved> resolved_;   // by dictionary
    QHash<quint64, PlistView> classNames_;  // by class object
};

// The path of a file URL made of URL path characters and escapes only, the
// form the system writes, decoded without building a QUrl. None for
// anything else, which QUrl then judges.
std::optional<QString> plainFilePath(const QString& url) {
    constexpr qsizetype start = 7;  // after "file://"
    if (url.size() <= start || url[start] != '/')
        return std::nullopt;
    auto hex = [](char16_t c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    QByteArray bytes;
    bytes.reserve(url.size() - start);
    for (qsizetype i = start; i < url.size(); ++i) {
        const char16_t c = url[i].unicode();
        if (c == '%') {
            const int high = i + 2 < url.size() ? hex(url[i + 1].unicode()) : -1;
            const int low = i + 2 < url.size() ? hex(url[i + 2].unicode()) : -1;
            if (high < 0 || low < 0)
                return std::nullopt;
            bytes.append(char(high * 16 + low));
            i += 2;
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   (c < 0x80 && std::strchr("-._~!$&'()*+,;=:@/", char(c)) && c != 0)) {
            bytes.append(char(c));
        } else {
            return std::nullopt;
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString path = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return path;
}

std::optional<QString> filePath(const QString& url) {
    if (!url.startsWith(QLatin1String("file://")))
        return std::nullopt;
    QString path;
    if (auto plain = plainFilePath(url)) {
        path = std::move(*plain);
    } else {
        const QUrl parsed(url, QUrl::StrictMode);
        if (!parsed.isValid())
            return std::nullopt;
        path = parsed.path(QUrl::FullyDecoded);
    }
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

// The record of one item, with no user yet.
Result<BTMRecord, StoreError> record(Archive& archive, PlistView item) {
    if (!item.isDictionary())
        return fail(StoreError::format("record"));
    // Each key is looked up once; the required ones are checked from the
    // same lookups, in ascending order so the missing ones come out sorted.
    const PlistView disposition = item.find("disposition");
    const PlistView identifier = item.find("identifier");
    const PlistView name = item.find("name");
    const PlistView type = item.find("type");
    const PlistView url = item.find("url");
    const std::pair<const char*, const PlistView*> required[] = {
        {"disposition", &disposition},
        {"identifier", &identifier},
        {"name", &name},
        {"type", &type},
        {"url", &url},
    };
    QStringList missing;
    for (const auto& [key, view] : required)
        if (view->isNull())
            missing.append(QLatin1String(key));
    if (!missing.isEmpty())
        return fail(StoreError::format("record missing " + missing.join(',')));

    auto field = [&](const char* key) { return archive.text(item.find(key)); };
    BTMRecord r;
    r.name = archive.text(name).value_or(QStringLiteral("?"));
    r.disposition = archive.integer(disposition);
    r.type = archive.integer(type);
    r.url = archive.text(url);
    if (r.url)
        r.path = filePath(*r.url);
    r.bundleIdentifier = field("bundleIdentifier");
    r.teamIdentifier = field("teamIdentifier");
    r.developerName = field("developerName");
    r.executablePath = field("executablePath");
    r.identifier = archive.text(identifier);
    return r;
}

}  // namespace

Result<QList<BTMRecord>, StoreError> BackgroundStore::parse(const QByteArray& data) {
    if (data.size() > sizeCap)
        return fail(StoreError::format("too large"));
    const auto document = PlistDocument::parse(data, sizeCap);
    const StoreError notArchive = StoreError::format("not a keyed archive");
    if (!document)
        return fail(document.error().kind == PlistError::Kind::tooLarge ? StoreError::format("too large") : notArchive);
    const PlistView root = document->root();
    const PlistView objects = root.find("$objects");
    const PlistView top = root.find("$top");
    if (!objects.isArray() || !top.isDictionary())
        return fail(notArchive);

    Archive archive(objects.elements());
    const StoreError noItems = StoreError::format("no itemsByUserIdentifier");
    const PlistView store = archive.obj(top.find("store"));
    if (!store.isDictionary())
        return fail(noItems);
    const PlistView items = archive.obj(store.find("itemsByUserIdentifier"));
    if (!items.isDictionary())
        return fail(noItems);
    const PlistView keys = items.find("NS.keys");
    const PlistView lists = items.find("NS.objects");
    if (!keys.isArray() || !lists.isArray())
        return fail(noItems);

    const std::vector<PlistView> userKeys = keys.elements();
    const std::vector<PlistView> userLists = lists.elements();
    const size_t users = std::min(userKeys.size(), userLists.size());
    // A first pass only finds each user's item array and counts the items.
    // It judges one thing: a store lists each item once, so more records than
    // the archive has objects means lists or items named over and over, which
    // a few kilobytes can turn into millions of records. Everything else is
    // judged in the second pass, where a store with several faults reports
    // the first one met when each user is checked and then its items.
    std::vector<PlistView> itemsByUser(users);
    QHash<quint64, PlistView> arrays;  // by list object, which many users may name
    quint64 total = 0;
    for (size_t u = 0; u < users; ++u) {
        const PlistView list = archive.obj(userLists[u]);
        if (!list.isDictionary())
            continue;
        auto it = arrays.constFind(list.identity());
        if (it == arrays.constEnd())
            it = arrays.insert(list.identity(), list.find("NS.objects"));
        itemsByUser[u] = *it;
        total += it->count();
        if (total > archive.size())
            return fail(StoreError::format("too many records"));
    }
    // Not reserved ahead: a store whose first item is bad allocates nothing.
    QList<BTMRecord> records;
    QHash<quint64, BTMRecord> built;  // by item object
    for (size_t u = 0; u < users; ++u) {
        const auto user = archive.text(userKeys[u]);
        if (!user || !itemsByUser[u].isArray())
            return fail(StoreError::format("user list"));
        for (const PlistView& element : itemsByUser[u].elements()) {
            const PlistView item = archive.obj(element);
            auto it = built.constFind(item.identity());
            if (it == built.constEnd()) {
                auto r = record(archive, item);
                if (!r)
                    return fail(r.error());
                it = built.insert(item.identity(), std::move(r).value());
            }
            records.append(*it);
            records.back().user = *user;
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
