#pragma once
// The little HTTP/1.1 the loopback servers of the tests speak: reading one
// request from what a connection has sent so far, and writing one answer
// that closes the connection.

#include <QByteArray>
#include <QMap>
#include <optional>

namespace rk::test {

struct HttpRequest {
    QByteArray method;
    QByteArray path;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
};

// The request in `buffer` once it is complete (headers and the body that
// Content-Length announces); none while more is to come.
std::optional<HttpRequest> parseHttpRequest(const QByteArray& buffer);

// A whole answer: status line, Content-Type, Content-Length, "Connection:
// close", `extraHeaders` (each line ending in "\r\n"), then the body.
QByteArray httpAnswer(int status, const QByteArray& contentType, const QByteArray& body,
                      const QByteArray& extraHeaders = QByteArray());

// Requests larger than this are cut off.
inline constexpr qsizetype kHttpRequestCap = 1024 * 1024;

}  // namespace rk::test
