#include "update/UpdateDownload.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

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

QString notWritten(const QSaveFile& file) {
    return QStringLiteral("could not write ") + file.fileName() + QStringLiteral(": ") + file.errorString();
}

// The most the entry's archive may hold: what the feed states, when it
// states a length, and never more than `kArchiveLimit`.
qint64 archiveLimit(const Appcast& entry) {
    return std::min(entry.length.value_or(kArchiveLimit), kArchiveLimit);
}

QString notFetched(FetchFailure failure, qint64 limit, const QSaveFile& file) {
    switch (failure) {
        case FetchFailure::failed:
            break;
        case FetchFailure::tooLarge:
            if (limit < kArchiveLimit)
                return QStringLiteral("download failed: larger than the %1 bytes the feed states").arg(limit);
            return QStringLiteral("download failed: larger than 1 GiB");
        case FetchFailure::notTaken:
            return notWritten(file);
    }
    return QStringLiteral("download failed");
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

    // The archive goes to a file beside "update.zip" as it arrives, hashed on
    // the way, and takes that name only once its digest matches; a download
    // that fails leaves nothing behind.
    const QString archive = *staging + QStringLiteral("/update.zip");
    QSaveFile file(archive);
    if (!file.open(QIODevice::WriteOnly))
        return fail(notWritten(file));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const qint64 limit = archiveLimit(entry);
    const auto fetched = fetchInto(
        freshRequest(entry.url, kDownloadTimeout), limit,
        [&](QByteArrayView piece) {
            hash.addData(piece);
            return file.write(piece.data(), piece.size()) == piece.size();
        },
        wait);
    if (!fetched)
        return fail(notFetched(fetched.error(), limit, file));
    trace(QStringLiteral("downloaded %1 bytes from %2").arg(*fetched).arg(entry.url.fileName()));

    const QString digest = QString::fromLatin1(hash.result().toHex());
    if (digest != entry.sha256) {
        return fail(QStringLiteral("sha256 mismatch (got ") + digest.left(12) +
                    QStringLiteral("\u2026, manifest ") + entry.sha256.left(12) + QStringLiteral("\u2026)"));
    }
    trace(QStringLiteral("sha256 matches the manifest"));
    if (!file.commit())
        return fail(notWritten(file));
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
