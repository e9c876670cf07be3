#include "support/HttpExchange.h"

#include <QList>

namespace rk::test {

std::optional<HttpRequest> parseHttpRequest(const QByteArray& buffer) {
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    HttpRequest request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() - (end + 4) < length)
        return std::nullopt;
    request.body = buffer.mid(end + 4, length);
    return request;
}

QByteArray httpAnswer(int status, const QByteArray& contentType, const QByteArray& body,
                      const QByteArray& extraHeaders) {
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + " Answer\r\n";
    answer += "Content-Type: " + contentType + "\r\nConnection: close\r\n";
    answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    answer += extraHeaders;
    answer += "\r\n" + body;
    return answer;
}

}  // namespace rk::test
