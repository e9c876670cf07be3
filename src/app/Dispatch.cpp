#include "app/Dispatch.h"

#include <algorithm>

#include "app/PermissionDeclaration.h"
#include "app/model/LinkRouter.h"
#include "cli/AXDump.h"
#include "cli/ExplainCheck.h"
#include "cli/PageCapture.h"
#include "cli/Probe.h"
#include "cli/SelfTest.h"
#include "cli/UnchangedCheck.h"
#include "movein/MoveInCheck.h"
#include "permissions/PermissionWizard.h"
#include "update/UpdateSwapScript.h"

namespace rk {

namespace {

const QString kPermissionCheck = QStringLiteral("--permission-check");
const QString kPermissionLint = QStringLiteral("--permission-lint");
const QString kSelfTest = QStringLiteral("--selftest");
const QString kProbe = QStringLiteral("--probe");
const QString kPhoto = QStringLiteral("--photo");
const QString kUnchanged = QStringLiteral("--settings-unchanged-check");
const QString kCapture = QStringLiteral("--capture-pages");
const QString kMarketing = QStringLiteral("--marketing");
const QString kMoveIn = QStringLiteral("--move-in-check");
const QString kExplain = QStringLiteral("--explain-check");
const QString kAxDump = QStringLiteral("--ax-dump");
const QString kWindowshot = QStringLiteral("--permission-windowshot");
const QString kDemo = QStringLiteral("--demo");
const QString kOpenPane = QStringLiteral("--open-pane");

using K = Mode::Kind;

// Who reads an option.
enum class Reader {
    mode,      // the entry: the option names a command-line mode
    withMode,  // the mode it goes with
    window,    // the window app, once it has launched
};

// What must follow an option.
enum class Needs { nothing, page, folder };

// Every option the program knows: the modes in the order the entry tests
// them, each followed by what goes with it, then what the window app reads.
// The entry tests the modes from here and the options line is written from here.
struct Option {
    QString flag;
    Reader reader;
    K kind;           // the mode it names or goes with; application for the window's
    QString shown{};  // what follows it, as the options line shows it
    Needs needs = Needs::nothing;
};

const Option kOptions[] = {
    {kPermissionCheck, Reader::mode, K::permissionCheck},
    {kPermissionLint, Reader::mode, K::permissionLint},
    {kSelfTest, Reader::mode, K::selfTest},
    {kProbe, Reader::mode, K::probe, "PAGE", Needs::page},
    {kPhoto, Reader::withMode, K::probe, "FILE"},
    {kUnchanged, Reader::mode, K::settingsUnchangedCheck},
    {kCapture, Reader::mode, K::capturePages, "FOLDER", Needs::folder},
    {kMarketing, Reader::withMode, K::capturePages},
    {kMoveIn, Reader::mode, K::moveInCheck, "[FILE]"},
    {kExplain, Reader::mode, K::explainCheck, "[offline|gateway|device]"},
    {kAxDump, Reader::mode, K::axDump, "PAGE [FILTER]", Needs::page},
    {kDemo, Reader::window, K::application},
    {kOpenPane, Reader::window, K::application, "PAGE", Needs::page},
    {kWindowshot, Reader::window, K::application, "FOLDER", Needs::folder},
};

QString needsText(Needs needs) {
    return needs == Needs::page ? QStringLiteral("a page: accessibility or loginitems")
                                : QStringLiteral("a folder");
}

// The argument after `option` when it gives what the option needs: any word
// for a page, a word that is not empty for a folder.
std::optional<QString> needed(const QStringList& args, const Option& option) {
    std::optional<QString> word = Arguments::after(args, option.flag);
    if (word && option.needs == Needs::folder && word->isEmpty())
        return std::nullopt;
    return word;
}

const Option* optionNamed(const QString& flag) {
    for (const Option& option : kOptions) {
        if (option.flag == flag)
            return &option;
    }
    return nullptr;
}

Mode with(Mode::Kind kind) {
    Mode mode;
    mode.kind = kind;
    return mode;
}

// The mode `kind` with what it reads from the arguments.
Mode modeOf(Mode::Kind kind, const QStringList& args) {
    Mode mode = with(kind);
    switch (kind) {
        case K::probe:
            mode.pane = Dispatch::paneForWord(*Arguments::after(args, kProbe));
            mode.photoOut = Arguments::after(args, kPhoto);
            break;
        case K::capturePages:
            mode.outDir = *Arguments::after(args, kCapture);
            mode.marketing = Arguments::contains(args, kMarketing);
            break;
        case K::moveInCheck:
            mode.file = Arguments::after(args, kMoveIn);
            break;
        case K::explainCheck:
            mode.explainWord = Arguments::after(args, kExplain).value_or(QStringLiteral("offline"));
            break;
        case K::axDump:
            mode.pane = Dispatch::paneForWord(*Arguments::after(args, kAxDump));
            mode.filter = Arguments::after(args, kAxDump, 2);
            break;
        default:
            break;
    }
    return mode;
}

// How the window app takes the arguments after the program: the options
// that only a starting copy reads (with their words), and in words why each
// of the others is not used. Links of the app's own scheme are neither.
struct WindowArguments {
    QStringList startOptions;
    QStringList unused;
};

WindowArguments windowArguments(const QStringList& args) {
    WindowArguments taken;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const Option* option = optionNamed(arg);
        const bool hasNext = i + 1 < args.size();
        if (!option) {
            if (!LinkRouter::isOurs(LinkRouter::parse(arg)))
                taken.unused << (arg.isEmpty() ? QStringLiteral("\"\"") : arg) +
                                    QStringLiteral(" is not an option Rowkeeper knows");
        } else if (option->reader == Reader::withMode) {
            taken.unused << arg + QStringLiteral(" goes only with ") + Dispatch::flag(option->kind);
            i += (hasNext && !option->shown.isEmpty()) ? 1 : 0;  // and its word
        } else if (option->reader == Reader::window && option->needs == Needs::nothing) {
            taken.startOptions << arg;
        } else if (option->reader == Reader::window && hasNext &&
                   !(option->needs == Needs::folder && args.at(i + 1).isEmpty())) {
            taken.startOptions << arg << args.at(++i);
        } else {
            // A mode that was passed over, or a window option without its word.
            taken.unused << arg + QStringLiteral(" needs ") + needsText(option->needs);
            i += hasNext ? 1 : 0;
        }
    }
    return taken;
}

// `word` as the shell reads it back: as it is when it holds only letters,
// digits and marks the shell leaves alone, else in single quotes.
QString shellWord(const QString& word) {
    const auto plain = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               QStringView(u"_@%+=:,./-").contains(c);
    };
    if (!word.isEmpty() && std::all_of(word.begin(), word.end(), plain))
        return word;
    return KTUpdate::shellQuoted(word);
}

}  // namespace

