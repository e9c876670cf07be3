#include "app/model/Step.h"

#include <QHash>

#include "finder/FullDiskAccess.h"

namespace rk {

QString Step::rawValue() const {
    switch (value_) {
        case start:
            return QStringLiteral("start");
        case accessibility:
            return QStringLiteral("accessibility");
        case loginItems:
            return QStringLiteral("loginItems");
        case moveIn:
            return QStringLiteral("moveIn");
        case done:
            break;
    }
    return QStringLiteral("done");
}

QString Step::title() const {
    switch (value_) {
        case start:
            return QStringLiteral("Start");
        case accessibility:
            return QStringLiteral("Accessibility");
        case loginItems:
            return QStringLiteral("Login Items");
        case moveIn:
            return QStringLiteral("Move-In");
        case done:
            break;
    }
    return QStringLiteral("Done");
}

std::optional<Pane> Step::pane() const {
    if (value_ == accessibility)
        return Pane::accessibility;
    if (value_ == loginItems)
        return Pane::loginItems;
    return std::nullopt;
}

const std::array<Step, 5>& Step::allCases() {
    static const std::array<Step, 5> steps{start, accessibility, loginItems, moveIn, done};
    return steps;
}

std::optional<Step> Step::fromRawValue(const QString& raw) {
    for (Step step : allCases()) {
        if (step.rawValue() == raw)
            return step;
    }
    return std::nullopt;
}

namespace {

// The page words of links; `done` has none on purpose (a link must not
// finish the walk-through for the person).
const QHash<QString, Step>& linkWords() {
    static const QHash<QString, Step> words{
        {"accessibility", Step::accessibility},
        {"login-items", Step::loginItems},
        {"loginitems", Step::loginItems},
        {"move-in", Step::moveIn},
        {"movein", Step::moveIn},
        {"start", Step::start},
        {"", Step::start},
    };
    return words;
}

QString trimSlashes(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == '/')
        ++first;
    while (last > first && text[last - 1] == '/')
        --last;
    return text.mid(first, last - first);
}

}  // namespace

std::optional<Step> Step::forLink(const QUrl& link) {
    // An invalid link (such as one with a space in its host) has an empty
    // host and path, which would otherwise read as the bare link to Start.
    if (!link.isValid())
        return std::nullopt;
    if (link.scheme().isEmpty() || link.scheme().toLower() != "rowkeeper")
        return std::nullopt;
    const QString host = link.host(QUrl::FullyDecoded);
    const QString word = trimSlashes((host.isEmpty() ? link.path(QUrl::FullyDecoded) : host).toLower());
    const auto found = linkWords().constFind(word);
    if (found == linkWords().constEnd())
        return std::nullopt;
    return *found;
}

Grants Grants::probe(const SystemPaths& paths, const FileProbe& files, Accessibility& accessibility,
                     ScreenCapture& capture) {
    Grants grants;
    grants.fullDisk = FullDiskAccess::granted(paths, files);
    grants.accessibility = accessibility.isProcessTrusted();
    grants.screen = capture.preflight();
    return grants;
}

}  // namespace rk
