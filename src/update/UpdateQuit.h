#pragma once
// Ending the app so that a waiting swap script can install. `terminate-
// ForUpdate` asks the app to quit; should the quit be refused or hang, it
// runs the app's will-terminate observers itself 3 s later and ends the
// process, so the script never waits for an app that will not go.
//
// How the app is asked, told and ended goes through `AppQuit`, a seam: the
// host's answers are Qt's (the quit request, the application's aboutToQuit
// observers, the end of the process). The updater's views may put one in
// place that also closes open sheets; tests put in one that only records.
// Main thread.

#include <chrono>

namespace rk::KTUpdate {

class AppQuit {
public:
    virtual ~AppQuit() = default;
    // Ends every sheet a window shows, so that none holds the quit up. The
    // updater itself shows none.
    virtual void closeSheets() {}
    // Asks the application to quit; it may refuse, or take its time.
    virtual void requestQuit();
    // Runs what observes the application's end (the app's will-terminate
    // handler, which installs a pending update) as a quit would.
    virtual void announceTermination();
    // Ends the process with `status`.
    virtual void exitProcess(int status);

    static AppQuit& current();
    // nullptr restores the host's. The caller keeps ownership.
    static void setCurrent(AppQuit* quit);
};

// How long a refused or hanging quit is waited for.
inline constexpr std::chrono::milliseconds kQuitFallback{3000};

// Closes sheets, asks the app to quit and arms the fallback. Main thread.
void terminateForUpdate();

}  // namespace rk::KTUpdate
