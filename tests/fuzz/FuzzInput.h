#pragma once
// The entry libFuzzer calls once per input, included by each harness: the
// harness's `fuzz` borrows the bytes, so AddressSanitizer sees a read past their end.
// Also what the harnesses share to check the answers they get: `require`
// stops the run on a wrong answer, naming what was wrong, and `FuzzFolder`
// holds the files a reader that takes a path reads.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSet>
#include <QTemporaryDir>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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
    // `bytes` as the file at `relative` (its folders are made), replacing
    // what stood there; its disk path, or an empty text when it could not be written.
    QString write(const QString& relative, const QByteArray& bytes) const {
        const QString path = dir_.filePath(relative);
        QDir().mkpath(path.section('/', 0, -2));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_{QDir("/dev/shm").exists() ? "/dev/shm/rowkeeper-fuzz-XXXXXX"
                                                 : QDir::tempPath() + "/rowkeeper-fuzz-XXXXXX"};
};

// Whether Plist::toBinary and Plist::toXml write `value` so that it reads
// back with the same texts: they end a text at a NUL, keep the last of a
// repeated key (the readers keep the first), and hold a date to 32-bit seconds.
inline bool writersKeepTexts(const rk::PlistValue& value) {
    if (const QString* text = value.string())
        return !text->contains(QChar(0));
    if (const auto date = value.date())
        return std::fabs(date->secondsSince2001) < 2.0e9;
    if (const auto* items = value.array()) {
        for (const rk::PlistValue& item : *items)
            if (!writersKeepTexts(item))
                return false;
    }
    if (const auto* entries = value.dictionary()) {
        QSet<QString> keys;
        for (const rk::PlistEntry& entry : *entries) {
            if (keys.contains(entry.key) || !writersKeepTexts(entry.value))
                return false;
            keys.insert(entry.key);
        }
    }
    return true;
}

}  // namespace fuzzing
