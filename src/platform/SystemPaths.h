#pragma once
// Every fixed system location the program reads goes through one SystemPaths
// value. Paths inside records (a program path in the background-task store, a
// client path in the privacy database) are "logical": they name places as the
// Mac sees them. `disk()` maps a logical path to the file actually touched, so
// tests can re-root the whole machine under a temporary folder while the
// records and the evidence texts keep their real-looking paths.

#include <QString>
#include <QStringList>

namespace rk {

class SystemPaths {
public:
    // The host's own answers: no re-rooting, the current user's home folder.
    static SystemPaths host();
    // A machine laid out under `root` (an existing folder), whose person's
    // home folder is the logical path `home` (for example "/Users/anna").
    static SystemPaths rerooted(const QString& root, const QString& home);

    // The process-wide paths that defaults use; tests may replace them.
    static const SystemPaths& current();
    static void setCurrent(const SystemPaths& paths);

    const QString& root() const { return root_; }
    // The person's home folder, logical, without a trailing slash.
    const QString& home() const { return home_; }

    // Logical path -> the path to open. Identity on the host.
    QString disk(const QString& logical) const;

    // Logical locations.
    QString systemTCC() const { return "/Library/Application Support/com.apple.TCC/TCC.db"; }
    QString userTCC() const { return home_ + "/Library/Application Support/com.apple.TCC/TCC.db"; }
    QString backgroundTaskFolder() const { return "/private/var/db/com.apple.backgroundtaskmanagement"; }
    QString userLaunchAgents() const { return home_ + "/Library/LaunchAgents"; }
    QString systemLaunchAgents() const { return "/Library/LaunchAgents"; }
    QString systemLaunchDaemons() const { return "/Library/LaunchDaemons"; }
    QString volumes() const { return "/Volumes"; }
    QString trash() const { return home_ + "/.Trash"; }
    QString desktop() const { return home_ + "/Desktop"; }
    static QStringList cellarPrefixes() { return {"/opt/homebrew/Cellar/", "/usr/local/Cellar/"}; }

    // Replace a leading home folder by "~", only at a folder boundary.
    QString tilde(const QString& logical) const;

    friend bool operator==(const SystemPaths&, const SystemPaths&) = default;

private:
    SystemPaths(QString root, QString home) : root_(std::move(root)), home_(std::move(home)) {}
    QString root_;
    QString home_;
};

}  // namespace rk
