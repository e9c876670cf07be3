#include "finder/BackgroundStoreArchive.h"

#include <QHash>
#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "finder/FileUrl.h"

namespace rk {

namespace {

using Object = BinaryPlist::Object;

// The keys the reader looks up. An item's fields come first, the required
// ones in ascending order so that the missing ones come out sorted; the
// keys after them are those looked up one at a time.
enum class Key : quint8 {
    disposition,
    identifier,
    name,
    type,
    url,
    bundleIdentifier,
    teamIdentifier,
    developerName,
    executablePath,
    objects,
    top,
    store,
    itemsByUser,
    keys,
    values,
    classOf,
    className,
    relative,
    string,
    other,
};
constexpr int kRequiredFields = 5;
constexpr int kFields = 9;
constexpr int kLookedUp = int(Key::other) - kFields;
const char* const kKeyNames[] = {
    "disposition",
    "identifier",
    "name",
    "type",
    "url",
    "bundleIdentifier",
    "teamIdentifier",
    "developerName",
    "executablePath",
    "$objects",
    "$top",
    "store",
    "itemsByUserIdentifier",
    "NS.keys",
    "NS.objects",
    "$class",
    "$classname",
    "NS.relative",
    "NS.string",
};
static_assert(std::size(kKeyNames) == size_t(Key::other));

// What `value` makes of a dictionary, by its class.
enum class Class : quint8 { unknown, url, string, other };

// The archive, read in place from a checked binary list. Objects are named
// by their index in the list's object table, nothing by kNone. What the
// reader learns of an object is noted in one byte per object: for a string,
// which key it is, whether it was read as text before and whether it is
// known not to be "$null"; for a dictionary, the class it names as a class
// object and whether it was read as an item. Where the keys of a large
// dictionary stand is kept once it has been walked. So a store that names
// its objects many times costs little more than one that names each once,
// and an ordinary store pays for no table.
class Archive {
public:
    static constexpr quint64 kNone = ~quint64(0);
    using Work = BackgroundStoreArchive::Work;

    // Text is built while `budget` bytes last; past it the archive is over
    // budget and texts come out empty.
    Archive(const BinaryPlist& list, qint64 budget)
        : list_(list), notes_(size_t(list.objectCount()), 0), budget_(budget) {}

    const Work& work() const { return work_; }

    Object object(quint64 index) const { return list_.object(list_.offsetOf(index)); }
    bool is(quint64 index, PlistValue::Kind kind) const {
        return index != kNone && BinaryPlist::kind(object(index)) == kind;
    }
    bool overBudget() const { return budget_ < 0; }
    // Takes `bytes` from the budget, or leaves the archive over budget.
    bool charge(qint64 bytes) {
        if (budget_ < bytes) {
            budget_ = -1;
            return false;
        }
        budget_ -= bytes;
        return true;
    }

    // "$objects", which references index.
    void setObjects(quint64 array) { objects_ = object(array); }

    // `obj`: a reference gives the object it names (nothing when out of
    // range); anything else gives itself.
    quint64 obj(quint64 x) const {
        if (x == kNone)
            return kNone;
        const Object o = object(x);
        if (o.type != 0x8)
            return x;
        const quint64 uid = list_.uid(o);
        return uid < objects_.count ? list_.childIndex(objects_, uid) : kNone;
    }

    // The value of the first entry of `key` (one of those looked up one at a
    // time) in a dictionary; nothing when absent or when `dict` is no
    // dictionary. A dictionary of a few entries is walked on each lookup, a
    // larger one once: many items naming one dictionary, or many users one
    // list, would otherwise walk it once for each. Past the budget a large
    // dictionary holds nothing, and the read fails at its next check.
    quint64 find(quint64 dict, Key key) { return dict == kNone ? kNone : find(dict, object(dict), key); }
    quint64 find(quint64 dict, const Object& o, Key key) {
        Q_ASSERT(int(key) >= kFields && key != Key::other);
        if (o.type != 0xD)
            return kNone;
        if (o.count > kFewEntries)
            return findInLarge(dict, o, key);
        for (quint64 i = 0; i < o.count; ++i) {
            if (keyOf(list_.childIndex(o, i)) == key) {
                work_.entries += i + 1;
                return list_.childIndex(o, o.count + i);
            }
        }
        work_.entries += o.count;
        return kNone;
    }

