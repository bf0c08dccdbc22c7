#!/usr/bin/env bash
# The folder chooser of pagrimo.exe under wine, on a private Xvfb: started
# with no folder, the program opens the shell's chooser; Escape cancels it, and
# the run then ends silently with status 0, writing nothing.
# Usage: chooser_cancel.sh PAGRIMO_EXE BUNDLE_FOLDER. Exit 77 (skipped) where
# Xvfb or xdotool is missing.
set -uo pipefail
program=$1
bundle=$2
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "Xvfb or xdotool is missing"
  exit 77
fi

work=$(mktemp -d)
xvfb_pid=
wine_pid=
cleanup() {
  [ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

cp "$program" "$bundle/pagrimo.ini" "$bundle"/*.dat "$work/"
before=$(ls "$work")

# The wine server of the earlier tests runs without a display; let it end, so
# that this run's server and desktop start with one.
wineserver -w
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/.display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/.display" ] && break
  sleep 0.1
done
[ -s "$work/.display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/.display")"
rm "$work/.display"

wine "$work/pagrimo.exe" >"$work/.out" 2>"$work/.err" </dev/null &
wine_pid=$!
# The chooser is the program's only visible window. Wine may take a while to
# start; give up after a minute.
window=
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name . 2>/dev/null | head -1)
  [ -n "$window" ] && break
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$window" ] || fail "no chooser appeared"
echo "chooser window: $(xdotool getwindowname "$window")"
xdotool windowfocus --sync "$window" key Escape

for _ in $(seq 600); do
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$wine_pid" 2>/dev/null && fail "the program did not end after Escape"
wait "$wine_pid"
status=$?
wine_pid=
wineserver -w

[ "$status" -eq 0 ] || fail "exit status $status"
[ ! -s "$work/.err" ] || fail "unexpected output: $(cat "$work/.err")"
rm "$work/.out" "$work/.err"
[ "$(ls "$work")" = "$before" ] || fail "files were written: $(ls "$work")"
echo "cancelled chooser: silent end, status 0, nothing written"
