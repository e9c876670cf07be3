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
    QString applications() const { return "/Applications"; }
    QString userApplications() const { return home_ + "/Applications"; }
    static QStringList cellarPrefixes() { return {"/opt/homebrew/Cellar/", "/usr/local/Cellar/"}; }

    // Logical locations of system tools and files.
    // The hardware profiler, as the Mac names it.
    QString systemProfiler() const { return "/usr/sbin/system_profiler"; }
    // The keychain tool (signing identities).
    QString securityTool() const { return "/usr/bin/security"; }
    QString processFinder() const { return "/usr/bin/pgrep"; }
    // Where the Codex command-line tool is usually installed, first found wins.
    QStringList codexLocations() const {
        return {"/opt/homebrew/bin/codex", "/usr/local/bin/codex", home_ + "/.local/bin/codex",
                home_ + "/.npm-global/bin/codex"};
    }
    // Linux's identity of this installation (the counterpart of the Mac's platform UUID).
    QString machineIdFile() const { return "/etc/machine-id"; }
    // The computer's model name as Linux's firmware tables give it.
    QString productNameFile() const { return "/sys/class/dmi/id/product_name"; }

    // The host's own shell, run as it is (not a Mac location; never re-rooted).
    static QString shell() { return "/bin/sh"; }

    // Replace a leading home folder by "~", only at a folder boundary.
    QString tilde(const QString& logical) const;

    friend bool operator==(const SystemPaths&, const SystemPaths&) = default;

private:
    SystemPaths(QString root, QString home) : root_(std::move(root)), home_(std::move(home)) {}
    QString root_;
    QString home_;
};

}  // namespace rk
