#pragma once
// The entry libFuzzer calls once per input, included by each harness: the
// harness's `fuzz` borrows the bytes, so AddressSanitizer sees a read past
// their end. Also what the harnesses share to check the answers they get.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/Plist.h"

void fuzz(const QByteArray& input);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}

namespace fuzzing {

// A reader broke a promise on this input: libFuzzer keeps it as a crash.
inline void require(bool holds, const char* promise) {
    if (holds)
        return;
    std::fprintf(stderr, "wrong answer: %s\n", promise);
    std::abort();
}

// The input cut at its first `count - 1` separators; parts that are not
// there are empty.
inline QList<QByteArray> parts(const QByteArray& input, char separator, int count) {
    QList<QByteArray> out;
    qsizetype from = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype end = i + 1 < count ? input.indexOf(separator, from) : -1;
        out << (from > input.size() ? QByteArray() : input.mid(from, end < 0 ? -1 : end - from));
        from = end < 0 ? input.size() + 1 : end + 1;
    }
    return out;
}

// A folder for the run's files, made once per process and removed at its
// end; in memory where the system has such a folder, so that the readers'
// atomic writes do not wait for a disk.
class FuzzFolder {
public:
    // `bytes` as the file at `path` (absolute, or inside the folder), its
    // folders made and what stood there replaced; its disk path.
    QString write(const QString& path, const QByteArray& bytes) const {
        const QString file = QDir(dir_.path()).filePath(path);
        QDir().mkpath(file.section('/', 0, -2));
        QFile out(file);
        require(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size(),
                "the input can be laid down as a file");
        return file;
    }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_{QDir("/dev/shm").exists() ? "/dev/shm/rowkeeper-fuzz-XXXXXX"
                                                 : QDir::tempPath() + "/rowkeeper-fuzz-XXXXXX"};
};

// Every string value of `value`, at any depth.
inline QSet<QString> strings(const rk::PlistValue& value, QSet<QString>&& out = {}) {
    if (const QString* text = value.string())
        out.insert(*text);
    if (const auto* items = value.array())
        for (const rk::PlistValue& item : *items)
            out = strings(item, std::move(out));
    if (const auto* entries = value.dictionary())
        for (const rk::PlistEntry& entry : *entries)
            out = strings(entry.value, std::move(out));
    return out;
}

// Whether Plist::toBinary and Plist::toXml write `value` so that it reads
// back with the same texts: they end a text at a NUL, write other control
// characters bare (XML holds none, and reads a carriage return as a line
// feed), keep the last of a repeated key (the readers keep the first), and
// hold a date to 32-bit seconds.
inline bool writersKeepTexts(const rk::PlistValue& value) {
    const auto writable = [](const QString& text) {
        return std::none_of(text.begin(), text.end(),
                            [](QChar c) { return c < ' ' && c != '\t' && c != '\n'; });
    };
    if (const auto date = value.date())
        return std::fabs(date->secondsSince2001) < 2.0e9;
    bool keeps = !value.string() || writable(*value.string());
    if (const auto* items = value.array())
        for (const rk::PlistValue& item : *items)
            keeps = keeps && writersKeepTexts(item);
    QSet<QString> keys;
    if (const auto* entries = value.dictionary())
        for (const rk::PlistEntry& entry : *entries) {
            keeps =
                keeps && writable(entry.key) && !keys.contains(entry.key) && writersKeepTexts(entry.value);
            keys.insert(entry.key);
        }
    return keeps;
}

// The containers on the deepest path of `value`, and the values below it
// counted as the cap counts them: each element, key and value of a container.
inline std::pair<int, quint64> shape(const rk::PlistValue& value) {
    int depth = 0;
    quint64 values = 0;
    const auto add = [&](const rk::PlistValue& child, quint64 count) {
        const auto [d, n] = shape(child);
        depth = std::max(depth, d);
        values += count + n;
    };
    if (const auto* items = value.array())
        for (const rk::PlistValue& item : *items)
            add(item, 1);
    if (const auto* entries = value.dictionary())
        for (const rk::PlistEntry& entry : *entries)
            add(entry.value, 2);
    return {depth + (value.array() || value.dictionary() ? 1 : 0), values};
}

// `list` written again in both forms, for a reader to read as it read the
// list; none when the writers would not keep its texts.
inline QList<QByteArray> writtenAgain(const rk::PlistValue& list) {
    if (!writersKeepTexts(list))
        return {};
    return {rk::Plist::toBinary(list), rk::Plist::toXml(list)};
}

}  // namespace fuzzing
