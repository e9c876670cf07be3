#include "platform/BinaryPlistWriter.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace rk {

namespace {

// The bytes a big-endian number up to `max` takes: 1, 2, 4 or 8.
int widthFor(quint64 max) {
    return max <= 0xFF ? 1 : max <= 0xFFFF ? 2 : max <= 0xFFFFFFFF ? 4 : 8;
}

// The objects a value is written as: itself, its elements, and a dictionary's keys.
quint64 objectsOf(const PlistValue& value) {
    quint64 n = 1;
    if (const auto* elements = value.array())
        for (const auto& element : *elements)
            n += objectsOf(element);
    if (const auto* entries = value.dictionary())
        for (const auto& entry : *entries)
            n += 1 + objectsOf(entry.value);
    return n;
}

// Writes each object after those it refers to, so that it knows their indices.
class Writer {
public:
    explicit Writer(quint64 objects) : refSize_(widthFor(objects)) { out_ = "bplist00"; }

    quint64 put(const PlistValue& value) {
        std::vector<quint64> refs;
        switch (value.kind()) {
            case PlistValue::Kind::dictionary: {
                const auto& entries = *value.dictionary();
                refs.resize(2 * entries.size());
                for (size_t i = 0; i < entries.size(); ++i) {
                    refs[i] = put(PlistValue(entries[i].key));
                    refs[entries.size() + i] = put(entries[i].value);
                }
                return container(0xD, entries.size(), refs);
            }
            case PlistValue::Kind::array:
                for (const auto& element : *value.array())
                    refs.push_back(put(element));
                return container(0xA, refs.size(), refs);
            case PlistValue::Kind::string:
                return string(*value.string());
            case PlistValue::Kind::integer:
                return number(0x13, quint64(*value.integer()), 8);
            case PlistValue::Kind::real:
                return number(0x23, std::bit_cast<quint64>(*value.real()), 8);
            case PlistValue::Kind::date:
                return number(0x33, std::bit_cast<quint64>(value.date()->secondsSince2001), 8);
            case PlistValue::Kind::boolean:
                return begin(*value.boolean() ? 0x09 : 0x08);
            case PlistValue::Kind::uid:
                return number(0x83, std::min(*value.uid(), quint64(0xFFFFFFFF)), 4);
            case PlistValue::Kind::data: {
                const quint64 index = sized(0x4, quint64(value.data()->size()));
                out_.append(*value.data());
                return index;
            }
        }
        return begin(0x08);
    }

    QByteArray finish(quint64 top) {
        const quint64 table = quint64(out_.size());
        const int offsetSize = widthFor(table);
        for (quint64 offset : offsets_)
            append(offset, offsetSize);
        out_.append(6, '\0');
        out_.append(char(offsetSize));
        out_.append(char(refSize_));
        append(offsets_.size(), 8);
        append(top, 8);
        append(table, 8);
        return out_;
    }

private:
    void append(quint64 v, int width) {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            out_.append(char(v >> shift));
    }
    quint64 begin(int marker) {
        offsets_.push_back(quint64(out_.size()));
        out_.append(char(marker));
        return offsets_.size() - 1;
    }
    quint64 number(int marker, quint64 v, int width) {
        const quint64 index = begin(marker);
        append(v, width);
        return index;
    }
    quint64 sized(int type, quint64 count) {
        if (count < 15)
            return begin(type << 4 | int(count));
        const quint64 index = begin(type << 4 | 0xF);
        out_.append(char(0x13));
        append(count, 8);
        return index;
    }
    quint64 container(int type, quint64 count, const std::vector<quint64>& refs) {
        const quint64 index = sized(type, count);
        for (quint64 ref : refs)
            append(ref, refSize_);
        return index;
    }
    // ASCII when it can be, which reads back to the first NUL: text holding
    // one goes as UTF-16 (an empty string is ASCII, as UTF-16 it is refused).
    quint64 string(const QString& text) {
        const bool ascii =
            std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() - 1u < 0x7Fu; });
        if (ascii) {
            const quint64 index = sized(0x5, quint64(text.size()));
            out_.append(text.toLatin1());
            return index;
        }
        const quint64 index = sized(0x6, quint64(text.size()));
        for (const QChar c : text)
            append(c.unicode(), 2);
        return index;
    }

    int refSize_;
    QByteArray out_;
    std::vector<quint64> offsets_;  // by index
};

}  // namespace

QByteArray BinaryPlistWriter::write(const PlistValue& value) {
    Writer writer(objectsOf(value));
    const quint64 top = writer.put(value);
    return writer.finish(top);
}

}  // namespace rk
