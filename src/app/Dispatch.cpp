#include "app/Dispatch.h"

#include "app/PermissionDeclaration.h"
#include "app/model/LinkRouter.h"
#include "cli/AXDump.h"
#include "cli/Probe.h"
#include "cli/UnchangedCheck.h"
#include "cli/ExplainCheck.h"
#include "cli/PageCapture.h"
#include "cli/SelfTest.h"
#include "movein/MoveInCheck.h"
#include "permissions/PermissionWizard.h"

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

Mode with(Mode::Kind kind) {
    Mode mode;
    mode.kind = kind;
    return mode;
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
    using K = Mode::Kind;
    if (Arguments::contains(args, kPermissionCheck))
        return with(K::permissionCheck);
    if (Arguments::contains(args, kPermissionLint))
        return with(K::permissionLint);
    if (Arguments::contains(args, kSelfTest))
        return with(K::selfTest);
    if (const auto word = Arguments::after(args, kProbe)) {
        Mode mode = with(K::probe);
        mode.pane = paneForWord(*word);
        mode.photoOut = Arguments::after(args, kPhoto);
        return mode;
    }
    if (Arguments::contains(args, kUnchanged))
        return with(K::settingsUnchangedCheck);
    if (const auto folder = Arguments::after(args, kCapture)) {
        Mode mode = with(K::capturePages);
        mode.outDir = *folder;
        mode.marketing = Arguments::contains(args, kMarketing);
        return mode;
    }
    if (Arguments::contains(args, kMoveIn)) {
        Mode mode = with(K::moveInCheck);
        mode.file = Arguments::after(args, kMoveIn);
        return mode;
    }
    if (Arguments::contains(args, kExplain)) {
        Mode mode = with(K::explainCheck);
        mode.explainWord = Arguments::after(args, kExplain).value_or(QStringLiteral("offline"));
        return mode;
    }
    if (const auto word = Arguments::after(args, kAxDump)) {
        Mode mode = with(K::axDump);
        mode.pane = paneForWord(*word);
        mode.filter = Arguments::after(args, kAxDump, 2);
        return mode;
    }
    return with(K::application);
}

QString Dispatch::flag(Mode::Kind kind) {
    switch (kind) {
        case Mode::Kind::permissionCheck:
            return kPermissionCheck;
        case Mode::Kind::permissionLint:
            return kPermissionLint;
        case Mode::Kind::selfTest:
            return kSelfTest;
        case Mode::Kind::probe:
            return kProbe;
        case Mode::Kind::settingsUnchangedCheck:
            return kUnchanged;
        case Mode::Kind::capturePages:
            return kCapture;
        case Mode::Kind::moveInCheck:
            return kMoveIn;
        case Mode::Kind::explainCheck:
            return kExplain;
        case Mode::Kind::axDump:
            return kAxDump;
        case Mode::Kind::application:
            return {};
    }
    return {};
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

QString Dispatch::noDisplayLine(const QString& display, const QString& waylandDisplay) {
    const auto named = [](const QString& value) {
        return value.isEmpty() ? QStringLiteral("is not set") : QStringLiteral("is \"") + value + '"';
    };
    return QStringLiteral("Rowkeeper needs a display for its window and could not open one (DISPLAY ") +
           named(display) + QStringLiteral(", WAYLAND_DISPLAY ") + named(waylandDisplay) +
           QStringLiteral("). Without a desktop, start it under a virtual display: xvfb-run -a rowkeeper");
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
    options.windowshotDir = Arguments::after(args, kWindowshot);
    options.demo = Arguments::contains(args, kDemo);
    if (const auto word = Arguments::after(args, kOpenPane))
        options.openPane = Step(Dispatch::paneForWord(*word) == Pane::accessibility ? Step::accessibility
                                                                                    : Step::loginItems);
    options.linkTexts = linkArguments(args);
    options.startArguments = args.mid(1);
    for (const QString& link : std::as_const(options.linkTexts))
        options.startArguments.removeOne(link);
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
