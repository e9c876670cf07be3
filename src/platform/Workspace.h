#pragma once
// The workspace as the program uses it to drive System Settings: which
// applications run under a bundle identifier (with their launch dates),
// which application is in front, opening a page link with the application
// brought to the front, and asking a running application to quit.
//
// Any thread. `isGone` may reap the process it asks about when it is a child
// of this one, so it is asked only about applications this seam listed.
// Quitting is a seam of its own on purpose: a stand-in that lists made-up
// process ids must never signal whatever real process has that id.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <optional>

namespace rk {

struct RunningApplication {
    std::int32_t pid = 0;
    QString bundleID;
    // When it started; none when the process does not say.
    std::optional<QDateTime> launchDate{};

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

class Workspace {
public:
    virtual ~Workspace() = default;

    // The running applications with that bundle identifier, in the workspace's order.
    virtual QList<RunningApplication> runningApplications(const QString& bundleID) = 0;
    // The bundle identifier of the frontmost application; none when there is
    // no frontmost application or it has no identifier.
    virtual std::optional<QString> frontmostBundleID() = 0;
    // Opens a link; with `activate` the application that opens it comes to
    // the front. True only when the link was handed to something that opens
    // it; nobody waits for more. False when nothing here opens such links or
    // the opener refused; the implementation then writes one line to the log
    // saying why, and the caller tells the person (for a System Settings
    // page, with `settingsNotOpenedLine`).
    virtual bool openURL(const QUrl& url, bool activate) = 0;

    // The polite request to quit, which an application may decline. True
    // when it was delivered.
    virtual bool terminate(const RunningApplication& application) = 0;
    // Ends it without asking. True when it was delivered.
    virtual bool forceTerminate(const RunningApplication& application) = 0;
    // Whether it has ended. One this process may not ask about counts as
    // running.
    virtual bool isGone(const RunningApplication& application) = 0;

    // Starts the application bundle at `bundlePath` as a new instance, in
    // the background: not activated, not added to the recent items. Waits up
    // to 10 seconds for the launch to complete; true when it did.
    virtual bool launchApplication(const QString& bundlePath) = 0;

    // What every place that opens a System Settings page says when it could not.
    static QString settingsNotOpenedLine();

    // The process-wide implementation that defaults use; nullptr restores the host's.
    static Workspace& current();
    static void setCurrent(Workspace* workspace);
};

// This machine: no System Settings runs, the frontmost application is not
// known, and links go to the desktop's opener (`DesktopOpener`), which is
// given a "x-apple.systempreferences:" link only when the desktop names an
// application for that scheme (normally none does); an open blocks for at
// most the opener's limits: a refusal comes in a few hundredths of a second,
// and an opener that runs the application it found in the foreground (as
// xdg-open does on a desktop it has no opener of its own for) is left to
// it after `DesktopOpener::answerLimit`.
// Quitting works on the process id: SIGTERM, then SIGKILL; an application
// has ended when it was reaped (a child of this process is reaped here) or
// there is no such process (ESRCH), while one this process may not signal
// (EPERM) counts as running. An application without a process id has ended
// and is never signalled. Application bundles cannot be launched here.
class HostWorkspace final : public Workspace {
public:
    QList<RunningApplication> runningApplications(const QString&) override { return {}; }
    std::optional<QString> frontmostBundleID() override { return std::nullopt; }
    bool openURL(const QUrl& url, bool activate) override;
    bool terminate(const RunningApplication& application) override;
    bool forceTerminate(const RunningApplication& application) override;
    bool isGone(const RunningApplication& application) override;
    bool launchApplication(const QString&) override { return false; }
};

}  // namespace rk
