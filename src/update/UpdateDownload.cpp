#include "update/UpdateDownload.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/AppBundle.h"
#include "platform/BundleInfo.h"
#include "platform/SystemPaths.h"
#include "update/KTUpdate.h"
#include "update/UpdateLog.h"
#include "update/UpdateStaging.h"

namespace rk::KTUpdate {

namespace {

constexpr std::chrono::milliseconds kDownloadTimeout = std::chrono::seconds(300);

QString tool(MacTool which) {
    return SystemPaths::current().tool(which);
}

Result<Unit, QString> writeArchive(const QString& path, const QByteArray& body) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit())
        return fail(QStringLiteral("could not write ") + path + QStringLiteral(": ") + file.errorString());
    return Unit{};
}

// The first real folder named "*.app", in the order the file system lists them.
std::optional<QString> firstBundle(const QString& folder) {
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().endsWith(QStringLiteral(".app")) && entry.isDir() && !entry.isSymLink())
            return entry.absoluteFilePath();
    }
    return std::nullopt;
}

// One whole line of the signature details, not merely text that contains it:
// the details also print the bundle's path, which can spell anything.
bool signedByTeam(const QString& details, const QString& team) {
    const QString wanted = QStringLiteral("TeamIdentifier=") + team;
    for (QString line : details.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line == wanted)
            return true;
    }
    return false;
}

Result<Unit, QString> verify(const QString& app) {
    if (!run(tool(MacTool::codesign), {"--verify", "--deep", "--strict", app}).ok())
        return fail(QStringLiteral("code signature invalid"));
    if (!signedByTeam(run(tool(MacTool::codesign), {"-dv", "--verbose=2", app}).out, teamID))
        return fail(QStringLiteral("wrong signer (TeamIdentifier != ") + teamID + ')');
    if (!run(tool(MacTool::spctl), {"-a", app}).ok())
        return fail(QStringLiteral("Gatekeeper rejected the update (unnotarized or non-Developer-ID build)"));
    const auto staged = BundleInfo::read(app).identifier();
    const auto own = AppBundle::current().bundleIdentifier();
    if (!staged || !own || *staged != *own) {
        return fail(QStringLiteral("different app in the feed (") + staged.value_or(QStringLiteral("no id")) +
                    QStringLiteral(" is not ") + own.value_or(QStringLiteral("this app")) +
                    QStringLiteral("); keeping this one"));
    }
    return Unit{};
}

}  // namespace

Result<QString, QString> downloadAndVerify(const Appcast& entry, std::chrono::milliseconds wait) {
    const auto staging = freshStagingFolder(appKey, entry.version, entry.build);
    if (!staging)
        return fail(staging.error());

    const auto body = syncFetch(freshRequest(entry.url, kDownloadTimeout), wait);
    if (!body)
        return fail(QStringLiteral("download failed"));
    trace(QStringLiteral("downloaded %1 bytes from %2").arg(body->size()).arg(entry.url.fileName()));

    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(*body, QCryptographicHash::Sha256).toHex());
    if (digest != entry.sha256) {
        return fail(QStringLiteral("sha256 mismatch (got ") + digest.left(12) +
                    QStringLiteral("\u2026, manifest ") + entry.sha256.left(12) + QStringLiteral("\u2026)"));
    }
    trace(QStringLiteral("sha256 matches the manifest"));

    const QString archive = *staging + QStringLiteral("/update.zip");
    if (const auto written = writeArchive(archive, *body); !written)
        return fail(written.error());
    if (!run(tool(MacTool::ditto), {"-x", "-k", archive, *staging}).ok())
        return fail(QStringLiteral("unzip failed"));
    trace(QStringLiteral("unzipped into ") + *staging);

    const auto app = firstBundle(*staging);
    if (!app)
        return fail(QStringLiteral("no .app in the archive"));
    if (const auto verified = verify(*app); !verified)
        return fail(verified.error());
    run(tool(MacTool::xattr), {"-dr", "com.apple.quarantine", *app});
    trace(QStringLiteral("verified (codesign strict, TeamIdentifier ") + teamID +
          QStringLiteral(", spctl) and staged at ") + *app);
    return *app;
}

ToolResult run(const QString& program, const QStringList& arguments) {
    return Machine::current().runMerged(program, arguments, kToolLimit);
}

}  // namespace rk::KTUpdate
