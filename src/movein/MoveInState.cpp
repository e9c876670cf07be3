// Judging a checklist row from its evidence. The kinds and their fields are
// described in MoveInList.h.

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

#include "movein/MoveIn.h"

namespace rk {

namespace {

using State = MoveIn::State;

const QString kVerified = QStringLiteral("verified");
constexpr qint64 kAllowed = 2;  // the privacy database's auth_value for "allowed"

bool isVerified(const MoveInSpec& spec) {
    return spec.check && spec.check->tier == kVerified;
}

// Kinds whose evidence only shows that the person did something, so the
// person's own Confirm is what makes them green (unless the row says its
// evidence is proof enough).
bool personConfirms(const MoveInSpec& spec) {
    const QString kind = spec.kind();
    if (kind == "none")
        return true;
    if (kind == "file-newer-than" || kind == "process-and-file-newer")
        return !isVerified(spec);
    return false;
}

QStringList checkPaths(const MoveInSpec::Check& check) {
    QStringList paths = check.paths.value_or(QStringList());
    if (check.path && !check.path->isEmpty() && !paths.contains(*check.path))
        paths << *check.path;
    paths.removeAll(QString());
    return paths;
}

State tccState(const MoveInSpec::Check& check, const MoveIn::Env& env) {
    const QStringList clients = check.clients.value_or(QStringList());
    const QString service = check.service.value_or(QString());
    if (clients.isEmpty() || service.isEmpty())
        return State::cannotCheck("This row names no app or no privacy setting to look for.");
    if (!env.tcc)
        return State::cannotCheck("I have not read the privacy database yet.");
    if (!env.tcc->ok())
        return State::cannotCheck(QString("I cannot read the privacy database (%1), so I cannot check this.")
                                      .arg(env.tcc->error().description()));
    QSet<QString> accepted{service};
    for (const QString& other : check.alsoAccept.value_or(QStringList()))
        accepted.insert(other);
    QSet<QString> allowed;
    for (const TCCRow& row : env.tcc->value()) {
        if (row.authValue == kAllowed && accepted.contains(row.service))
            allowed.insert(row.client);
    }
    QStringList missing;
    for (const QString& client : clients) {
        if (!allowed.contains(client))
            missing << client;
    }
    if (missing.isEmpty())
        return State::green("Allowed in Privacy & Security");
    return State::needs("Not allowed yet: " + missing.join(", "));
}

State newerState(const MoveInSpec& spec, const MoveIn::Env& env, bool withProcess) {
    const MoveInSpec::Check& check = *spec.check;
    const QStringList paths = checkPaths(check);
    if (paths.isEmpty())
        return State::cannotCheck("This row names no file to look at.");
    const QString process = check.process.value_or(QString());
    if (withProcess && process.isEmpty())
        return State::cannotCheck("This row names no program to look for.");
    if (!env.since)
        return State::cannotCheck(
            "The list does not say when the move happened, so I cannot tell "
            "new files from migrated ones.");
    if (withProcess && !env.running(process))
        return State::needs(process + " is not running.");

    std::optional<QDateTime> latest;
    for (const QString& path : paths) {
        const auto date = env.newest(path);
        if (date && date->isValid() && (!latest || *date > *latest))
            latest = date;
    }
    if (latest && *latest > *env.since) {
        if (isVerified(spec))
            return State::green(withProcess ? "Running and in use since the move" : "In use since the move");
        return State::opened(*latest);
    }
    if (withProcess)
        return State::needs(process + " is running, but nothing of it has changed since the move.");
    return State::needs();
}

// "codex login status" prints "Logged in using ChatGPT" (or "... an API
// key") when signed in and "Not logged in" otherwise. Only a line that begins
// with "Logged in", case and all, counts: "Not logged in" contains "logged in".
State codexState(const MoveIn::Env& env) {
    const auto output = env.command("codex-login");
    if (!output)
        return State::cannotCheck("Codex is not installed on this Mac");
    for (const QString& raw : output->split('\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith("Logged in"))
            return State::green(line);
    }
    return State::needs();
}

// "security find-identity -v -p codesigning" lists each valid identity as
//   1) 0123ABCD... "Developer ID Application: Name (TEAMID)"
// and closes with "N valid identities found". Only the listed names are
// searched, so the closing line never matches.
State codesignState(const MoveInSpec::Check& check, const MoveIn::Env& env) {
    const auto output = env.command("codesign");
    if (!output)
        return State::cannotCheck("I could not list the code-signing identities in your keychain.");
    static const QRegularExpression identityLine(R"re(^\s*\d+\)\s+\S+\s+"(.*)"\s*$)re");
    const QString wanted = check.contains.value_or(QString());
    for (const QString& line : output->split('\n')) {
        const QRegularExpressionMatch match = identityLine.match(line);
        if (!match.hasMatch())
            continue;
        const QString name = match.captured(1);
        if (name.contains(wanted))
            return State::green(name);
    }
    return State::needs();
}

State installedState(const MoveInSpec::Check& check, const MoveIn::Env& env) {
    const QString bundle = check.bundle.value_or(QString());
    if (bundle.isEmpty())
        return State::cannotCheck("This row names no app to look for.");
    return env.installed(bundle) ? State::green("Installed on this Mac") : State::needs();
}

State existsState(const MoveInSpec::Check& check, const MoveIn::Env& env) {
    const QStringList paths = checkPaths(check);
    if (paths.isEmpty())
        return State::cannotCheck("This row names no file to look at.");
    for (const QString& path : paths) {
        if (env.exists(path))
            return State::green("Found at " + path);
    }
    return State::needs();
}

// What the Mac shows, before the person's marks are taken into account.
State evidence(const MoveInSpec& spec, const MoveIn::Env& env) {
    const QString kind = spec.kind();
    if (kind == "none")
        return State::needs();
    const MoveInSpec::Check& check = *spec.check;
    if (kind == "tcc-granted")
        return tccState(check, env);
    if (kind == "file-newer-than")
        return newerState(spec, env, false);
    if (kind == "process-and-file-newer")
        return newerState(spec, env, true);
    if (kind == "codex-login")
        return codexState(env);
    if (kind == "codesign-identity")
        return codesignState(check, env);
    if (kind == "app-installed")
        return installedState(check, env);
    if (kind == "file-exists")
        return existsState(check, env);
    if (kind.isEmpty())
        return State::cannotCheck("This row's check has no kind, so I cannot check it.");
    return State::cannotCheck(
        QString("I do not know how to check \"%1\", so please check it yourself.").arg(kind));
}

bool hasAction(const MoveInSpec& spec) {
    return spec.action && !spec.action->isEmpty();
}

}  // namespace

MoveIn::State MoveIn::state(const MoveInSpec& spec, const Env& env) {
    const State seen = evidence(spec, env);
    if (seen.isGreen())
        return seen;
    // A row that can be checked is never turned green by a mark alone: not a
    // missing sign-in, not a privacy database that cannot be read.
    if (personConfirms(spec) && env.marks.done.contains(spec.id))
        return State::green("You confirmed this");
    return seen;
}

KTReconnectStatus MoveIn::evaluate(const MoveInSpec& spec, const Env& env) {
    const State judged = state(spec, env);
    switch (judged.kind) {
        case State::Kind::green:
            return KTReconnectStatus::connected(judged.text.value_or(QString()));
        case State::Kind::opened:
            return KTReconnectStatus::needsAction("Opened " + timeLine(*judged.date) +
                                                  ". Press Confirm once it works.");
        case State::Kind::cannotCheck:
            return KTReconnectStatus::needsAction(judged.text);
        case State::Kind::needs:
            break;
    }
    if (judged.text && !judged.text->isEmpty())
        return KTReconnectStatus::needsAction(judged.text);
    if (spec.how && !spec.how->isEmpty())
        return KTReconnectStatus::needsAction(spec.how);
    return KTReconnectStatus::needsAction();
}

QString MoveIn::label(const MoveInSpec& spec, const Env& env) {
    const State judged = state(spec, env);
    if (judged.isGreen())
        return "Done";
    if (judged.kind == State::Kind::opened)
        return "Confirm";
    if (personConfirms(spec) && (env.marks.opened.contains(spec.id) || !hasAction(spec)))
        return "Confirm";
    if (hasAction(spec))
        return spec.actionLabel && !spec.actionLabel->isEmpty() ? *spec.actionLabel : "Open";
    return "Check again";
}

QString MoveIn::timeLine(const QDateTime& when, const QDateTime& now) {
    const QDateTime local = when.toLocalTime();
    const QString time = local.time().toString("HH:mm");
    if (local.date() == now.toLocalTime().date())
        return "today at " + time;
    return QLocale(QLocale::English).toString(local.date(), "MMM d") + " at " + time;
}

}  // namespace rk
