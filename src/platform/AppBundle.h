#pragma once
// The running app's own bundle and process: where its executable is, what it
// calls itself, the identifier it is registered under, the arguments it was
// started with and when it started. The bundle is the "X.app" folder above
// "Contents/MacOS/<executable>" when there is one, and its Info.plist (read
// by BundleInfo) answers the name and the identifier. A Linux build as built
// lies in no such folder: it has no bundle identifier, and its names come from
// the Qt application object. The host answers "none" where there is nothing
// honest to say.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace rk {

class AppBundle {
public:
    virtual ~AppBundle() = default;

    // A string value of the bundle's information ("CFBundleName",
    // "CFBundleDisplayName", ...); none when absent or not a string.
    virtual std::optional<QString> infoString(const QString& key) const = 0;
    // "CFBundleIdentifier" of the bundle; none without a bundle.
    virtual std::optional<QString> bundleIdentifier() const = 0;
    // The path a person would pick in a file chooser to name this app: the
    // ".app" folder when there is one, else the executable itself.
    virtual QString bundlePath() const = 0;
    virtual QString executablePath() const = 0;
    // The process's arguments, index 0 being the program.
    virtual QStringList arguments() const = 0;
    virtual qint64 processID() const = 0;
    // When this process started; none when the system does not say.
    virtual std::optional<QDateTime> launchDate() const = 0;

    static AppBundle& current();
    // nullptr restores the host implementation. The caller keeps ownership.
    static void setCurrent(AppBundle* bundle);
};

// The bundle around this executable, if any; the process as Linux reports it.
class HostAppBundle : public AppBundle {
public:
    std::optional<QString> infoString(const QString& key) const override;
    std::optional<QString> bundleIdentifier() const override;
    QString bundlePath() const override;
    QString executablePath() const override;
    QStringList arguments() const override;
    qint64 processID() const override;
    std::optional<QDateTime> launchDate() const override;
};

}  // namespace rk
