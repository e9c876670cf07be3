#pragma once
// Every fixed system location the program reads goes through one SystemPaths
// value. Paths inside records (a program path in the background-task store, a
// client path in the privacy database) are "logical": they name places as the
// Mac sees them. `disk()` maps a logical path to the file actually touched, so
// tests can re-root the whole machine under a temporary folder while the
// records and the evidence texts keep their real-looking paths. The Mac tools
// the program runs have their one table here too (`toolLocation`), mapped the
// same way by `tool()`, so a test puts small scripts in their places.
//
// This Linux build has a stand-in of its own for one tool, ditto (unpacking a
// zip archive and copying a bundle): a script installed with the program in
// its libexec folder, which `tool()` answers on the host. Every other Mac tool
// is missing here, so running it fails to start and whatever needed its
// answer is refused.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace rk {

// The Mac's command-line tools that the program runs.
enum class MacTool {
    tccutil,                          // resets privacy grants
    codesign,                         // signs and verifies code signatures
    spctl,                            // Gatekeeper's assessment
    ditto,                            // copies and unpacks bundles
    xattr,                            // extended attributes (quarantine)
    launchServicesRegister,           // the LaunchServices register tool
    launchServicesRegisterVersioned,  // the same tool at its versioned framework path
    plistBuddy,                       // reads a value of a property list
    defaults,                         // reads user defaults and Info.plist values
    launchctl,                        // launchd jobs
    open,                             // opens an app or a document
    shell,                            // the POSIX shell
    processFinder,                    // pgrep
    systemProfiler,                   // the hardware profiler (the Mac's model)
    security,                         // the keychain tool (signing identities)
};

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
    // `logical` with symbolic links resolved and "." and ".." removed, still
    // a logical path; a path that does not exist is only cleaned. On a
    // re-rooted machine a link that leads out of the root gives the disk
    // path it leads to, which lies inside no logical folder.
    QString resolved(const QString& logical) const;

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
    // The person's caches folder: on the host Linux's own (the counterpart
    // of the Mac's ~/Library/Caches), empty when there is none; on a
    // re-rooted machine the Mac's place.
    QString userCaches() const;
    static QStringList cellarPrefixes() { return {"/opt/homebrew/Cellar/", "/usr/local/Cellar/"}; }

    // Where the Mac keeps one of the tools the program runs: the one table of
    // tool paths. The values are the Mac's own paths.
    static QString toolLocation(MacTool tool);
    // The file to run for `tool` on this machine: its location mapped by
    // `disk()`, so a re-rooted machine runs the scripts a test put there; on
    // the host, the stand-in where this build has one. The shell is the
    // host's own and is never re-rooted.
    QString tool(MacTool tool) const;
    // Where this build installs its own stand-in for `tool`; none for the
    // tools it has none for.
    static std::optional<QString> standIn(MacTool tool);
    // The places the LaunchServices register tool may be, first found wins.
    static QList<MacTool> registerTools() {
        return {MacTool::launchServicesRegister, MacTool::launchServicesRegisterVersioned};
    }

    // Where the Codex command-line tool is usually installed, first found wins.
    QStringList codexLocations() const {
        return {"/opt/homebrew/bin/codex", "/usr/local/bin/codex", home_ + "/.local/bin/codex",
                home_ + "/.npm-global/bin/codex"};
    }
    // Linux's identity of this installation (the counterpart of the Mac's platform UUID).
    QString machineIdFile() const { return "/etc/machine-id"; }
    // The computer's model name as Linux's firmware tables give it.
    QString productNameFile() const { return "/sys/class/dmi/id/product_name"; }

    // Replace a leading home folder by "~", only at a folder boundary.
    QString tilde(const QString& logical) const;

    friend bool operator==(const SystemPaths&, const SystemPaths&) = default;

private:
    SystemPaths(QString root, QString home) : root_(std::move(root)), home_(std::move(home)) {}
    QString root_;
    QString home_;
};

}  // namespace rk
