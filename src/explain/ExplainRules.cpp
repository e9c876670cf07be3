#include "explain/ExplainRules.h"

#include "platform/Text.h"

namespace rk {

namespace {

// Words are chosen to name one product or vendor and nothing else: a common
// word such as "sync", "helper" or "update" would answer made-up items with
// a confident sentence about the wrong program.
QList<ExplainRules::Rule> buildTable() {
    return {
        {{"dropbox"},
         "Dropbox's helper keeps the files in your Dropbox folder in step with your Dropbox account."},
        {{"com.google.keystone", "googleupdater", "google updater", "googlesoftwareupdate"},
         "Google's updater keeps Chrome and the other Google apps you installed up to date in the "
         "background."},
        {{"google drive", "googledrive", "com.google.drivefs"},
         "Google Drive's helper keeps your files in step with your Google Drive account."},
        {{"com.microsoft.autoupdate", "microsoft autoupdate", "microsoft update assistant"},
         "Microsoft AutoUpdate checks for and installs updates to Office and the other Microsoft apps you "
         "use."},
        {{"onedrive"}, "OneDrive's helper keeps your files in step with your Microsoft OneDrive account."},
        {{"com.microsoft.teams", "microsoft teams"},
         "Microsoft Teams starts this so that you can get calls and chat messages as soon as you log in."},
        {{"microsoft defender", "com.microsoft.wdav", "wdav"},
         "Microsoft Defender uses this to scan your Mac for malware, often set up by your workplace."},
        {{"creative cloud", "com.adobe.acc", "adobe desktop service", "ccxprocess", "adobe crash"},
         "Adobe Creative Cloud uses this to keep your Adobe apps signed in, synced and up to date."},
        {{"com.adobe.arm", "acrobat update", "adobe updater", "adobeupdate", "com.adobe.agsservice"},
         "Adobe's updater checks for and installs updates to Acrobat and the other Adobe apps you have."},
        {{"zoom.us", "us.zoom", "zoomdaemon", "zoom video"},
         "Zoom uses this to install its updates and to start your meetings quickly."},
        {{"com.tinyspeck", "slack"}, "Slack starts this so that your messages arrive as soon as you log in."},
        {{"skype"}, "Skype starts this so that you can be reached for calls as soon as you log in."},
        {{"webex"}, "Webex starts this so that you can join meetings and get calls as soon as you log in."},
        {{"spotify"}, "Spotify uses this to start the music app or its helper when you log in."},
        {{"discord"}, "Discord starts this so that you are online in your chats as soon as you log in."},
        {{"com.box.desktop", "box drive", "box, inc"},
         "Box Drive's helper keeps your files in step with your Box account."},
        {{"1password", "agilebits"},
         "1Password starts this so that your passwords can be filled in your browser and apps."},
        {{"lastpass"}, "LastPass starts this so that your passwords can be filled in while you browse."},
        {{"docker"}, "Docker Desktop uses this to run the containers and the virtual machine you set up."},
        {{"vmware"},
         "VMware uses this to run the virtual machines you created and to connect them to the network."},
        {{"parallels"},
         "Parallels Desktop uses this to run your virtual machines and to check for its updates."},
        {{"logitech", "logi options", "com.logi."},
         "Logitech's software uses this to apply your mouse and keyboard settings and to update their "
         "firmware."},
        {{"wacom"}, "Wacom's driver uses this to make your tablet and pen work the way you set them up."},
        {{"valvesoftware", "steam"}, "Steam uses this to keep your games and the Steam app up to date."},
        {{"epic games", "epicgames"},
         "The Epic Games Launcher uses this to keep your games and the launcher up to date."},
        {{"battle.net", "blizzard"},
         "Battle.net uses this to keep your Blizzard games and the launcher up to date."},
        {{"sparkle"},
         "This is the Sparkle updater that one of your apps uses to check for and install its own updates."},
        {{"homebrew"},
         "This is a background service that you started with Homebrew, the command-line package manager."},
        {{"com.oracle.java", "java update", "javaupdate"},
         "Oracle's Java updater checks for and installs updates to the Java runtime you installed."},
        {{"anyconnect", "cisco secure client", "com.cisco"},
         "Cisco's VPN client uses this to connect you to your workplace network."},
        {{"globalprotect", "paloaltonetworks"},
         "GlobalProtect uses this to connect you to your workplace network over a VPN."},
        {{"tunnelblick"}, "Tunnelblick uses this to set up the VPN connections you configured."},
        {{"nordvpn"}, "NordVPN uses this to keep your VPN connection running."},
        {{"expressvpn"}, "ExpressVPN uses this to keep your VPN connection running."},
        {{"tailscale"},
         "Tailscale uses this to keep your devices connected on your private Tailscale network."},
        {{"cloudflare"},
         "Cloudflare WARP uses this to route your traffic through its secure connection when you turn it "
         "on."},
        {{"malwarebytes"}, "Malwarebytes uses this to protect your Mac from malware in the background."},
        {{"avast"}, "Avast uses this to scan your Mac for threats in the background."},
        {{"norton", "symantec"}, "Norton uses this to protect your Mac from threats in the background."},
        {{"backblaze"}, "Backblaze uses this to back up your files to its cloud service in the background."},
        {{"crashplan", "code42"}, "CrashPlan uses this to back up your files in the background."},
        {{"teamviewer"}, "TeamViewer uses this so that you can reach this Mac remotely or get remote help."},
        {{"anydesk"}, "AnyDesk uses this so that you can reach this Mac remotely or get remote help."},
        {{"runningwithcrayons", "running with crayons", "alfred preferences"},
         "Alfred starts this so that its launcher window is ready when you press its shortcut."},
        {{"bartender", "surteesstudios"}, "Bartender starts this to tidy the icons in your menu bar."},
        {{"littlesnitch", "little snitch", "obdev"},
         "Little Snitch uses this to show and control which network connections your apps make."},
        {{"karabiner"}, "Karabiner-Elements uses this to apply the keyboard changes you set up."},
        {{"istat", "bjango"}, "iStat Menus uses this to show your Mac's usage figures in the menu bar."},
        {{"grammarly"}, "Grammarly starts this to check your writing as you type in other apps."},
        {{"setapp"}, "Setapp uses this to keep the apps of your Setapp subscription up to date."},
        {{"evernote"},
         "Evernote starts this so that your notes and quick capture are ready when you log in."},
        {{"cleanmymac", "macpaw"},
         "CleanMyMac uses this to watch your Mac's health and remind you to clean up."},
        {{"synology"}, "Synology's client uses this to keep your files in step with your Synology storage."},
        {{"nextcloud"}, "Nextcloud's client keeps your files in step with your Nextcloud server."},
        {{"owncloud"}, "ownCloud's client keeps your files in step with your ownCloud server."},
        {{"pcloud"}, "pCloud's helper keeps your files in step with your pCloud account."},
        {{"megasync"}, "MEGA's helper keeps your files in step with your MEGA account."},
        {{"keybase"}, "Keybase uses this to keep its encrypted chat and files available to you."},
        {{"jamf"},
         "Jamf is your organisation's management tool: it applies your workplace's settings to this Mac."},
        {{"kandji"},
         "Kandji is your organisation's management tool: it applies your workplace's settings to this Mac."},
        {{"munki"},
         "Munki is a software installer that your organisation uses to keep apps on this Mac up to date."},
        {{"raycast"}, "Raycast starts this so that its launcher is ready when you press its shortcut."},
        {{"razer"},
         "Razer's software uses this to apply your settings to your Razer mouse, keyboard or headset."},
        {{"corsair"},
         "Corsair's software uses this to apply your settings and lighting to your Corsair devices."},
        {{"epson"}, "Epson's software uses this to watch your printer or scanner and to check for updates."},
        {{"com.hp.", "hewlett"}, "HP's software uses this to watch your printer and to check for updates."},
        {{"com.canon.", "canon inc"},
         "Canon's software uses this to watch your printer or scanner and to check for updates."},
    };
}

// The item's four texts, lower case, one per line so that a word never spans
// two of them.
QString searchText(const ExplainItem& item) {
    QStringList parts{item.name};
    for (const auto* part : {&item.id, &item.file, &item.vendor}) {
        if (*part)
            parts.append(**part);
    }
    return Text::nfc(parts.join('\n')).toLower();
}

// A word stands on its own when it is not part of a longer word: the
// character before it and the one after it are not letters or digits (or
// there is none). Where the word itself begins or ends with punctuation
// ("com.logi.", "box, inc") that side needs nothing more. So "setapp" answers
// "com.setapp.agent" and "Setapp" but not "com.example.resetapp".
bool standsAlone(const QString& text, qsizetype at, const QString& word) {
    const qsizetype end = at + word.size();
    const bool openStart = !word.front().isLetterOrNumber() || at == 0 || !text[at - 1].isLetterOrNumber();
    const bool openEnd =
        !word.back().isLetterOrNumber() || end == text.size() || !text[end].isLetterOrNumber();
    return openStart && openEnd;
}

bool containsWord(const QString& text, const QString& word) {
    if (word.isEmpty())
        return false;
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + 1)) {
        if (standsAlone(text, at, word))
            return true;
    }
    return false;
}

}  // namespace

const QList<ExplainRules::Rule>& ExplainRules::table() {
    static const QList<Rule> rules = buildTable();
    return rules;
}

std::optional<QString> ExplainRules::explain(const ExplainItem& item) {
    const QString text = searchText(item);
    for (const Rule& rule : table()) {
        for (const QString& word : rule.words) {
            if (containsWord(text, word))
                return rule.sentence;
        }
    }
    return std::nullopt;
}

}  // namespace rk
