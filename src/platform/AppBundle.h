#pragma once
// The running app's own bundle and process: where its executable is, what it
// calls itself, the identifier it is registered under and the arguments it was
// started with. On a Mac these come from the main bundle's Info.plist; a Linux
// build has no bundle, so the host answers from the Qt application object and
// the process itself, and answers "none" where there is nothing honest to say.

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
    virtual std::optional<QString> bundleIdentifier() const = 0;
    // The path a person would pick in a file chooser to name this app: the
    // ".app" folder on a Mac, the executable itself on Linux.
    virtual QString bundlePath() const = 0;
    virtual QString executablePath() const = 0;
    // The process's arguments, index 0 being the program.
    virtual QStringList arguments() const = 0;
    virtual qint64 processID() const = 0;

    static AppBundle& current();
    // nullptr restores the host implementation. The caller keeps ownership.
    static void setCurrent(AppBundle* bundle);
};

// The honest Linux answers.
class HostAppBundle : public AppBundle {
public:
    std::optional<QString> infoString(const QString& key) const override;
    std::optional<QString> bundleIdentifier() const override;
    QString bundlePath() const override;
    QString executablePath() const override;
    QStringList arguments() const override;
    qint64 processID() const override;
};

}  // namespace rk