    // An item's fields in one pass over its keys, by Key; the first entry of
    // a key counts.
    void fields(const Object& item, std::array<quint64, kFields>& out) { firstEntries(item, 0, out); }

    // `value`, as far as text goes: the string object that x stands for,
    // through references, archived strings and URLs ("$null" is nothing).
    // A URL relative to a URL is followed; a chain longer than the bound, or
    // a cycle, gives nothing. Nothing too when x stands for no string.
    // Where a chain of URLs ends is noted for each URL on it once the chain
    // is longer than one, so many items naming one long chain cost one walk.
    quint64 textObject(quint64 x) {
        constexpr int kEndless = BackgroundStore::maxResolutionDepth + 1;
        std::array<quint64, kEndless> urls;  // the URLs followed
        int followed = 0;
        Chain end{kNone, 0};  // and beyond the last of them
        for (quint64 r = obj(x); r != kNone;) {
            if (!chains_.isEmpty()) {
                if (const auto known = chains_.constFind(r); known != chains_.constEnd()) {
                    end = *known;
                    break;
                }
            }
            const Object o = object(r);
            if (list_.isString(o)) {
                end.text = isNull(r, o) ? kNone : r;
                break;
            }
            const Class kind = o.type == 0xD ? classOf(r, o) : Class::other;
            if (kind == Class::string) {
                const quint64 text = find(r, o, Key::string);
                end.text = text != kNone && list_.isString(object(text)) ? text : kNone;
            }
            if (kind != Class::url)
                break;
            if (followed == kEndless) {  // past the bound, or a cycle
                end.urls = kEndless;
                break;
            }
            urls[size_t(followed++)] = r;
            r = obj(find(r, o, Key::relative));
        }
        if (followed > 0 && followed + end.urls > 1) {
            for (int i = 0; i < followed; ++i) {
                if (!charge(2 * qint64(sizeof(quint64) + sizeof(Chain))))
                    break;
                chains_.insert(urls[size_t(i)], Chain{end.text, std::min(followed - i + end.urls, kEndless)});
            }
        }
        return followed + end.urls > BackgroundStore::maxResolutionDepth ? kNone : end.text;
    }

    std::optional<QString> text(quint64 x) {
        const quint64 s = textObject(x);
        return s == kNone ? std::nullopt : std::optional<QString>(string(s));
    }

    // The text of a string object, built once it has been read twice: an
    // ordinary store reads most strings once, and one that names a string
    // from many items shares one copy among them.
    QString string(quint64 s) {
        quint8& note = notes_[s];
        if (!(note & kReadOnce)) {
            note |= kReadOnce;
            return build(s);
        }
        if (!(note & kShared)) {
            // The table's share too: an entry, at half load.
            if (!charge(2 * qint64(sizeof(quint64) + sizeof(Text))))
                return QString();
            note |= kShared;
            return texts_.insert(s, Text{build(s), std::nullopt, false})->text;
        }
        return texts_.find(s)->text;
    }

    // The path of the url that the string object `s` holds, shared alike.
    std::optional<QString> path(quint64 s, const QString& url) {
        if (!(notes_[s] & kShared))
            return pathOf(url);
        const auto it = texts_.find(s);
        if (!it->pathKnown) {
            it->path = pathOf(url);
            it->pathKnown = true;
        }
        return it->path;
    }

    // `int`: numbers as signed integers; anything else, or nothing, 0.
    qint64 integer(quint64 x) const {
        const quint64 r = obj(x);
        if (r == kNone)
            return 0;
        const Object o = object(r);
        switch (o.type) {
            case 0x0:
                return o.low == 0x9 ? 1 : 0;
            case 0x1:
                return list_.integer(o);
            case 0x2: {
                // Only whole numbers in range: casting any other double is undefined.
                const double d = list_.real(o);
                if (std::isfinite(d) && std::trunc(d) == d && d >= -9.2e18 && d <= 9.2e18)
                    return qint64(d);
                return 0;
            }
            default:
                return 0;
        }
    }