bool Arguments::contains(const QStringList& args, const QString& flag) {
    return args.contains(flag, Qt::CaseSensitive);
}

std::optional<QString> Arguments::after(const QStringList& args, const QString& flag, int offset) {
    const qsizetype at = args.indexOf(flag);
    if (at < 0 || offset < 1 || at + offset >= args.size())
        return std::nullopt;
    return args.at(at + offset);
}

QStringList Arguments::fromMain(int argc, const char* const* argv) {
    QStringList args;
    for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

Mode Dispatch::mode(const QStringList& args) {
    for (const Option& option : kOptions) {
        if (option.reader != Reader::mode || !Arguments::contains(args, option.flag))
            continue;
        // A mode whose word is missing is passed over.
        if (option.needs == Needs::nothing || needed(args, option))
            return modeOf(option.kind, args);
    }
    return with(K::application);
}

QString Dispatch::flag(Mode::Kind kind) {
    for (const Option& option : kOptions) {
        if (option.reader == Reader::mode && option.kind == kind)
            return option.flag;
    }
    return {};
}

QString Dispatch::optionsLine() {
    QStringList modes;
    QStringList window;
    for (const Option& option : kOptions) {
        const QString shown = option.shown.isEmpty() ? option.flag : option.flag + ' ' + option.shown;
        if (option.reader == Reader::mode)
            modes << shown;
        else if (option.reader == Reader::withMode)
            modes.last() += " [" + shown + ']';
        else
            window << shown;
    }
    return QStringLiteral("Options: ") + modes.join(QStringLiteral(", ")) +
           QStringLiteral("; for the window: ") + window.join(QStringLiteral(", ")) + QStringLiteral(", ") +
           LinkRouter::scheme() + QStringLiteral(":// links.");
}

QStringList Dispatch::unusedLines(const QStringList& args) {
    if (mode(args).kind != K::application)
        return {};
    const QStringList unused = windowArguments(args).unused;
    if (unused.isEmpty())
        return {};
    return {unused.join(QStringLiteral("; ")) + '.', optionsLine()};
}

Pane Dispatch::paneForWord(const QString& word) {
    return word == QStringLiteral("accessibility") ? Pane::accessibility : Pane::loginItems;
}

AppHost Dispatch::host(Mode::Kind kind) {
    switch (kind) {
        case Mode::Kind::probe:  // paints the marks, with text, on its photo
        case Mode::Kind::capturePages:
            return AppHost::render;
        case Mode::Kind::application:
            return AppHost::windows;
        default:
            return AppHost::console;
    }
}

bool Dispatch::wantsOffscreen(const QString& display, const QString& waylandDisplay,
                              const QString& chosenPlatform) {
    return display.isEmpty() && waylandDisplay.isEmpty() && chosenPlatform.isEmpty();
}

bool Dispatch::lacksDisplay(const QString& display, const QString& waylandDisplay,
                            const QString& chosenPlatform) {
    // Qt tries a list such as "wayland;xcb" in order.
    const QString first = chosenPlatform.section(QLatin1Char(';'), 0, 0).trimmed();
    if (first.isEmpty())
        return display.isEmpty() && waylandDisplay.isEmpty();
    return first == QStringLiteral("xcb") && display.isEmpty();
}

QString Dispatch::noDisplayLine(const QString& display, const QString& waylandDisplay,
                                const QStringList& arguments) {
    const auto named = [](const QString& value) {
        return value.isEmpty() ? QStringLiteral("is not set") : QStringLiteral("is \"") + value + '"';
    };
    QString command = QStringLiteral("xvfb-run -a rowkeeper");
    for (const QString& argument : arguments)
        command += QLatin1Char(' ') + shellWord(argument);
    return QStringLiteral("Rowkeeper needs a display for its window and could not open one (DISPLAY ") +
           named(display) + QStringLiteral(", WAYLAND_DISPLAY ") + named(waylandDisplay) +
           QStringLiteral("). Without a desktop, start it under a virtual display: ") + command;
}

int Dispatch::runCommandLine(const Mode& mode, const QStringList& args) {
    switch (mode.kind) {
        case Mode::Kind::permissionCheck:
            configureWizard(false);
            return KTPermissionWizard::runPermissionCheckCLI();
        case Mode::Kind::permissionLint:
            configureWizard(false);
            return KTPermissionWizard::runLintCLI(args);
        case Mode::Kind::moveInCheck:
            return MoveInCheck::run(mode.file);
        case Mode::Kind::probe:
            return Probe::run(mode.pane.value_or(Pane::loginItems), mode.photoOut);
        case Mode::Kind::settingsUnchangedCheck:
            return UnchangedCheck::run();
        case Mode::Kind::axDump:
            return AXDump::run(mode.pane.value_or(Pane::loginItems), mode.filter);
        case Mode::Kind::selfTest:
            return SelfTest::run([] { configureWizard(false); });
        case Mode::Kind::capturePages:
            return PageCapture::run(mode.outDir, mode.marketing);
        case Mode::Kind::explainCheck:
            return ExplainCheck::run(mode.explainWord);
        case Mode::Kind::application:
            break;
    }
    // The window app is no command-line mode: the process entry starts it.
    return 1;
}

LaunchOptions LaunchOptions::from(const QStringList& args) {
    LaunchOptions options;
    options.windowshotDir = needed(args, *optionNamed(kWindowshot));
    options.demo = Arguments::contains(args, kDemo);
    if (const auto word = Arguments::after(args, kOpenPane))
        options.openPane = Step(Dispatch::paneForWord(*word) == Pane::accessibility ? Step::accessibility
                                                                                    : Step::loginItems);
    options.linkTexts = linkArguments(args);
    options.startArguments = windowArguments(args).startOptions;
    options.links = LinkRouter::parse(options.linkTexts);
    return options;
}

QStringList LaunchOptions::linkArguments(const QStringList& args) {
    QStringList texts;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (LinkRouter::isOurs(LinkRouter::parse(args.at(i))))
            texts << args.at(i);
    }
    return texts;
}

QList<QUrl> LaunchOptions::linksIn(const QStringList& args) {
    return LinkRouter::parse(linkArguments(args));
}

}  // namespace rk
