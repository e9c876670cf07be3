#pragma once
// The workspace as the program uses it to drive System Settings: which
// applications run under a bundle identifier, which application is in front,
// and opening a page link with the application brought to the front.

#include <QList>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <optional>

namespace rk {

struct RunningApplication {
    std::int32_t pid = 0;
    QString bundleID;

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
    // the front. True when the request was handed over; nobody waits for more.
    virtual bool openURL(const QUrl& url, bool activate) = 0;

    // The process-wide implementation that defaults use; nullptr restores the host's.
    static Workspace& current();
    static void setCurrent(Workspace* workspace);
};

// This machine: no System Settings runs, the frontmost application is not
// known, and links go to the desktop's own handler (which knows no
// "x-apple.systempreferences:" link and so opens nothing).
class HostWorkspace final : public Workspace {
public:
    QList<RunningApplication> runningApplications(const QString&) override { return {}; }
    std::optional<QString> frontmostBundleID() override { return std::nullopt; }
    bool openURL(const QUrl& url, bool activate) override;
};

}  // namespace rk
