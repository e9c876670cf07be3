#include "finder/Sources.h"

#include <QHash>
#include <QSet>

#include "platform/Text.h"

namespace rk {

namespace {

const QString kAccessibilityService = QStringLiteral("kTCCServiceAccessibility");

// The last component that is not empty: "/Applications/Tool.app/" gives
// Tool.app, as the page names it.
QString lastPathComponent(const QString& path) {
    return path.section('/', -1, -1, QString::SectionSkipEmpty);
}

// com.vendor.Toolbox gives Toolbox; empty parts are left out, so a text made
// only of dots has no last part.
std::optional<QString> lastDottedPart(const QString& text) {
    const QStringList parts = text.split('.', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return std::nullopt;
    return parts.last();
}

Candidate appCandidate(const QString& client, const SystemPaths& paths, const AppRegistry& registry,
                       const Volumes& volumes, const AppNames& appNames) {
    Candidate c;
    c.key = client;
    c.liveness = Presence::ofBundle(client, paths, registry, volumes);
    if (c.liveness.kind() == Liveness::Kind::live) {
        if (const auto app = appNames.preferredApplicationPath(client)) {
            c.names.append(Sources::withoutAppSuffix(appNames.displayName(*app)));
        }
    }
    c.names.append(client);
    // A client without dots is its own last part, so it is listed twice.
    if (auto last = lastDottedPart(client))
        c.names.append(std::move(*last));
    c.testWhy = TestNames::why(client);
    c.kindWord = QStringLiteral("app");
    c.detail = QStringLiteral("The app ") + client + QStringLiteral(".");
    return c;
}

Candidate programCandidate(const QString& client, const SystemPaths& paths) {
    Candidate c;
    c.key = client;
    c.names = {lastPathComponent(client)};
    c.liveness = Presence::ofPath(client, paths);
    c.testWhy = TestNames::why(client);
    c.kindWord = QStringLiteral("program");
    c.detail = QStringLiteral("A program at ") + Presence::tilde(client, paths) + QStringLiteral(".");
    return c;
}

QString recordKey(const BTMRecord& r) {
    if (r.identifier)
        return *r.identifier;
    if (r.url)
        return *r.url;
    return r.name;
}

// A background job lives while its settings file and its program are there.
Liveness jobLiveness(const BTMRecord& r, const QHash<QString, const LaunchJob*>& jobsByPlist,
                     const SystemPaths& paths) {
    const Liveness settings = Presence::ofPath(*r.path, paths);
    if (settings.kind() == Liveness::Kind::gone) {
        return Liveness::gone(QStringLiteral("its settings file was deleted (") + settings.evidence() +
                              QStringLiteral(")"));
    }
    if (settings.kind() != Liveness::Kind::live)
        return settings;
    std::optional<QString> program;
    if (const LaunchJob* job = jobsByPlist.value(Text::nfc(*r.path)); job && job->program) {
        program = job->program;
    } else {
        program = r.executablePath;
    }
    // A program that is not an absolute path is looked up by launchd on its
    // search path; it cannot be judged here and counts as there.
    if (program && program->startsWith('/')) {
        const Liveness ran = Presence::ofPath(*program, paths);
        if (ran.kind() == Liveness::Kind::gone) {
            return Liveness::gone(QStringLiteral("its program is gone (") + ran.evidence() +
                                  QStringLiteral(")"));
        }
    }
    return settings;
}

std::optional<Candidate> loginItemCandidate(const BTMRecord& r,
                                            const QHash<QString, const LaunchJob*>& jobsByPlist,
                                            const SystemPaths& paths) {
    if (!r.path)
        return std::nullopt;
    Candidate c;
    if (r.isApp()) {
        c.liveness = Presence::ofPath(*r.path, paths);
        c.kindWord = QStringLiteral("app");
        c.detail = QStringLiteral("The app ") + r.name + QStringLiteral(".");
    } else if (r.isAgent() || r.isDaemon()) {
        c.liveness = jobLiveness(r, jobsByPlist, paths);
        c.kindWord = QStringLiteral("background job");
        c.detail = QStringLiteral("Background job ") + r.label().value_or(lastPathComponent(*r.path)) +
                   QStringLiteral(".");
    } else {
        return std::nullopt;
    }
    // Switched off and gone: nothing on the page to act on.
    if (c.liveness.isGone() && !r.enabled())
        return std::nullopt;
    c.names = {r.name};
    c.testWhy = TestNames::why(*r.path);
    c.key = recordKey(r);
    return c;
}

}  // namespace

QString Sources::withoutAppSuffix(const QString& displayName) {
    static const QString suffix = QStringLiteral(".app");
    return displayName.endsWith(suffix) ? displayName.chopped(suffix.size()) : displayName;
}

QList<Candidate> Sources::accessibility(const QList<TCCRow>& rows, const SystemPaths& paths,
                                        const AppRegistry& registry, const Volumes& volumes,
                                        const AppNames& appNames) {
    QList<Candidate> out;
    QSet<QString> seen;
    for (const TCCRow& row : rows) {
        if (row.service != kAccessibilityService)
            continue;
        // The first row of a client wins; the system database's rows come
        // first. Clients are the same when canonically equivalent, as keys
        // are everywhere else.
        const QString client = Text::nfc(row.client);
        if (seen.contains(client))
            continue;
        seen.insert(client);
        out.append(row.isPath() ? programCandidate(row.client, paths)
                                : appCandidate(row.client, paths, registry, volumes, appNames));
    }
    return out;
}

QList<Candidate> Sources::loginItems(const QList<BTMRecord>& records, const QList<LaunchJob>& jobs,
                                     const SystemPaths& paths) {
    // By composed path: the store and the file system may spell one name
    // in different canonical forms.
    QHash<QString, const LaunchJob*> jobsByPlist;
    for (const LaunchJob& job : jobs) {
        const QString plist = Text::nfc(job.plist);
        if (!jobsByPlist.contains(plist))
            jobsByPlist.insert(plist, &job);
    }
    QList<Candidate> out;
    // A record takes its key even when it is skipped by loginItemCandidate.
    for (const BTMRecord& r : firstOfEachKey(records)) {
        if (auto c = loginItemCandidate(r, jobsByPlist, paths))
            out.append(std::move(*c));
    }
    return out;
}

QList<BTMRecord> Sources::firstOfEachKey(const QList<BTMRecord>& records) {
    QList<BTMRecord> out;
    QSet<QString> taken;
    for (const BTMRecord& r : records) {
        const qsizetype before = taken.size();
        taken.insert(Text::nfc(recordKey(r)));
        if (taken.size() != before)
            out.append(r);
    }
    return out;
}

}  // namespace rk
