#include "update/UpdateSwapScript.h"

#include <QHash>
#include <QRegularExpression>

namespace rk::KTUpdate {

namespace {

// Each {NAME} is filled in once, in a single pass, so a value that itself
// spells "{NAME}" stays text. `app` names the copy to relaunch: the new one
// once it is in place (or when another script put it there), else the
// installed one.
constexpr char kTemplate[] =
    R"SH(lg() { /bin/mkdir -p "$(/usr/bin/dirname {LOG})" 2>/dev/null; /bin/echo "$(/bin/date '+%Y-%m-%d %H:%M:%S') shim: $*" >> {LOG}; }
n=0
while /bin/kill -0 {PID} 2>/dev/null && [ $n -lt {POLLS} ]; do /bin/sleep 0.3; n=$((n+1)); done
if /bin/kill -0 {PID} 2>/dev/null; then lg "pid {PID} still alive after {WAITED}s; swap abandoned, staged copy removed"; /bin/rm -rf {STAGE}; exit 0; fi
whole() { [ -d "$1" ] && [ -f "$1/Contents/Info.plist" ]; }
k=0
if ! /bin/mkdir {CUR}.swaplock 2>/dev/null; then
  while [ -d {CUR}.swaplock/gen-$((k+1)) ]; do k=$((k+1)); done
  if [ -z "$(/usr/bin/find {CUR}.swaplock -maxdepth 0 -mmin -5 2>/dev/null)" ]; then
    if [ -L {CUR}.swaplock ] || ! /bin/mkdir {CUR}.swaplock/gen-$((k+1)) 2>/dev/null; then
      lg "lost the race to take over the stale lock; standing down"; exit 0
    fi
    lg "swaplock is stale (older than 5 min); taking it over"
  else
    lg "another swap already holds the lock; standing down without touching the bundle or the staging"
    exit 0
  fi
fi
/bin/rm -rf {CUR}.swaplock/discard
if [ -L {CUR}.old ] || { [ -e {CUR}.old ] && ! whole {CUR}.old; }; then
  lg "deleting a leftover "{CUR}".old that is no complete bundle"
  /bin/mv {CUR}.old {CUR}.swaplock/discard
elif [ -e {CUR}.old ] && [ ! -e {CUR}.swaplock/copying ] && whole {CUR}; then
  lg "deleting a leftover "{CUR}".old: no unfinished swap left it, and the installed bundle is complete"
  /bin/mv {CUR}.old {CUR}.swaplock/discard
elif [ -e {CUR}.old ]; then
  lg "an earlier swap stopped before its copy was confirmed; restoring "{CUR}" from .old"
  if { { [ ! -e {CUR} ] && [ ! -L {CUR} ]; } || /bin/mv {CUR} {CUR}.swaplock/discard; } && /bin/mv {CUR}.old {CUR}; then :; else
    lg "restoring "{CUR}" from .old FAILED (exit $?); standing down"
    /bin/rm -rf {CUR}.swaplock; exit 0
  fi
fi
/bin/rm -rf {CUR}.swaplock/discard {CUR}.swaplock/copying
app={CUR}
skipswap=""
if [ ! -d {NEW} ]; then
  lg "staging is gone: another shim already installed this build. Standing down."
  skipswap=1
  if [ -d {DEST} ]; then app={DEST}; fi
{TAKEN}
else
  have=$({PLISTBUDDY} -c 'Print :CFBundleVersion' {CUR}/Contents/Info.plist 2>/dev/null)
  want=$({PLISTBUDDY} -c 'Print :CFBundleVersion' {NEW}/Contents/Info.plist 2>/dev/null)
  case "$have.$want" in
    ''|*[!0-9.]*|.*|*.) ;;
    *) if [ "$have" -ge "$want" ] 2>/dev/null; then
         lg "installed build $have is already at or ahead of staged $want. Standing down."
         skipswap=1
       fi ;;
  esac
