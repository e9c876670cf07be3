#include "finder/FileUrl.h"

#include <QStringDecoder>
#include <QUrl>
#include <cstring>

namespace rk {

namespace {

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
    auto plain = [](char16_t c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               (c < 0x80 && c != 0 && std::strchr("-._~!$&'()*+,;=:@/", char(c)));
    };
    const QStringView rest = QStringView(url).sliced(start);
    qsizetype escapes = 0;
    for (const QChar c : rest) {
        if (c == u'%')
            ++escapes;
        else if (!plain(c.unicode()))
            return std::nullopt;
    }
    if (escapes == 0)
        return rest.toString();  // most paths: the url's own characters
    QByteArray bytes;
    bytes.reserve(rest.size());
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] != u'%') {
            bytes.append(char(rest[i].unicode()));
            continue;
        }
        const int high = i + 2 < rest.size() ? hex(rest[i + 1].unicode()) : -1;
        const int low = i + 2 < rest.size() ? hex(rest[i + 2].unicode()) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(char(high * 16 + low));
        i += 2;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString path = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return path;
}

}  // namespace

std::optional<QString> FileUrl::path(const QString& url) {
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

}  // namespace rk
