#include "explain/GatewayClient.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <cmath>

#include "explain/ExplainPrompt.h"
#include "explain/GatewayKey.h"
#include "explain/InstallId.h"
#include "explain/Redact.h"

namespace rk {

namespace {

bool isLoopback(const QUrl& url) {
    const QString host = url.host();
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString seconds(std::chrono::milliseconds duration) {
    return QString::number(double(duration.count()) / 1000.0, 'g', 3) + QStringLiteral(" s");
}

// The bare file name, should a caller hand over a whole path.
QString fileName(const QString& file) {
    return file.section('/', -1);
}

QJsonObject itemObject(const ExplainItem& item, qsizetype ref, const UserAccount& account) {
    QJsonObject object;
    object.insert(QStringLiteral("ref"), qint64(ref));
    object.insert(QStringLiteral("name"), Redact::user(item.name, account));
    if (item.id)
        object.insert(QStringLiteral("id"), Redact::user(*item.id, account));
    if (item.file)
        object.insert(QStringLiteral("file"), Redact::user(fileName(*item.file), account));
    // The vendor passes redaction too: for a program the person built and
    // signed themselves, the developer name is the person's own name.
    if (item.vendor)
        object.insert(QStringLiteral("vendor"), Redact::user(*item.vendor, account));
    return object;
}

QNetworkRequest makeRequest(const QUrl& url, const GatewayConfig& config) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("Accept", "application/json");
    request.setRawHeader("Authorization", "Bearer " + config.clientKey.toUtf8());
    const QString endUser = config.installId.isEmpty() ? InstallId::value() : config.installId;
    request.setRawHeader(GatewayClient::endUserHeader, endUser.toUtf8());
    if (!config.providerKey.isEmpty()) {
        request.setRawHeader(GatewayClient::providerKeyHeader, config.providerKey.toUtf8());
    }
    // A redirect could carry the client key to another host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    return request;
}

// Runs one POST to its end or its time-out on a local event loop. Gives the
// body of a 200 reply, or why there is none.
Result<QByteArray, QString> post(const QUrl& url, const QByteArray& body, const GatewayConfig& config) {
    QNetworkAccessManager manager;
    if (isLoopback(url))
        manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply* reply = manager.post(makeRequest(url, config), body);

    std::optional<QString> stopped;
    QEventLoop loop;
    QTimer connectTimer;
    QTimer totalTimer;
    connectTimer.setSingleShot(true);
    totalTimer.setSingleShot(true);
    const auto stop = [&](const QString& why) {
        if (!stopped)
            stopped = why;
        reply->abort();
    };
    const auto connected = [&] { connectTimer.stop(); };
    QObject::connect(reply, &QNetworkReply::requestSent, &loop, connected);
    QObject::connect(reply, &QNetworkReply::encrypted, &loop, connected);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, connected);
    QObject::connect(reply, &QNetworkReply::uploadProgress, &loop, [&](qint64 sent, qint64) {
        if (sent > 0)
            connected();
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
        connected();
        if (received > GatewayClient::replyCap)
            stop(QStringLiteral("the reply is too large"));
    });
    QObject::connect(&connectTimer, &QTimer::timeout, &loop,
                     [&] { stop(QStringLiteral("no connection within ") + seconds(config.connectTimeout)); });
    QObject::connect(&totalTimer, &QTimer::timeout, &loop,
                     [&] { stop(QStringLiteral("no answer within ") + seconds(config.requestTimeout)); });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connectTimer.start(config.connectTimeout);
    totalTimer.start(config.requestTimeout);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    connectTimer.stop();
    totalTimer.stop();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    const QByteArray data = reply->isOpen() ? reply->read(GatewayClient::replyCap + 1) : QByteArray();
    delete reply;

    if (stopped)
        return fail(*stopped);
    if (status != 0 && status != 200) {
        return fail(QStringLiteral("the gateway answered with HTTP status ") + QString::number(status));
    }
    if (error != QNetworkReply::NoError)
        return fail(QStringLiteral("could not reach the gateway: ") + errorText);
    if (data.size() > GatewayClient::replyCap)
        return fail(QStringLiteral("the reply is too large"));
    return data;
}

}  // namespace

GatewayConfig GatewayConfig::fromBuild() {
    GatewayConfig config;
    config.baseAddress = GatewayKey::baseAddress();
    config.clientKey = GatewayKey::value();
    config.providerKey = GatewayKey::providerKey();
    return config;
}

Result<QUrl, QString> GatewayClient::endpoint(const QString& base) {
    QString text = base.trimmed();
    if (text.isEmpty())
        return fail(QStringLiteral("no gateway address is configured"));
    if (!text.endsWith('/'))
        text += '/';
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return fail(QStringLiteral("the gateway address is not valid"));
    const QString scheme = url.scheme().toLower();
    if (scheme != QStringLiteral("https") && !(scheme == QStringLiteral("http") && isLoopback(url))) {
        return fail(QStringLiteral("the gateway address does not use https"));
    }
    return url.resolved(QUrl(QStringLiteral("v1/call")));
}

QByteArray GatewayClient::requestBody(const QList<ExplainItem>& items, const UserAccount& account) {
    QJsonArray list;
    for (qsizetype i = 0; i < items.size(); ++i)
        list.append(itemObject(items[i], i, account));
    QJsonObject root;
    root.insert(QStringLiteral("task"), QStringLiteral("explain-login-items"));
    root.insert(QStringLiteral("items"), list);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

Result<QMap<QString, QString>, QString> GatewayClient::parseReply(const QByteArray& body,
                                                                  const QList<ExplainItem>& items) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        return fail(QStringLiteral("the reply is not JSON (") + error.errorString() + ')');
    }
    if (!document.isObject() || !document.object().value(QStringLiteral("answers")).isArray()) {
        return fail(QStringLiteral("the reply has no list of answers"));
    }
    QMap<QString, QString> sentences;
    for (const QJsonValue& value : document.object().value(QStringLiteral("answers")).toArray()) {
        const QJsonObject answer = value.toObject();
        const double ref = answer.value(QStringLiteral("ref")).toDouble(-1);
        if (ref < 0 || ref >= double(items.size()) || std::floor(ref) != ref)
            continue;
        const QString& key = items[qsizetype(ref)].key;
        if (sentences.contains(key))
            continue;
        const QJsonValue what = answer.value(QStringLiteral("what"));
        if (!what.isString())
            continue;
        if (const auto sentence = ExplainPrompt::cleanSentence(what.toString()))
            sentences.insert(key, *sentence);
    }
    return sentences;
}

GatewayReply GatewayClient::explain(const QList<ExplainItem>& items, const GatewayConfig& config,
                                    QMap<QString, QString> fallback, const UserAccount& account) {
    const auto fallBack = [&](const QString& why) { return GatewayReply{std::move(fallback), why}; };
    if (items.isEmpty())
        return fallBack(QStringLiteral("nothing to explain"));
    if (config.clientKey.isEmpty())
        return fallBack(QStringLiteral("no gateway client key is configured"));
    const auto url = endpoint(config.baseAddress);
    if (!url)
        return fallBack(url.error());
    const auto body = post(*url, requestBody(items, account), config);
    if (!body)
        return fallBack(body.error());
    auto sentences = parseReply(*body, items);
    if (!sentences)
        return fallBack(sentences.error());
    if (sentences->isEmpty())
        return fallBack(QStringLiteral("the gateway gave no sentence"));
    return GatewayReply{std::move(sentences).value(), std::nullopt};
}

}  // namespace rk
