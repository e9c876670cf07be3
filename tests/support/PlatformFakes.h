#pragma once
// Stand-ins for the platform seams, and a guard that installs one as the
// process-wide current instance for the length of a scope.

#include <spawn.h>

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <iterator>

#include "platform/Accessibility.h"
#include "platform/AppBundle.h"
#include "platform/AppRegistry.h"
#include "platform/BundleInfo.h"
#include "platform/FileProbe.h"
#include "platform/FileViewer.h"
#include "platform/MotionPreference.h"
#include "platform/Volumes.h"
#include "platform/Workspace.h"

extern char** environ;

namespace rk::test {

// Installs `fake` as Seam::current() and restores the host one on exit.
template <typename Seam>
class ScopedCurrent {
public:
    explicit ScopedCurrent(Seam* fake) { Seam::setCurrent(fake); }
    ~ScopedCurrent() { Seam::setCurrent(nullptr); }
    ScopedCurrent(const ScopedCurrent&) = delete;
    ScopedCurrent& operator=(const ScopedCurrent&) = delete;
};

// The app's own bundle and process, as a test sets them.
class FakeAppBundle : public AppBundle {
public:
    QHash<QString, QString> info;
    std::optional<QString> identifier = QString("org.example.sample");
    QString path = "/Applications/Sample.app";
    QString executable = "/Applications/Sample.app/Contents/MacOS/Sample";
    QStringList args{"Sample"};
    qint64 pid = 4242;
    std::optional<QDateTime> launched;

    std::optional<QString> infoString(const QString& key) const override {
        return info.contains(key) ? std::optional(info.value(key)) : std::nullopt;
    }
    std::optional<QString> bundleIdentifier() const override { return identifier; }
    QString bundlePath() const override { return path; }
    QString executablePath() const override { return executable; }
    QStringList arguments() const override { return args; }
    qint64 processID() const override { return pid; }
    std::optional<QDateTime> launchDate() const override { return launched; }
};

// The host's answers, except for disk paths given an errno.
class FakeFileProbe : public FileProbe {
public:
    QHash<QString, int> openErrors;  // disk path -> errno of open
    QHash<QString, int> listErrors;  // disk path -> errno of the listing

    int openForReading(const QString& diskPath) const override {
        return openErrors.contains(diskPath) ? openErrors.value(diskPath) : host_.openForReading(diskPath);
    }
    Result<QStringList, int> listFolder(const QString& diskPath) const override {
        if (listErrors.contains(diskPath))
            return fail(listErrors.value(diskPath));
        return host_.listFolder(diskPath);
    }

private:
    HostFileProbe host_;
};

// Flags per logical volume folder ("/Volumes/Backup"); unknown folders give none.
class FakeVolumes : public Volumes {
public:
    QHash<QString, VolumeFlags> flagsOf;

    std::optional<VolumeFlags> flags(const QString& volumeFolder, const SystemPaths&) const override {
        return flagsOf.contains(volumeFolder) ? std::optional(flagsOf.value(volumeFolder)) : std::nullopt;
    }
};

// Registered application paths per bundle identifier, in the order given.
class FakeAppRegistry : public AppRegistry {
public:
    QHash<QString, QStringList> pathsOf;

    QStringList applicationPaths(const QString& bundleIdentifier) const override {
        return pathsOf.value(bundleIdentifier);
    }
};

// Accessibility that only says whether this process is trusted: no
// elements, no attributes, and every selection refused.
class TrustAccessibility : public Accessibility {
public:
    bool trusted = true;
    bool isProcessTrusted() override { return trusted; }
    AXElement applicationElement(std::int32_t) override { return {}; }
    void setMessagingTimeout(const AXElement&, double) override {}
    std::optional<AXValue> attribute(const AXElement&, const QString&) override { return std::nullopt; }
    std::int32_t setSelected(const AXElement&) override { return AXError::apiDisabled; }
};

// Records the files it was asked to show; opens nothing, and answers `shows`.
class FakeFileViewer : public FileViewer {
public:
    QStringList revealed;
    bool shows = true;
    bool reveal(const QString& diskPath) override { return revealed << diskPath, shows; }
};

// Whether motion is reduced, as the test sets it.
class FakeMotionPreference : public MotionPreference {
public:
    bool reduce = false;
    bool reduceMotion() const override { return reduce; }
};

// A workspace with a fixed list of running applications, for hand-built
// trees and the quitting rules. Quitting signals nothing, and an
// application is gone once its pid is in `gone`, unless `realProcesses` is
// set: then the host's signals reach the listed processes, which must be ones
// the test started itself, and launching a bundle runs its executable (read
// through the current SystemPaths) as a child listed under its identifier.
class FakeWorkspace : public Workspace {
public:
    QList<RunningApplication> applications;
    std::optional<QString> frontmost;
    QList<QUrl> opened;  // every link asked for, taken or not
    bool opens = true;   // whether a link is taken
    bool realProcesses = false;
    QSet<std::int32_t> gone;

    QList<RunningApplication> runningApplications(const QString& bundleID) override {
        QList<RunningApplication> matching;
        std::copy_if(applications.begin(), applications.end(), std::back_inserter(matching),
                     [&](const RunningApplication& application) { return application.bundleID == bundleID; });
        return matching;
    }
    std::optional<QString> frontmostBundleID() override { return frontmost; }
    bool openURL(const QUrl& url, bool) override {
        opened << url;
        return opens;
    }
    bool terminate(const RunningApplication& application) override {
        return !realProcesses || host_.terminate(application);
    }
    bool forceTerminate(const RunningApplication& application) override {
        return !realProcesses || host_.forceTerminate(application);
    }
    bool isGone(const RunningApplication& application) override {
        return realProcesses ? host_.isGone(application) : gone.contains(application.pid);
    }
    bool launchApplication(const QString& bundlePath) override {
        const QString disk = SystemPaths::current().disk(bundlePath);
        const BundleInfo info = BundleInfo::read(disk);
        const auto id = info.identifier();
        const auto executable = info.string("CFBundleExecutable");
        if (!realProcesses || !id || !executable)
            return false;
        const QByteArray program = QFile::encodeName(disk + "/Contents/MacOS/" + *executable);
        char* argv[] = {const_cast<char*>(program.constData()), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, program.constData(), nullptr, nullptr, argv, environ) != 0)
            return false;
        applications << RunningApplication{pid, *id, QDateTime::currentDateTimeUtc()};
        return true;
    }

private:
    HostWorkspace host_;
};

}  // namespace rk::test
