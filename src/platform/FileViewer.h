#pragma once
// Showing a file to the person in the desktop's file manager, with the file
// selected: the diagnostics file after it is saved, and the app's own
// program from the permission wizard's drag companion. Main thread; the
// request is handed over and nobody waits for the person. Tests install a
// stand-in so that nothing opens.

#include <QString>

namespace rk {

class FileViewer {
public:
    virtual ~FileViewer() = default;

    // Opens the file manager at `diskPath`, selected where it can. True only
    // when something took the request; false (with one line in the log
    // saying why) when nothing here could show it.
    virtual bool reveal(const QString& diskPath) = 0;

    // The process-wide implementation; nullptr restores the host's.
    static FileViewer& current();
    static void setCurrent(FileViewer* viewer);
};

// The freedesktop file-manager interface (org.freedesktop.FileManager1
// ShowItems over the session bus) selects the file; a desktop without one
// gets the containing folder handed to its opener (`DesktopOpener`) instead.
class HostFileViewer final : public FileViewer {
public:
    bool reveal(const QString& diskPath) override;
};

}  // namespace rk
