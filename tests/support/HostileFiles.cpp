#include "support/HostileFiles.h"

#include "platform/KeyedArchiveWriter.h"

namespace rk::test {

QList<HostileFile> HostileFiles::xmlNesting(int depth) {
    const QByteArray head = "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">";
    const QByteArray arrays = QByteArray("<array>").repeated(depth);
    const QByteArray closers = QByteArray("</array>").repeated(depth) + "</plist>\n";
    return {
        {"attribute holding a slash", head + QByteArray("<array a=\"/>\">").repeated(depth) + closers},
        {"CDATA in an attribute", "<plist a=\"<![CDATA[\">" + arrays + closers},
        {"comment in an attribute", "<plist a=\"<!--\">" + arrays + closers},
        {"closing tag in an instruction", head + QByteArray("<array><?x </array>?>").repeated(depth) + closers},
        {"closing tag in a DOCTYPE", head + QByteArray("<array><!DOCTYPE x [</array>]>").repeated(depth) + closers},
    };
}

QByteArray HostileFiles::storeSharedLists(int users, int times) {
    KeyedArchiveWriter w;
    ArchivedItem item;
    item.name = "Shared";
    item.url = "/Users/anna/x";
    item.identifier = "8.x";
    const PlistUid list = w.array(QList<PlistUid>(times, w.item(item)));
    const PlistUid users_ = w.dictionary(QList<PlistUid>(users, w.string("501")), QList<PlistUid>(users, list));
    w.setTop("store", w.object({"Storage", "NSObject"}, {{"itemsByUserIdentifier", users_}}));
    return w.binary();
}

}  // namespace rk::test
