#pragma once
// Zip archives written byte by byte, for the tests of what unpacks update
// archives: each entry stored as given, with the local header free to say
// otherwise than the directory record, and extra fields as given. Nothing
// here checks that the result makes sense; that is the point.

#include <QByteArray>
#include <QDataStream>
#include <QList>
#include <QtEndian>
#include <optional>

namespace rk::test {

struct ZipEntry {
    QByteArray name = {};                      // as the directory record states it
    QByteArray data = {};                      // the bytes stored
    quint32 mode = 0100644;                    // Unix mode; 0120777 makes a symbolic link to `data`
    QByteArray extra = {};                     // the extra field of both records
    std::optional<QByteArray> localName = {};  // the local header's name, when it differs
    quint16 localMethod = 0;                   // the local header's method; the record says stored
    std::optional<QByteArray> unpacked = {};   // what the checksum covers, when not `data`
    std::optional<quint32> stated = {};        // the sizes the directory record states, when not `data`'s
    bool descriptor = false;  // the local header's checksum and sizes 0, and in a descriptor after the data
};

inline quint32 crc32Of(const QByteArray& bytes) {
    quint32 crc = 0xffffffff;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

// One extra-field record: `id`, its size, `body`.
inline QByteArray extraField(quint16 id, const QByteArray& body) {
    QByteArray field(4, '\0');
    qToLittleEndian<quint16>(id, field.data());
    qToLittleEndian<quint16>(quint16(body.size()), field.data() + 2);
    return field + body;
}

// Info-ZIP's Unicode name (0x7075) or comment (0x6375) field for an entry
// whose raw name is `raw`: version 1, the checksum of `raw`, then `text`.
inline QByteArray unicodeField(quint16 id, const QByteArray& raw, const QByteArray& text) {
    QByteArray body(5, '\1');
    qToLittleEndian<quint32>(crc32Of(raw), body.data() + 1);
    return extraField(id, body + text);
}

inline QByteArray writeZip(const QList<ZipEntry>& entries) {
    QByteArray archive, directory;
    QDataStream a(&archive, QIODevice::WriteOnly), d(&directory, QIODevice::WriteOnly);
    a.setByteOrder(QDataStream::LittleEndian);
    d.setByteOrder(QDataStream::LittleEndian);
    const auto raw = [](QDataStream& out, const QByteArray& bytes) { out.writeRawData(bytes, bytes.size()); };
    for (const ZipEntry& e : entries) {
        const QByteArray local = e.localName.value_or(e.name);
        const quint32 crc = crc32Of(e.unpacked.value_or(e.data)), size = e.data.size();
        // Made by Unix zip 3.0, version 2.0 needed, stored, no time, no comment; flags only for a descriptor.
        const quint32 stated = e.stated.value_or(size);
        const quint16 flags = e.descriptor ? 8 : 0;
        d << quint32(0x02014b50) << quint16(0x031e) << quint16(20) << flags << quint16(0) << quint32(0) << crc
          << stated << stated << quint16(e.name.size()) << quint16(e.extra.size()) << quint16(0) << quint16(0)
          << quint16(0) << quint32(e.mode << 16) << quint32(archive.size());
        raw(d, e.name + e.extra);
        const quint32 localCrc = e.descriptor ? 0 : crc, localSize = e.descriptor ? 0 : size;
        a << quint32(0x04034b50) << quint16(20) << flags << e.localMethod << quint32(0) << localCrc
          << localSize << localSize << quint16(local.size()) << quint16(e.extra.size());
        raw(a, local + e.extra + e.data);
        if (e.descriptor)
            a << quint32(0x08074b50) << crc << size << size;
    }
    const auto count = quint16(entries.size());
    const quint32 listed = directory.size(), at = archive.size();
    d << quint32(0x06054b50) << quint16(0) << quint16(0) << count << count << listed << at << quint16(0);
    return archive + directory;
}

}  // namespace rk::test
