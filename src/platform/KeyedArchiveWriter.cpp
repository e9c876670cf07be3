#include "platform/KeyedArchiveWriter.h"

#include <QUrl>

namespace rk {

namespace {
void put(PlistValue::Dictionary& fields, const QString& key, PlistValue value) {
    for (auto& entry : fields) {
        if (entry.key == key) {
            entry.value = std::move(value);
            return;
        }
    }
    fields.push_back(PlistEntry{key, std::move(value)});
}

QString fileUrl(const QString& text) {
    // A path becomes a file URL with its escapes; a URL stays as it is.
    if (text.startsWith('/'))
        return QUrl::fromLocalFile(text).toString(QUrl::FullyEncoded);
    return text;
}
}  // namespace

KeyedArchiveWriter::KeyedArchiveWriter() {
    objects_.push_back(PlistValue("$null"));
}

PlistUid KeyedArchiveWriter::add(PlistValue object) {
    objects_.push_back(std::move(object));
    return PlistUid{quint64(objects_.size() - 1)};
}

PlistUid KeyedArchiveWriter::reserve() {
    return add(PlistValue());
}

void KeyedArchiveWriter::set(PlistUid slot, PlistValue object) {
    objects_.at(slot.index) = std::move(object);
}

PlistUid KeyedArchiveWriter::string(const QString& text) {
    return add(PlistValue(text));
}

PlistUid KeyedArchiveWriter::classNamed(const QStringList& hierarchy) {
    for (const auto& [name, uid] : classes_)
        if (name == hierarchy.first())
            return uid;
    PlistValue::Array names;
    for (const QString& name : hierarchy)
        names.push_back(PlistValue(name));
    const PlistUid uid = add(PlistValue(PlistValue::Dictionary{
        {"$classes", PlistValue(std::move(names))},
        {"$classname", PlistValue(hierarchy.first())},
    }));
    classes_.append({hierarchy.first(), uid});
    return uid;
}

PlistUid KeyedArchiveWriter::object(const QStringList& hierarchy, PlistValue::Dictionary fields) {
    // The archiver gives an object its index before it encodes what it holds.
    const PlistUid slot = reserve();
    put(fields, "$class", classNamed(hierarchy));
    set(slot, PlistValue(std::move(fields)));
    return slot;
}

PlistUid KeyedArchiveWriter::nsString(const QString& text) {
    return object({"NSMutableString", "NSString", "NSObject"}, {{"NS.string", PlistValue(text)}});
}

PlistUid KeyedArchiveWriter::url(const QString& relative, PlistUid base) {
    const PlistUid slot = reserve();
    const PlistUid text = string(relative);
    set(slot, PlistValue(PlistValue::Dictionary{
                  {"NS.base", base},
                  {"NS.relative", text},
                  {"$class", classNamed({"NSURL", "NSObject"})},
              }));
    return slot;
}

PlistUid KeyedArchiveWriter::array(const QList<PlistUid>& elements) {
    PlistValue::Array refs;
    refs.reserve(elements.size());
    for (const PlistUid& uid : elements)
        refs.push_back(uid);
    return object({"NSArray", "NSObject"}, {{"NS.objects", PlistValue(std::move(refs))}});
}

PlistUid KeyedArchiveWriter::dictionary(const QList<PlistUid>& keys, const QList<PlistUid>& objects) {
    PlistValue::Array k, o;
    for (const PlistUid& uid : keys)
        k.push_back(uid);
    for (const PlistUid& uid : objects)
        o.push_back(uid);
    return object({"NSMutableDictionary", "NSDictionary", "NSObject"},
                  {{"NS.keys", PlistValue(std::move(k))}, {"NS.objects", PlistValue(std::move(o))}});
}

PlistUid KeyedArchiveWriter::item(const ArchivedItem& item) {
    const PlistUid slot = reserve();
    // Keys in the order the record encodes them.
    PlistValue::Dictionary fields;
    fields.push_back({"name", string(item.name)});
    fields.push_back({"type", PlistValue(item.type)});
    if (!item.omitDisposition)
        fields.push_back({"disposition", PlistValue(item.disposition)});
    fields.push_back({"url", item.url ? url(fileUrl(*item.url)) : null()});
    fields.push_back({"identifier", item.identifier ? string(*item.identifier) : null()});
    const std::pair<const char*, const std::optional<QString>*> optional[] = {
        {"bundleIdentifier", &item.bundleIdentifier},
        {"teamIdentifier", &item.teamIdentifier},
        {"developerName", &item.developerName},
        {"executablePath", &item.executablePath},
    };
    for (const auto& [key, text] : optional)
        if (*text)
            fields.push_back({key, string(**text)});
    for (const auto& entry : item.extra)
        put(fields, entry.key, entry.value);
    for (const QString& key : item.omit)
        std::erase_if(fields, [&](const PlistEntry& entry) { return entry.key == key; });
    fields.push_back({"$class", classNamed({"ItemRecord", "NSObject"})});
    set(slot, PlistValue(std::move(fields)));
    return slot;
}

PlistUid KeyedArchiveWriter::storage(const QList<std::pair<QString, QList<PlistUid>>>& users) {
    const PlistUid slot = reserve();
    QList<PlistUid> keys, lists;
    for (const auto& [user, items] : users) {
        keys.append(string(user));
        lists.append(array(items));
    }
    const PlistUid byUser = dictionary(keys, lists);
    set(slot, PlistValue(PlistValue::Dictionary{
                  {"itemsByUserIdentifier", byUser},
                  {"$class", classNamed({"Storage", "NSObject"})},
              }));
    return slot;
}

PlistUid KeyedArchiveWriter::storage(const QList<ArchivedUser>& users) {
    QList<std::pair<QString, QList<PlistUid>>> built;
    for (const ArchivedUser& user : users) {
        QList<PlistUid> items;
        for (const ArchivedItem& i : user.items)
            items.append(item(i));
        built.append({user.user, items});
    }
    return storage(built);
}

void KeyedArchiveWriter::setTop(const QString& key, PlistValue value) {
    put(top_, key, std::move(value));
}

PlistValue KeyedArchiveWriter::archive() const {
    PlistValue::Array objects(objects_.begin(), objects_.end());
    return PlistValue(PlistValue::Dictionary{
        {"$version", PlistValue(qint64(100000))},
        {"$archiver", PlistValue("NSKeyedArchiver")},
        {"$top", PlistValue(top_)},
        {"$objects", PlistValue(std::move(objects))},
    });
}

QByteArray KeyedArchiveWriter::store(const QList<ArchivedUser>& users, Form form) {
    KeyedArchiveWriter writer;
    writer.setTop("store", writer.storage(users));
    return form == Form::xml ? writer.xml() : writer.binary();
}

}  // namespace rk
