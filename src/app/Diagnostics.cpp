#include "app/Diagnostics.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <cstdio>

#include "app/model/AppInfo.h"
#include "app/model/Stats.h"
#include "platform/FileProbe.h"
#include "platform/FileViewer.h"
#include "platform/Seam.h"
#include "platform/ToolOutput.h"

namespace rk {

namespace {

// A model name longer than this is not a model name.
constexpr qint64 kMaxModelBytes = 256;

QJsonObject usageObject(const QMap<QString, qint64>& usage) {
    QJsonObject object;
    for (auto it = usage.constBegin(); it != usage.constEnd(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

int countVerdict(const Decision& decision, Finding::Verdict verdict) {
    int n = 0;
    for (const Finding& finding : decision.findings) {
        if (finding.verdict == verdict)
            ++n;
    }
    return n;
}

}  // namespace

DiagnosticsHost& DiagnosticsHost::current() {
    return Seam<DiagnosticsHost>::current<HostDiagnostics>();
}

void DiagnosticsHost::setCurrent(DiagnosticsHost* host) {
    Seam<DiagnosticsHost>::setCurrent(host);
}

QString HostDiagnostics::osVersion() const {
    return QSysInfo::prettyProductName() + QStringLiteral(" (") + QSysInfo::kernelType() + QLatin1Char(' ') +
           QSysInfo::kernelVersion() + QLatin1Char(')');
}

QString HostDiagnostics::hardwareModel() const {
    const SystemPaths& paths = paths_ ? *paths_ : SystemPaths::current();
    QFile file(paths.disk(paths.productNameFile()));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    const QString model = QString::fromUtf8(file.read(kMaxModelBytes)).simplified();
    return model.isEmpty() ? QStringLiteral("unknown") : model;
}

int HostDiagnostics::cores() const {
    const long n = sysconf(_SC_NPROCESSORS_CONF);
    return n > 0 ? int(n) : QThread::idealThreadCount();
}

quint64 HostDiagnostics::memoryBytes() const {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return quint64(pages) * quint64(pageSize);
}

bool HostDiagnostics::reveal(const QString& diskPath) {
    return FileViewer::current().reveal(diskPath);
}

DiagnosticsInputs DiagnosticsInputs::of(const AppModel& model, UsageCounters& counters,
                                        const SystemPaths& paths) {
    DiagnosticsInputs inputs;
    inputs.grants = model.grants();
    inputs.tcc = model.tcc();
    inputs.btm = model.btm();
    inputs.launchJobs = int(model.jobs().size());
    for (const LaunchJob& job : model.jobs()) {
        if (!job.programExists(paths))
            ++inputs.launchJobsGone;
    }
    inputs.decision = model.decision();
    inputs.phase = model.phase();
    inputs.step = model.step();
    inputs.aiConsent = model.aiConsent();
    inputs.usage = counters.snapshot();
    return inputs;
}

QString Diagnostics::phaseName(Phase phase) {
    switch (phase) {
        case Phase::idle:
            return QStringLiteral("idle");
        case Phase::working:
            return QStringLiteral("working");
        case Phase::selected:
            return QStringLiteral("selected");
        case Phase::circled:
            return QStringLiteral("circled");
        case Phase::scroll:
            return QStringLiteral("scroll");
        case Phase::wrongPage:
            return QStringLiteral("wrongPage");
        case Phase::noAccessibility:
            return QStringLiteral("noAccessibility");
        case Phase::nothingLeft:
            return QStringLiteral("nothingLeft");
        case Phase::notOpen:
            return QStringLiteral("notOpen");
    }
    return QStringLiteral("idle");
}

qint64 Diagnostics::wholeGiB(quint64 bytes) {
    return qint64(bytes >> 30);
}

QJsonObject Diagnostics::bundle(const DiagnosticsInputs& in, const DiagnosticsHost& host) {
    QJsonObject grants{
        {QStringLiteral("full_disk"), in.grants.fullDisk},
        {QStringLiteral("accessibility"), in.grants.accessibility},
        {QStringLiteral("screen"), in.grants.screen},
    };
    const qint64 btmVersion = in.btm && in.btm->ok() ? in.btm->value().version : 0;
    QJsonObject stores{
        {QStringLiteral("tcc"), storeWord(in.tcc)},
        {QStringLiteral("btm"), storeWord(in.btm)},
        {QStringLiteral("btm_version"), btmVersion},
    };
    QJsonObject counts{
        {QStringLiteral("launch_jobs"), in.launchJobs},
        {QStringLiteral("launch_jobs_gone"), in.launchJobsGone},
        {QStringLiteral("findings_remove"), countVerdict(in.decision, Finding::Verdict::remove)},
        {QStringLiteral("findings_look"), countVerdict(in.decision, Finding::Verdict::look)},
    };
    return QJsonObject{
        {QStringLiteral("schema"), schema},
        {QStringLiteral("app_version"), AppInfo::version()},
        {QStringLiteral("app_build"), AppInfo::build()},
        {QStringLiteral("macos"), host.osVersion()},
        {QStringLiteral("hw_model"), host.hardwareModel()},
        {QStringLiteral("cores"), host.cores()},
        {QStringLiteral("memory_gb"), wholeGiB(host.memoryBytes())},
        {QStringLiteral("grants"), grants},
        {QStringLiteral("stores"), stores},
        {QStringLiteral("counts"), counts},
        {QStringLiteral("phase"), phaseName(in.phase)},
        {QStringLiteral("step"), in.step.rawValue()},
        {QStringLiteral("ai_consent"), in.aiConsent},
        {QStringLiteral("usage"), usageObject(in.usage)},
    };
}

QJsonObject Diagnostics::bundle() {
    return bundle(DiagnosticsInputs::of(AppModel::shared(), Stats::current()), DiagnosticsHost::current());
}

QString Diagnostics::fileName(const QDateTime& localTime, int copy) {
    const QString number = copy > 1 ? QStringLiteral(" ") + QString::number(copy) : QString();
    return QStringLiteral("Rowkeeper Diagnostics ") + localTime.toString(QStringLiteral("yyyy-MM-dd HHmm")) +
           number + QStringLiteral(".json");
}

// QJsonObject keeps its keys sorted, so the document lists them in order at
// every level.
QByteArray Diagnostics::json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QString Diagnostics::savedLine(const QString& path) {
    return QStringLiteral("Saved to ") + path +
           QStringLiteral(". Its folder could not be shown on this computer.");
}

QString Diagnostics::notSavedLine(const QString& folder, const QString& reason) {
    // The system's words begin with a capital ("Permission denied").
    QString why = reason;
    if (!why.isEmpty())
        why[0] = why[0].toLower();
    return QStringLiteral("The diagnostics file could not be saved in ") + folder + QStringLiteral(": ") +
           why + QLatin1Char('.');
}

QString Diagnostics::line(const Result<Saved, QString>& saved) {
    if (!saved)
        return saved.error();
    return saved.value().shown ? QString() : savedLine(saved.value().path);
}

Result<Diagnostics::Saved, QString> Diagnostics::saveAndReveal(const QJsonObject& object,
                                                               const QDateTime& localTime,
                                                               const SystemPaths& paths,
                                                               DiagnosticsHost& host,
                                                               UsageCounters& counters) {
    const QString folder = paths.disk(paths.desktop());
    const QByteArray bytes = json(object);
    // A Linux home need not have a Desktop folder yet; the file still goes there.
    QString path;
    QString refused = QStringLiteral("every name for this minute is taken");
    for (int copy = 1; copy <= maxCopies; ++copy) {
        path = QDir(folder).filePath(fileName(localTime, copy));
        const auto written = writeNewFile(path, bytes);
        if (written)
            break;
        path.clear();
        if (written.error() != EEXIST) {
            refused = errnoText(written.error());
            break;
        }
    }
    if (path.isEmpty()) {
        const QString line = notSavedLine(folder, refused);
        printLine(stderr, QStringLiteral("Save Diagnostics: ") + line);
        return fail(line);
    }
    const bool shown = host.reveal(path);
    counters.record(QStringLiteral("diagnostics.save"));
    return Saved{path, shown};
}

Result<Diagnostics::Saved, QString> Diagnostics::saveAndReveal() {
    return saveAndReveal(bundle(), QDateTime::currentDateTime(), SystemPaths::current(),
                         DiagnosticsHost::current(), Stats::current());
}

}  // namespace rk
