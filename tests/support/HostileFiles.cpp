#include "support/HostileFiles.h"

#include <QtEndian>

#include "support/KeyedArchiveWriter.h"

namespace rk::test {

QList<HostileFile> HostileFiles::xmlNesting(int depth) {
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    const QByteArray arrays = QByteArray("<array>").repeated(depth);
    const QByteArray closers = QByteArray("</array>").repeated(depth) + "</plist>\n";
    return {
        {"attribute holding />", head + QByteArray("<array a=\"/>\">").repeated(depth) + closers},
        {"CDATA in an attribute", "<plist a=\"<![CDATA[\">" + arrays + closers},
        {"comment in an attribute", "<plist a=\"<!--\">" + arrays + closers},
        {"closing tag in a processing instruction", head + QByteArray("<array><?x </array>?>").repeated(depth) + closers},
        {"closing tag in a DOCTYPE subset", head + QByteArray("<array><!DOCTYPE x [</array>]>").repeated(depth) + closers},
    };
}

QByteArray HostileFiles::binaryDoubling(int levels, int padding) {
    QByteArray list = "bplist00" + QByteArray(padding, '\0');
    QList<quint32> offsets;
    for (int i = 0; i <= levels; ++i) {
        offsets.append(quint32(list.size()));
        if (i < levels)
            list.append(char(0xA2)).append(char(i + 1)).append(char(i + 1));
        else
            list.append(char(0x09));
    }
    const quint64 table = quint64(list.size());
    list.append(QByteArray(4 * offsets.size(), '\0'));
    for (int i = 0; i < offsets.size(); ++i)
        qToBigEndian(offsets[i], list.data() + table + 4 * i);
    QByteArray trailer(32, '\0');
    trailer[6] = 4;  // offset size
    trailer[7] = 1;  // reference size
    qToBigEndian(quint64(offsets.size()), trailer.data() + 8);
    qToBigEndian(table, trailer.data() + 24);
    return list + trailer;
}

namespace {
ArchivedItem record() {
    ArchivedItem item;
    item.name = "Shared";
    item.type = 8;
    item.disposition = 1;
    item.url = "/Users/anna/Library/LaunchAgents/com.vendor.shared.plist";
    item.identifier = "8.com.vendor.shared";
    return item;
}
}  // namespace

QByteArray HostileFiles::storeSharedLists(int users, int times) {
    KeyedArchiveWriter w;
    const PlistUid list = w.array(QList<PlistUid>(times, w.item(record())));
    w.setTop("store", w.object({"Storage", "NSObject"},
                               {{"itemsByUserIdentifier",
                                 w.dictionary(QList<PlistUid>(users, w.string("501")), QList<PlistUid>(users, list))}}));
    return w.binary();
}

QByteArray HostileFiles::storeWideRecord(int keys, int times) {
    KeyedArchiveWriter w;
    ArchivedItem wide = record();
    for (int i = 0; i < keys; ++i)
        wide.extra.push_back(PlistEntry{QString("key%1").arg(i), PlistValue(i)});
    const PlistUid item = w.item(wide);
    for (int i = 0; i < times; ++i)
        w.add(PlistValue(QString::number(i)));
    w.setTop("store", w.storage(QList<std::pair<QString, QList<PlistUid>>>{{"501", QList<PlistUid>(times, item)}}));
    return w.binary();
}

}  // namespace rk::test
