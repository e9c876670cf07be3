#include "update/UpdateSwapScript.h"

#include <QHash>
#include <QRegularExpression>

namespace rk::KTUpdate {

namespace {

// Each {NAME} is filled in once, in a single pass, so a value that itself
// spells "{NAME}" stays text. `app` names the copy to relaunch: the new one
// once it is in place (or when another script put it there), else the
// installed one. `there` is true for anything at a path, a link to nothing
// too. `lg` appends only to a regular file with no other name (or makes
// one), so a FIFO or a link at the log neither blocks the swap nor writes
// elsewhere (one swapped in between the look and the append still could).
// `part` reads no more than a record's first 256 bytes, and only from a
// regular file, so neither a huge record nor a FIFO holds the script up;
// `first` is its first line. `owned` splits an owner record into its first
// line, `record` ("pid start-time", all that older scripts write and read),
// and the process group its second line names, `group`. `stale` judges the
// record as read once into `judged`, which the takeover compares against: a
// lock stays live while any process of its owner's group is left (a copy
// whose shell alone was killed), and its owner counts as gone only once
// `kill -0` finds no such process or ps reads another start time for it
// (one that ps cannot read proves nothing). `whole` asks the property-list
// tool which executable a bundle names, so without that tool the script ends
// before it takes the lock. `ident` prints "device:inode" (GNU stat, else BSD
// stat), empty unless it reads digits. `listed` prints what ps says of a
// process the same way whoever asks (C locale, UTC), nothing once the
// process is gone. `gid` passes only a process group that `kill` may look
// for (not 0, which is the caller's own, nor 1, which is every process); the
// group is looked for with the shell's own kill in the form POSIX gives, as
// a kill program may read "-0 -N" otherwise (procps sends to -3 then). The
// owner record and the "copying" mark are written under a temporary name and
// renamed, so no reader sees half of one.
// A swap that leaves its ".old" behind exits holding the lock, so the mark
// stays for the next script.
constexpr char kTemplate[] =
    R"SH(there() { [ -e "$1" ] || [ -L "$1" ]; }
lg() {
  /bin/mkdir -p "$(/usr/bin/dirname {LOG})" 2>/dev/null
  if there {LOG}; then
    [ -n "$(/usr/bin/find {LOG} -maxdepth 0 -type f -links 1 2>/dev/null)" ] || return 0
  fi
  /bin/echo "$(/bin/date '+%Y-%m-%d %H:%M:%S') shim: $*" >> {LOG}
}
unstage() {
  if [ -d {NEW} ] && [ ! -L {NEW} ] && [ ! -L {NEW}/Contents ]; then /bin/rm -f {NEW}/Contents/Info.plist; fi
  /bin/rm -rf {STAGE}
}
n=0
while /bin/kill -0 {PID} 2>/dev/null && [ $n -lt {POLLS} ]; do /bin/sleep 0.3; n=$((n+1)); done
if /bin/kill -0 {PID} 2>/dev/null; then
  if /bin/mkdir {CUR}.swaplock 2>/dev/null; then
    lg "pid {PID} still alive after {WAITED}s; swap abandoned, staged copy removed"
    unstage; /bin/rm -rf {CUR}.swaplock
  else
    lg "pid {PID} still alive after {WAITED}s; swap abandoned, staged copy kept: another swap holds the lock"
  fi
  exit 0
fi
if [ ! -f {PLISTBUDDY} ] || [ ! -x {PLISTBUDDY} ]; then
  lg "cannot tell a complete bundle without "{PLISTBUDDY}"; standing down"; exit 0
fi
whole() {
  [ -d "$1" ] && [ ! -L "$1" ] && [ ! -L "$1/Contents" ] && [ -f "$1/Contents/Info.plist" ] || return 1
  x=$({PLISTBUDDY} -c 'Print :CFBundleExecutable' "$1/Contents/Info.plist" 2>/dev/null) || return 1
  case "$x" in ''|*/*|.|..) return 1 ;; esac
  [ -f "$1/Contents/MacOS/$x" ] && [ -x "$1/Contents/MacOS/$x" ] && [ ! -L "$1/Contents/MacOS/$x" ]
}
ident() {
  i=$(/usr/bin/stat -c '%d:%i' "$1" 2>/dev/null) || i=$(/usr/bin/stat -f '%d:%i' "$1" 2>/dev/null) || i=
  case "$i" in *[!0-9:]*|*:*:*|:*|*:) i= ;; *:*) ;; *) i= ;; esac
  /bin/echo "$i"
}
listed() {
  s=$(LC_ALL=C TZ=UTC0 {PS} -o "$1=" -p "$2" 2>/dev/null) || return 1
  case "$s" in *[!A-Za-z0-9:\ ]*) return 1 ;; esac
  set -- $s
  [ $# -gt 0 ] && /bin/echo "$*"
}
started() { listed lstart "$1"; }
gid() { case "$1" in ''|*[!0-9]*|0*|1) ;; *) /bin/echo "$1" ;; esac; }
part() {
  if [ -f "$1" ] && [ ! -L "$1" ]; then /usr/bin/head -c 256 "$1" 2>/dev/null; fi
}
first() {
  r=$(part "$1")
  printf '%s\n' "${r%%
*}"
}
owned() {
  record=${1%%
*} group=
  case "$1" in *'
'*) group=${1#*
} ;; esac
  group=$(gid "${group%%
*}")
}
ended() {
  s=$(started "$1")
  if [ -n "$s" ]; then
    [ "$s" != "$2" ] && [ "$(started $$)" = "$me" ]
  else
    ! /bin/kill -0 "$1" 2>/dev/null
  fi
}
stale() {
  opid=${record%% *} ostart=
  case "$record" in *' '*) ostart=${record#* } ;; esac
  [ -n "$ostart" ] || opid=
  case "$opid" in
    ''|*[!0-9]*|0*) opid= why="older than 5 min"; [ -z "$(/usr/bin/find {CUR}.swaplock -maxdepth 0 -mmin -5 2>/dev/null)" ] ;;
    *) why="the swap that held it has ended"
       [ -n "$me" ] && ! { [ -n "$group" ] && kill -s 0 -- -"$group" 2>/dev/null; } && ended "$opid" "$ostart" ;;
  esac
}
me=$(started $$) mine=$(gid "$(listed pgid $$)") opid= group=
k=0
g={CUR}.swaplock
if ! /bin/mkdir {CUR}.swaplock 2>/dev/null; then
  while [ -d {CUR}.swaplock/gen-$((k+1)) ]; do k=$((k+1)); done
  if [ $k -gt 0 ]; then g={CUR}.swaplock/gen-$k; fi
  owned "$(part "$g/owner")"
  judged="$(ident {CUR}.swaplock) $record"
  if [ -L {CUR}.swaplock ] || ! stale; then
    lg "another swap already holds the lock; standing down without touching the bundle or the staging${opid:+ (owner pid $opid${group:+, process group $group})}"
    exit 0
  fi
  held=$g g={CUR}.swaplock/gen-$((k+1))
  if ! /bin/mkdir "$g" 2>/dev/null; then
    lg "lost the race to take over the stale lock; standing down"; exit 0
  fi
  if [ "$(ident {CUR}.swaplock) $(first "$held/owner")" != "$judged" ]; then
    /bin/rm -rf "$g"
    lg "the stale lock was released and taken again while this script looked at it; standing down"; exit 0
  fi
  lg "swaplock is stale ($why); taking it over"
fi
if [ -z "$me" ] || ! { printf '%s\n' "$$ $me" $mine > "$g/owner.new" && /bin/mv -f "$g/owner.new" "$g/owner"; }; then
  lg "cannot record this script as the lock's owner (ps gave no start time); standing down"
  /bin/rm -rf "$g"; exit 0
fi
/bin/rm -rf {CUR}.swaplock/discard
mark=$(first {CUR}.swaplock/copying)
app={CUR}
skipswap=""
if [ -L {CUR}.old ] || { [ -e {CUR}.old ] && ! whole {CUR}.old; }; then
  lg "deleting a leftover "{CUR}".old that is no complete bundle"
  /bin/mv {CUR}.old {CUR}.swaplock/discard
elif [ -e {CUR}.old ] && { { [ -n "$mark" ] && [ "$(ident {CUR}.old)" = "$mark" ]; } || ! there {CUR}; }; then
  lg "an earlier swap stopped before its copy was confirmed; restoring "{CUR}" from .old"
  if { ! there {CUR} || /bin/mv {CUR} {CUR}.swaplock/discard; } && /bin/mv {CUR}.old {CUR}; then :; else
    lg "restoring "{CUR}" from .old FAILED (exit $?); standing down"
    exit 0
  fi
elif [ -e {CUR}.old ] && whole {CUR}; then
  lg "deleting a leftover "{CUR}".old: no unfinished swap left it, and the installed bundle is complete"
  /bin/mv {CUR}.old {CUR}.swaplock/discard
elif [ -e {CUR}.old ]; then
  lg "keeping a leftover "{CUR}".old: no unfinished swap left it, and the installed bundle is not complete. Standing down."
  skipswap=1
fi
/bin/rm -rf {CUR}.swaplock/discard {CUR}.swaplock/copying {CUR}.swaplock/copying.new
if [ -n "$skipswap" ]; then :
elif ! whole {NEW}; then
  if there {NEW}; then
    lg "the staged bundle is not complete: another shim may have stopped while deleting it. Standing down."
  else
    lg "staging is gone: another shim already installed this build. Standing down."
  fi
  skipswap=1
  if [ -d {DEST} ]; then app={DEST}; fi
{TAKEN}
else
  have=
  if [ -f {CUR}/Contents/Info.plist ]; then
    have=$({PLISTBUDDY} -c 'Print :CFBundleVersion' {CUR}/Contents/Info.plist 2>/dev/null)
  fi
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
id=$(ident {CUR})
if [ -z "$id" ]; then
  lg "cannot read the device and inode of "{CUR}"; nothing changed"
elif /bin/echo "$id" > {CUR}.swaplock/copying.new && /bin/mv -f {CUR}.swaplock/copying.new {CUR}.swaplock/copying &&
     ! there {CUR}.old && /bin/mv {CUR} {CUR}.old; then
  {DITTO} {NEW} {DEST}; c=$?
  if [ $c -eq 0 ] && whole {DEST}; then
    app={DEST}
    /bin/mv {CUR}.old {CUR}.swaplock/discard && /bin/rm -f {CUR}.swaplock/copying
    {LSREG}
    {KICK}
    lg "installed "{DEST}" (build $({DEFAULTS} read {DEST}/Contents/Info CFBundleVersion 2>/dev/null))"
  else
    if [ $c -eq 0 ]; then
      lg "the copy at "{DEST}" is not complete; restoring the previous bundle"
    else
      lg "ditto FAILED (exit $c); restoring the previous bundle"
    fi
    if [ "$(ident {CUR}.old)" != "$id" ]; then
      lg "no .old of this swap to move back; leaving "{DEST}" as it is"
    elif ! /bin/rm -rf {DEST} || there {CUR} || ! /bin/mv {CUR}.old {CUR}; then
      lg "moving "{CUR}".old back FAILED; keeping the lock so the next swap restores it"
      exit 0
    fi
  fi
else
  lg "mv "{CUR}" -> .old FAILED (exit $?); nothing changed"
fi
fi
if [ -z "$skipswap" ]; then unstage; fi
/bin/rm -rf {CUR}.swaplock
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
        {"PS", shellQuoted(swap.processStatus)},
    };
    // A new name that is taken already belongs to something else: a failure
    // before anything is touched, so the failure branch never deletes it.
    if (renamed) {
        values["TAKEN"] = "elif there " + dest + "; then\n  lg " + dest +
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