    bool wasReadAsItem(quint64 dict) const { return notes_[dict] & kReadAsItem; }
    void readAsItem(quint64 dict) { notes_[dict] |= kReadAsItem; }

private:
    // The bits of an object's note. A string's: which key it is (plus one;
    // 0 when not looked at yet), whether its text was built before, whether
    // it is kept for sharing and whether it is known not to read "$null". A
    // dictionary's: the class it names (Class::unknown when not looked at
    // yet) and whether it was read as an item.
    static constexpr quint8 kKeyMask = 0x1F;
    static constexpr quint8 kReadOnce = 0x20;
    static constexpr quint8 kShared = 0x40;  // in texts_
    static constexpr quint8 kNotNull = 0x80;
    static constexpr quint8 kClassMask = 0x03;
    static constexpr quint8 kReadAsItem = 0x04;

    // Archived strings, URLs and lists hold two or three entries; a
    // dictionary of more is walked once by `find`.
    static constexpr quint64 kFewEntries = 8;
    // The values of the keys looked up one at a time, by Key from kFields.
    using Places = std::array<quint64, kLookedUp>;

    // Where a chain of URLs ends, and through how many URLs.
    struct Chain {
        quint64 text;
        int urls;
    };
    struct Text {
        QString text;
        std::optional<QString> path;  // worked out when first asked for
        bool pathKnown;
    };

    // Dictionary keys are strings: the list's check saw to it. A UTF-16 key
    // is decoded once for all the names.
    Key keyOf(quint64 index) {
        quint8& note = notes_[index];
        if (note & kKeyMask)
            return Key((note & kKeyMask) - 1);
        const Object o = object(index);
        Key key = Key::other;
        if (o.type == 0x6) {
            key = utf16Key(o);
        } else {
            for (size_t k = 0; k < std::size(kKeyNames); ++k) {
                if (list_.keyEquals(o, kKeyNames[k])) {
                    key = Key(k);
                    break;
                }
            }
        }
        note |= quint8(int(key) + 1);
        return key;
    }

    Key utf16Key(const Object& o) {
        work_.units += o.count;
        const QString text = list_.keyText(o);
        const auto* name = std::find_if(std::begin(kKeyNames), std::end(kKeyNames),
                                        [&](const char* n) { return text == QLatin1String(n); });
        return Key(name - std::begin(kKeyNames));
    }

    // `find` in a dictionary of more than kFewEntries.
    quint64 findInLarge(quint64 dict, const Object& o, Key key) {
        auto known = places_.constFind(dict);
        if (known == places_.constEnd()) {
            // The table's share too: an entry, at half load.
            if (!charge(2 * qint64(sizeof(quint64) + sizeof(Places))))
                return kNone;
            Places places;
            firstEntries(o, kFields, places);
            known = places_.insert(dict, places);
        }
        return (*known)[size_t(key) - kFields];
    }

    // The value of the first entry of each of the keys from `first` on, as
    // many as `out` holds, in one pass over a dictionary's keys.
    template <size_t N>
    void firstEntries(const Object& dict, int first, std::array<quint64, N>& out) {
        out.fill(kNone);
        work_.entries += dict.count;
        for (quint64 i = 0; i < dict.count; ++i) {
            const int at = int(keyOf(list_.childIndex(dict, i))) - first;
            if (at >= 0 && at < int(N) && out[size_t(at)] == kNone)
                out[size_t(at)] = list_.childIndex(dict, dict.count + i);
        }
    }

