#include "app/model/LinkRouter.h"

namespace rk {

QString LinkRoute::event() const {
    switch (kind) {
        case Kind::none:
            return {};
        case Kind::unknown:
            return QStringLiteral("link.unknown");
        case Kind::page:
            return QStringLiteral("link.") + (step ? step->rawValue() : QString());
    }
    return {};
}

QUrl LinkRouter::parse(const QString& text) {
    return QUrl(text, QUrl::StrictMode);
}

QList<QUrl> LinkRouter::parse(const QStringList& texts) {
    QList<QUrl> links;
    links.reserve(texts.size());
    for (const QString& text : texts)
        links << parse(text);
    return links;
}

bool LinkRouter::isOurs(const QUrl& link) {
    const QString scheme = link.scheme();
    return !scheme.isEmpty() && scheme.toLower() == LinkRouter::scheme();
}

LinkRoute LinkRouter::route(const QList<QUrl>& links) {
    for (const QUrl& link : links) {
        if (!isOurs(link))
            continue;
        LinkRoute route;
        route.link = link.toString();
        route.step = Step::forLink(link);
        route.kind = route.step ? LinkRoute::Kind::page : LinkRoute::Kind::unknown;
        return route;
    }
    return {};
}

}  // namespace rk
