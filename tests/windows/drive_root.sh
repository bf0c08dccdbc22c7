#!/usr/bin/env bash
# pagrimo.exe under wine on the root of a drive: a free drive letter of the
# wine prefix is pointed at a fresh tree for the length of the test, and the
# pages written for "X:\" are compared byte for byte. The root is its own
# [name]; the pages below it link up to it by the naming rules.
# Usage: drive_root.sh PAGRIMO_EXE. Exit 77 (skipped) without a wine prefix.
set -uo pipefail
program=$1
prefix=${WINEPREFIX:-$HOME/.wine}
[ -d "$prefix/dosdevices" ] || { echo "no wine prefix at $prefix"; exit 77; }

work=$(mktemp -d)
drive=
cleanup() {
  [ -n "$drive" ] && rm -f "$prefix/dosdevices/$drive:"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

for letter in y x w v u t s r q p o n m l k j i h g f e d; do
  if [ ! -e "$prefix/dosdevices/$letter:" ] && [ ! -L "$prefix/dosdevices/$letter:" ]; then
    drive=$letter
    break
  fi
done
[ -n "$drive" ] || { echo "no free drive letter"; exit 77; }
DRIVE=${drive^^}

sub='写真 #1 & %41 [x]'
sub_url='%E5%86%99%E7%9C%9F%20%231%20%26%20%2541%20%5Bx%5D'
mkdir -p "$work/tree/$sub/深い" "$work/app"
touch "$work/tree/a.jpg" "$work/tree/$sub/b.png" "$work/tree/$sub/深い/c.gif"
cp "$program" "$work/app/"
printf '[Pagrimo]\r\ndefault=t.dat\r\n' >"$work/app/pagrimo.ini"
ln -s "$work/tree" "$prefix/dosdevices/$drive:"

bom=$'\xEF\xBB\xBF'
# expect FILE LINE: the page holds exactly that line.
expect() {
  local got
  got=$(cat "$work/tree/$1" 2>/dev/null) || fail "no page $1"
  [ "$got" = "$bom$2"$'\r' ] || fail "$1 holds '$got', expected '$bom$2'"
}

for naming in 0 1; do
  printf '%s2,%s\r\n[name]|[name\\]|[name%%]|[up]|[up\\]|[up%%]\r\n*\r\n*\r\n*\r\n' \
    "$bom" "$naming" >"$work/app/t.dat"
  find "$work/tree" -name '*.html' -delete
  wine "$work/app/pagrimo.exe" "$DRIVE:\\" >"$work/out" 2>&1 </dev/null
  status=$?
  [ "$status" -eq 0 ] || fail "naming $naming: exit status $status: $(cat "$work/out")"
  if [ "$naming" = 0 ]; then
    top=index.html subpage=index.html subpage_url=index.html deep=index.html
  else
    # A root has no folder name: its page is root.html.
    top=root.html subpage="$sub.html" subpage_url="$sub_url.html" deep=深い.html
  fi
  expect "$top" "$DRIVE:\\|$DRIVE:\\\\|file:///$DRIVE:/|||"
  expect "$sub/$subpage" "$sub|$sub|$sub_url|..\\$top|..\\\\$top|../$top"
  expect "$sub/深い/$deep" \
    "深い|深い|%E6%B7%B1%E3%81%84|..\\$subpage|..\\\\$subpage|../$subpage_url"
done
wineserver -w
echo "drive root $DRIVE:\\ indexed with naming rules 0 and 1"