    // Whether a string reads "$null", the archive's nothing. Comparing an
    // ASCII string costs a few bytes; a UTF-16 one is decoded whole, so its
    // answer is noted: as a bit when it is text, in a set (charged) when it
    // is "$null", which only a list made to take time writes in UTF-16.
    bool isNull(quint64 s, const Object& o) {
        return o.type == 0x6 ? utf16IsNull(s, o) : list_.stringEquals(o, QLatin1String("$null"));
    }
    bool utf16IsNull(quint64 s, const Object& o) {
        quint8& note = notes_[s];
        if (note & kNotNull)
            return false;
        if (!nulls_.isEmpty() && nulls_.contains(s))
            return true;
        work_.units += o.count;
        if (!list_.stringEquals(o, QLatin1String("$null"))) {
            note |= kNotNull;
            return false;
        }
        if (charge(2 * qint64(sizeof(quint64) + sizeof(void*))))
            nulls_.insert(s);
        return true;
    }

    // The class a dictionary's "$class" names, looked up once per class object.
    Class classOf(quint64 dict, const Object& o) {
        const quint64 cls = obj(find(dict, o, Key::classOf));
        if (cls == kNone)
            return Class::other;
        if (object(cls).type != 0xD)
            return Class::other;
        quint8& note = notes_[cls];
        if (note & kClassMask)
            return Class(note & kClassMask);
        Class kind = Class::other;
        const quint64 name = find(cls, Key::className);
        if (name != kNone && list_.isString(object(name))) {
            const Object n = object(name);
            if (list_.stringEquals(n, QLatin1String("NSURL")))
                kind = Class::url;
            else if (list_.stringEquals(n, QLatin1String("NSString")) ||
                     list_.stringEquals(n, QLatin1String("NSMutableString")))
                kind = Class::string;
        }
        note |= quint8(kind);
        return kind;
    }

    // Text is charged before it is built, by its size at most (a string's
    // header tells its length, and a path is never longer than its url):
    // two bytes a UTF-16 unit and what a QString and the allocator add.
    static qint64 textBytes(quint64 units) { return qint64(2 * units + 32); }
    QString build(quint64 s) {
        const Object o = object(s);
        return charge(textBytes(o.count)) ? list_.string(o) : QString();
    }
    std::optional<QString> pathOf(const QString& url) {
        return charge(textBytes(quint64(url.size()))) ? FileUrl::path(url) : std::nullopt;
    }

