#include "support/HostileFiles.h"

#include "platform/BinaryPlistWriter.h"

namespace rk::test {

QList<HostileFile> HostileFiles::xmlNesting(int depth, Nesting nesting) {
    const QByteArray head = "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">";
    const QByteArray arrays = QByteArray("<array>").repeated(depth);
    const QByteArray closers =
        nesting == Nesting::closed ? QByteArray("</array>").repeated(depth) + "</plist>\n" : QByteArray();
    // A comment the hiding markup seems to open, closed after the arrays.
    const QByteArray hidden = "<plist version=\"1.0\">" + arrays + closers + (closers.isEmpty() ? "" : "<!-- -->\n");
    return {
        {"attribute holding a slash", head + QByteArray("<array a=\"/>\">").repeated(depth) + closers},
        {"CDATA in an attribute", "<plist a=\"<![CDATA[\">" + arrays + closers},
        {"comment in an attribute", "<plist a=\"<!--\">" + arrays + closers},
        {"closing tag in an instruction", head + QByteArray("<array><?x </array>?>").repeated(depth) + closers},
        {"closing tag in a DOCTYPE", head + QByteArray("<array><!DOCTYPE x [</array>]>").repeated(depth) + closers},
        {"NUL in a tag name", head + QByteArray("<array\0>", 8).repeated(depth) + closers},
        {"quoted closer in a DOCTYPE", "<!DOCTYPE plist \"><!--\">\n" + hidden},
        {"quoted closer in the declaration", "<?xml version=\"1.0\" x=\"?><!--\"?>\n" + hidden},
    };
}

QByteArray HostileFiles::storeSharedLists(int users, int times) {
    KeyedArchiveWriter w;
    const PlistUid item = w.item({.name = "Shared", .url = "/Users/anna/x", .identifier = "8.x"});
    const PlistUid list = w.array(QList<PlistUid>(times, item));
    const PlistUid users_ = w.dictionary(QList<PlistUid>(users, w.string("501")), QList<PlistUid>(users, list));
    w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", users_}}));
    return w.binary();
}

PlistValue::Dictionary HostileFiles::padded(int padding, PlistValue::Dictionary fields) {
    PlistValue::Dictionary all(size_t(padding), PlistEntry{"padding", PlistValue(0)});
    all.insert(all.end(), fields.begin(), fields.end());
    return all;
}

QByteArray HostileFiles::storeTextsNamingOne(int items, const Adds& text) {
    KeyedArchiveWriter w;
    const PlistUid named = text(w);
    PlistValue::Dictionary fields;
    for (const char* key : {"name", "url", "identifier", "teamIdentifier", "developerName", "executablePath"})
        fields.push_back({key, named});
    fields.push_back({"type", PlistValue(8)});
    fields.push_back({"disposition", PlistValue(3)});
    QList<PlistUid> listed;
    for (int i = 0; i < items; ++i)
        listed.append(w.object({"ItemRecord", "NSObject"}, fields));
    w.setTop("store", w.storage(QList<std::pair<QString, QList<PlistUid>>>{{"501", listed}}));
    return BinaryPlistWriter::write(w.archive());
}

QByteArray HostileFiles::storeUsersNamingOne(int users, const Adds& list) {
    KeyedArchiveWriter w;
    const PlistUid named = list(w);
    const PlistUid byUser =
        w.dictionary(QList<PlistUid>(users, w.string("501")), QList<PlistUid>(users, named));
    w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", byUser}}));
    return BinaryPlistWriter::write(w.archive());
}

}  // namespace rk::test
