#pragma once
// Links of the app's own "rowkeeper" scheme: which page a list of links asks
// for and which usage event it counts. The application delegate acts on the
// answer; links reach it from the system (a file-open event), from the
// command line at launch, or forwarded by a second launch.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

#include "app/model/Step.h"

namespace rk {

struct LinkRoute {
    enum class Kind {
        none,     // no link of the app's scheme: nothing happens, not even a raise
        unknown,  // the app's scheme, a word that names no page: counted, window raised
        page,     // the app's scheme naming a page: counted, page shown, window raised
    };
    Kind kind = Kind::none;
    std::optional<Step> step{};
    QString link{};  // the link acted on, as given

    // "link.unknown", or "link." and the page's raw value; empty for none.
    QString event() const;

    friend bool operator==(const LinkRoute&, const LinkRoute&) = default;
};

struct LinkRouter {
    static QString scheme() { return QStringLiteral("rowkeeper"); }
    // A text given as a link: a command-line argument, or one that a second
    // launch handed over. Read strictly; a text Qt cannot read whole (a space
    // in its host) still keeps its scheme, so one of the app's scheme stays
    // ours and names no page. Both copies read texts here, so a link means
    // the same whichever launch it was given to.
    static QUrl parse(const QString& text);
    static QList<QUrl> parse(const QStringList& texts);
    // The link's scheme, lower-cased, is the app's; a link without one is not.
    static bool isOurs(const QUrl& link);
    // The first link of the app's scheme, in the order given, decides.
    static LinkRoute route(const QList<QUrl>& links);
};

}  // namespace rk