    const BinaryPlist& list_;
    Object objects_;
    std::vector<quint8> notes_;      // by object index
    QHash<quint64, Text> texts_;     // by string object, once read twice
    QHash<quint64, Chain> chains_;   // by URL object, on chains of more than one
    QHash<quint64, Places> places_;  // by dictionary, of more than kFewEntries, once walked
    QSet<quint64> nulls_;            // UTF-16 strings that read "$null"
    qint64 budget_;
    Work work_;
};

// The record of one item, with no user yet.
Result<BTMRecord, StoreError> record(Archive& archive, quint64 item) {
    std::array<quint64, kFields> field;
    archive.fields(archive.object(item), field);
    QStringList missing;
    for (int k = 0; k < kRequiredFields; ++k)
        if (field[size_t(k)] == Archive::kNone)
            missing.append(QLatin1String(kKeyNames[k]));
    if (!missing.isEmpty())
        return fail(StoreError::format("record missing " + missing.join(',')));

    auto at = [&](Key key) { return field[size_t(key)]; };
    BTMRecord r;
    r.name = archive.text(at(Key::name)).value_or(QStringLiteral("?"));
    r.disposition = archive.integer(at(Key::disposition));
    r.type = archive.integer(at(Key::type));
    if (const quint64 url = archive.textObject(at(Key::url)); url != Archive::kNone) {
        r.url = archive.string(url);
        r.path = archive.path(url, *r.url);
    }
    r.bundleIdentifier = archive.text(at(Key::bundleIdentifier));
    r.teamIdentifier = archive.text(at(Key::teamIdentifier));
    r.developerName = archive.text(at(Key::developerName));
    r.executablePath = archive.text(at(Key::executablePath));
    r.identifier = archive.text(at(Key::identifier));
    return r;
}

}  // namespace

Result<QList<BTMRecord>, StoreError> BackgroundStoreArchive::records(const BinaryPlist& list, Work* work) {
    using Kind = PlistValue::Kind;
    Archive archive(list, BackgroundStore::recordsMemoryCap);
    const auto report = qScopeGuard([&] {
        if (work)
            *work = archive.work();
    });
    const quint64 root = list.topIndex();
    const quint64 objects = archive.find(root, Key::objects);
    const quint64 top = archive.find(root, Key::top);
    if (!archive.is(objects, Kind::array) || !archive.is(top, Kind::dictionary))
        return fail(StoreError::format("not a keyed archive"));
    archive.setObjects(objects);

    const StoreError noItems = StoreError::format("no itemsByUserIdentifier");
    const quint64 store = archive.obj(archive.find(top, Key::store));
    const quint64 items = archive.obj(archive.find(store, Key::itemsByUser));
    const quint64 keys = archive.find(items, Key::keys);
    const quint64 lists = archive.find(items, Key::values);
    if (!archive.is(store, Kind::dictionary) || !archive.is(items, Kind::dictionary) ||
        !archive.is(keys, Kind::array) || !archive.is(lists, Kind::array))
        return fail(noItems);

    const Object userKeys = archive.object(keys);
    const Object userLists = archive.object(lists);
    const quint64 users = std::min(userKeys.count, userLists.count);
    auto itemList = [&](quint64 u) {
        return archive.find(archive.obj(list.childIndex(userLists, u)), Key::values);
    };
    // A first pass only counts the items. It judges one thing: a store lists
    // each item once, so more records than the list has objects (or than the
    // cap) means lists or items named over and over, which a few kilobytes
    // can turn into millions of records. Everything else is judged in the
    // second pass, where a store with several faults reports the first one
    // met when each user is checked and then its items.
    const quint64 limit = std::min(quint64(BackgroundStore::maxRecords), list.objectCount());
    quint64 total = 0;
    for (quint64 u = 0; u < users; ++u) {
        const quint64 array = itemList(u);
        if (archive.is(array, Kind::array) && (total += archive.object(array).count) > limit)
            return fail(StoreError::format("too many records"));
    }

    const StoreError tooLarge = StoreError::format("too large");
    if (!archive.charge(qint64(total * sizeof(BTMRecord))))
        return fail(tooLarge);
    QList<BTMRecord> records;
    records.reserve(qsizetype(total));
    // An item named again is the record built for it before, found by the
    // item's index; the table is made only when an item comes again.
    std::vector<quint64> itemAt;
    QHash<quint64, qsizetype> firstAt;
    bool repeats = false;
    for (quint64 u = 0; u < users; ++u) {
        const auto user = archive.text(list.childIndex(userKeys, u));
        const quint64 array = itemList(u);
        if (archive.overBudget())
            return fail(tooLarge);
        if (!user || !archive.is(array, Kind::array))
            return fail(StoreError::format("user list"));
        const Object elements = archive.object(array);
        for (quint64 j = 0; j < elements.count; ++j) {
            const quint64 item = archive.obj(list.childIndex(elements, j));
            if (!archive.is(item, Kind::dictionary))
                return fail(StoreError::format("record"));
            if (archive.wasReadAsItem(item)) {
                if (!repeats) {
                    repeats = true;
                    for (size_t k = 0; k < itemAt.size(); ++k)
                        firstAt.insert(itemAt[k], qsizetype(k));
                    itemAt = {};
                }
                BTMRecord again = records.at(firstAt.value(item));
                records.append(std::move(again));
            } else {
                auto r = record(archive, item);
                if (!r)
                    return fail(r.error());
                archive.readAsItem(item);
                if (repeats)
                    firstAt.insert(item, records.size());
                else
                    itemAt.push_back(item);
                records.append(std::move(r).value());
            }
            records.back().user = *user;
            if (archive.overBudget())
                return fail(tooLarge);
        }
    }
    return records;
}

}  // namespace rk
