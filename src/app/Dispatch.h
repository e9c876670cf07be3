#pragma once
// The process entry's decision: which command-line mode the arguments ask
// for, tested in a fixed order, and what the application delegate reads
// again once the window app has launched. Pure functions of the argument
// list, read once at the start of the process; nothing here runs a mode.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

#include "app/model/Step.h"
#include "finder/Pane.h"

namespace rk {

// Flags are whole arguments matched exactly, case included. Index 0 (the
// program) is searched like every other argument.
struct Arguments {
    static bool contains(const QStringList& args, const QString& flag);
    // The argument `offset` places after the first occurrence of `flag`;
    // none when the flag is absent or nothing stands there.
    static std::optional<QString> after(const QStringList& args, const QString& flag, int offset = 1);
    // The process's arguments as given, before any Qt object exists.
    static QStringList fromMain(int argc, const char* const* argv);
};

struct Mode {
    // In the order the entry tests them.
    enum class Kind {
        permissionCheck,
        permissionLint,
        selfTest,
        probe,
        settingsUnchangedCheck,
        capturePages,
        moveInCheck,
        explainCheck,
        axDump,
        application,  // none of the above: the window app starts
    };

    Kind kind = Kind::application;
    std::optional<Pane> pane{};         // probe, axDump
    std::optional<QString> photoOut{};  // probe
    std::optional<QString> filter{};    // axDump
    QString outDir{};                   // capturePages
    bool marketing = false;             // capturePages
    std::optional<QString> file{};      // moveInCheck: none means the default checklist
    QString explainWord{};              // explainCheck

    friend bool operator==(const Mode&, const Mode&) = default;
};

// Which Qt application object a mode runs under.
enum class AppHost {
    console,  // no window system at all
    render,   // draws images: the window system, or the offscreen one without a display
    windows,  // the window app
};

struct Dispatch {
    // The first mode whose flag is present (and, for the modes that need
    // one, followed by an argument); the window app otherwise.
    static Mode mode(const QStringList& args);

    // The mode's flag, as typed; empty for the window app.
    static QString flag(Mode::Kind kind);
    // The options the program knows, on one line.
    static QString optionsLine();
    // When `args` (what is left once Qt took its own options) start the
    // window app and some are not used: two lines for standard error, what
    // was not used and why ("--probe needs a page: accessibility or
    // loginitems"), then the options line. None otherwise.
    static QStringList unusedLines(const QStringList& args);
    // Exactly "accessibility" names the Accessibility page; any other word Login Items.
    static Pane paneForWord(const QString& word);
    static AppHost host(Mode::Kind kind);

    // True when there is no display to draw on (neither X11 nor Wayland) and
    // no platform was chosen: a rendering mode then draws offscreen.
    static bool wantsOffscreen(const QString& display, const QString& waylandDisplay,
                               const QString& chosenPlatform);

    // True when the window app has nothing to show its window on: the
    // window system it would use (the chosen one, else X11 or Wayland) is
    // named by no display. Offscreen and Wayland (which has a default
    // display) are left to Qt to open.
    static bool lacksDisplay(const QString& display, const QString& waylandDisplay,
                             const QString& chosenPlatform);
    // The one line the window app ends with, status 1, when it has no
    // display or Qt cannot open the one named; its hint to start it under a
    // virtual display keeps `arguments` (those after the program), quoted
    // for the shell where they need it.
    static QString noDisplayLine(const QString& display, const QString& waylandDisplay,
                                 const QStringList& arguments = {});

    // Runs a mode other than the window app, under the console application
    // object the caller made, and gives its exit status.
    static int runCommandLine(const Mode& mode, const QStringList& args);
};

// What the application delegate reads from the same arguments after launch.
struct LaunchOptions {
    std::optional<QString> windowshotDir{};  // "--permission-windowshot" and a folder
    bool demo = false;                       // "--demo"
    std::optional<Step> openPane{};          // "--open-pane" and a page word
    QList<QUrl> links{};                     // "rowkeeper:" arguments, in order
    // The same arguments exactly as given: what a second launch hands to the
    // running copy, which reads them itself.
    QStringList linkTexts{};
    // The options only a copy that is starting reads, in order, each with
    // its word ("--demo", "--open-pane" and its page).
    QStringList startArguments{};

    static LaunchOptions from(const QStringList& args);
    // Arguments after the program that are links of the app's own scheme.
    static QStringList linkArguments(const QStringList& args);
    static QList<QUrl> linksIn(const QStringList& args);
};

}  // namespace rk
