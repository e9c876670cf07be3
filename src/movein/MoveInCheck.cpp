#include "movein/MoveInCheck.h"

#include <QMap>
#include <algorithm>

#include "platform/Text.h"

namespace rk {

namespace {

constexpr int kWordWidth = 12;
constexpr int kTextLength = 90;

// The first `count` characters, never splitting a character that takes two
// UTF-16 units.
QString firstCharacters(const QString& text, int count) {
    int units = 0;
    for (int taken = 0; taken < count && units < text.size(); ++taken) {
        units += (text.at(units).isHighSurrogate() && units + 1 < text.size()) ? 2 : 1;
    }
    return text.left(units);
}

// Runs both tools once, up front, so that every row reads the same answers.
void fillCommandCache(const SystemPaths& paths) {
    for (const char* name : {"codex-login", "codesign"}) {
        const auto tool = MoveIn::program(name, paths);
        if (!tool)
            continue;
        const Clock::Time taken = Clock::current().now();
        MoveIn::commandCache().store(name, {taken, MoveIn::run(*tool)});
    }
}

// Why a list gave no rows: it is missing, broken, or a list of none.
QString noRowsLine(const Result<MoveInList, MoveIn::ListProblem>& read, const QString& path) {
    if (read)
        return "no rows in " + path;
    if (read.error().missing)
        return "no list at " + path;
    return path + " is not a checklist: " + read.error().reason;
}

}  // namespace

QString MoveInCheck::word(const MoveIn::State& state) {
    switch (state.kind) {
        case MoveIn::State::Kind::green:
            return "GREEN";
        case MoveIn::State::Kind::opened:
            return "OPENED";
        case MoveIn::State::Kind::needs:
            return "FIX";
        case MoveIn::State::Kind::cannotCheck:
            return "CANNOT CHECK";
    }
    return "FIX";
}

QString MoveInCheck::statusText(const KTReconnectStatus& status) {
    switch (status.kind()) {
        case KTReconnectStatus::Kind::connected:
            return status.text().value_or(QString());
        case KTReconnectStatus::Kind::needsAction:
            return status.text().value_or("needs a reconnect");
        case KTReconnectStatus::Kind::checking:
            return QString();
    }
    return QString();
}

QString MoveInCheck::line(const QString& word, const QString& kind, const QString& title, const QString& text,
                          const QString& button) {
    return word.leftJustified(kWordWidth, ' ') + " [" + kind + "] " + title + ": " +
           firstCharacters(text, kTextLength) + "  ->  " + button;
}

int MoveInCheck::run(const std::optional<QString>& file) {
    QTextStream out(stdout);
    return run(file.value_or(MoveIn::listURL()), out);
}

int MoveInCheck::run(const QString& path, QTextStream& out, const SystemPaths& paths,
                     const QString& marksPath) {
    const auto read = MoveIn::readList(path);
    if (!read || read->specs.isEmpty()) {
        out << "NOT MEASURED: " << noRowsLine(read, path) << '\n';
        out.flush();
        return noRowsStatus;
    }
    const MoveInList& list = read.value();
    fillCommandCache(paths);

    QMap<QString, int> tally;
    for (const MoveInSpec& spec : list.specs) {
        const MoveIn::Env env = MoveIn::liveEnv(spec, list.since, paths, marksPath);
        const QString judged = word(MoveIn::state(spec, env));
        tally[judged] += 1;
        const QString text = statusText(MoveIn::evaluate(spec, env));
        out << line(judged, spec.kind(), spec.title, text, MoveIn::label(spec, env)) << '\n';
        out.flush();
    }

    QStringList words = tally.keys();
    std::sort(words.begin(), words.end(), Text::less);
    QStringList counts;
    for (const QString& w : words)
        counts << w + " " + QString::number(tally.value(w));
    const QString since = list.since ? MoveIn::timeLine(*list.since) : QString("not given");
    out << "rows: " << list.specs.size() << ", since: " << since << ", " << counts.join(", ") << '\n';
    out.flush();
    return rowsStatus;
}

}  // namespace rk