fi
if [ -z "$skipswap" ]; then
lg "pid {PID} exited after $((n*3/10))s; swapping"
: > {CUR}.swaplock/copying
if [ ! -e {CUR}.old ] && [ ! -L {CUR}.old ] && /bin/mv {CUR} {CUR}.old; then
  if {DITTO} {NEW} {DEST}; then
    app={DEST}
    /bin/mv {CUR}.old {CUR}.swaplock/discard && /bin/rm -f {CUR}.swaplock/copying
    {LSREG}
    {KICK}
    lg "installed "{DEST}" (build $({DEFAULTS} read {DEST}/Contents/Info CFBundleVersion 2>/dev/null))"
  else
    lg "ditto FAILED (exit $?); restoring the previous bundle"
    /bin/rm -rf {DEST}; /bin/mv {CUR}.old {CUR}
  fi
else
  lg "mv "{CUR}" -> .old FAILED (exit $?); nothing changed"
fi
fi
/bin/rm -rf {CUR}.swaplock
if [ -z "$skipswap" ]; then /bin/rm -rf {STAGE}; fi
{OPEN}
lg "done{DONE}"
)SH";

}  // namespace

QString shellQuoted(const QString& text) {
    return '\'' + QString(text).replace('\'', QStringLiteral("'\\''")) + '\'';
}

QString swapScriptText(const SwapScript& swap) {
    const QString cur = shellQuoted(swap.current);
    const QString dest = shellQuoted(swap.destination);
    const bool renamed = swap.destination != swap.current;
    QHash<QString, QString> values{
        {"LOG", shellQuoted(swap.log)},
        {"PID", QString::number(swap.pid)},
        {"POLLS", QString::number(swap.waitPolls)},
        {"WAITED", QString::number(swap.waitPolls * 3 / 10.0)},
        {"STAGE", shellQuoted(swap.stage)},
        {"CUR", cur},
        {"NEW", shellQuoted(swap.staged)},
        {"DEST", dest},
        {"DITTO", shellQuoted(swap.ditto)},
        {"PLISTBUDDY", shellQuoted(swap.plistBuddy)},
        {"DEFAULTS", shellQuoted(swap.defaults)},
    };
    // A new name that is taken already belongs to something else: a failure
    // before anything is touched, so the failure branch never deletes it.
    if (renamed) {
        values["TAKEN"] = "elif [ -e " + dest + " ] || [ -L " + dest + " ]; then\n  lg " + dest +
                          "\" is already there and is not this update's; keeping \"" + cur +
                          "\". Standing down.\"\n  skipswap=1";
        const QString lsregister = shellQuoted(swap.launchServicesRegister);
        values["LSREG"] = lsregister + " -u " + cur + " >/dev/null 2>&1; " + lsregister + " -f " + dest +
                          " >/dev/null 2>&1";
    }
    if (swap.relaunch == Relaunch::none && swap.headlessRestartLabel &&
        !swap.headlessRestartLabel->isEmpty()) {
        values["KICK"] = shellQuoted(swap.launchctl) + " kickstart -k gui/$(/usr/bin/id -u)/" +
                         shellQuoted(*swap.headlessRestartLabel) + " 2>/dev/null || true";
    }
    if (swap.relaunch == Relaunch::inFront)
        values["OPEN"] = shellQuoted(swap.open) + " \"$app\"";
    if (swap.relaunch == Relaunch::inBackground)
        values["OPEN"] = shellQuoted(swap.open) + " -g --env KT_BACKGROUND_LAUNCH=1 \"$app\"";
    if (swap.relaunch != Relaunch::none)
        values["DONE"] = "; relaunch requested";

    static const QRegularExpression name(QStringLiteral("\\{([A-Z]+)\\}"));
    const QString text = QString::fromUtf8(kTemplate);
    QString script;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& match : name.globalMatch(text)) {
        script += text.mid(from, match.capturedStart() - from) + values.value(match.captured(1));
        from = match.capturedEnd();
    }
    return script + text.mid(from);
}

}  // namespace rk::KTUpdate
