#!/usr/bin/env bash
# scripts/run without a display: the hint it prints, pasted into a shell,
# gives the app the very arguments it was given, whatever they hold.
set -euo pipefail
args=(--demo "it's" 'a b' '$(echo ran)' '' 'ü' '"q"' '\')
if out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" "${args[@]}" 2>&1); then
  echo "scripts/run started without a display: $out"
  exit 1
fi
hint=${out##*xvfb-run -a scripts/run}
eval "set -- $hint"
if [ "$(printf '%q ' "$@")" != "$(printf '%q ' "${args[@]}")" ]; then
  echo "the hint '$hint' gives: $(printf '%q ' "$@")"
  exit 1
fi
