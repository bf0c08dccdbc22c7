#!/usr/bin/env bash
# The installed program: cmake --install into a temporary prefix, then runs
# from another folder on a copy of the sample photos. Which settings win is
# told apart by marked templates: the installed ones, then the user's
# ~/.config/pagrimo (or $XDG_CONFIG_HOME/pagrimo), and a portable copy with its
# own pagrimo.ini, which always wins.
# Usage: install_test.sh CMAKE BUILD_FOLDER SOURCE_FOLDER
set -uo pipefail
cmake=$1
build=$(cd "$2" && pwd)
source=$(cd "$3" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$work/install.log")"
for file in bin/pagrimo share/pagrimo/pagrimo.ini share/pagrimo/template.dat \
  share/pagrimo/list.dat share/pagrimo/tree.dat share/applications/pagrimo.desktop \
  share/man/man1/pagrimo.1; do
  [ -f "$work/prefix/$file" ] || fail "$file was not installed"
done
cmp -s "$source/templates/pagrimo.ini" "$work/prefix/share/pagrimo/pagrimo.ini" ||
  fail "the installed pagrimo.ini is not the bundled one"

mkdir "$work/elsewhere" "$work/home"
# Runs PROGRAM on a fresh copy of the photos from another folder, with HOME
# set to the temporary one and the given extra environment; leaves the status
# in $status, standard error in $err and the page in $page.
run() {
  local program=$1
  shift
  rm -rf "$work/photos"
  "$source/tests/support/copy_samples.sh" "$source/samples/photos" "$work/photos"
  (cd "$work/elsewhere" && env -u XDG_CONFIG_HOME HOME="$work/home" "$@" "$program" "$work/photos" \
    >/dev/null 2>"$work/err" </dev/null)
  status=$?
  err=$(cat "$work/err")
  page=$(cat "$work/photos/index.html" 2>/dev/null)
}
# A template that lists the folder's own pictures after a marker.
marked() {
  printf '\xEF\xBB\xBF0,0\r\n%s\r\n[filelist]\r\n*\r\n*\r\n[filename]\r\n*\r\n' "$1"
}

# 1. No user settings: the installed template.dat, the same page as the
#    built program's (which reads the bundled files beside it).
run "$work/prefix/bin/pagrimo"
[ "$status" -eq 0 ] && [ -z "$err" ] || fail "installed: status $status, $err"
installed_page=$page
run "$build/pagrimo"
[ "$status" -eq 0 ] && [ "$page" = "$installed_page" ] || fail "the installed program did not use template.dat"
case $page in *beach*) fail "template.dat lists the folder's own pictures only" ;; esac

# 2. The prefix can move: the shared folder is found beside bin/.
mv "$work/prefix" "$work/moved"
run "$work/moved/bin/pagrimo"
[ "$status" -eq 0 ] && [ "$page" = "$installed_page" ] || fail "moved prefix: status $status, $err"

# 3. The user's settings in ~/.config/pagrimo choose their own template,
#    named relative to that folder.
mkdir -p "$work/home/.config/pagrimo"
printf '[Pagrimo]\r\ndefault=mine.dat\r\n' >"$work/home/.config/pagrimo/pagrimo.ini"
marked USER-MARKER >"$work/home/.config/pagrimo/mine.dat"
run "$work/moved/bin/pagrimo"
[ "$status" -eq 0 ] || fail "user settings: status $status, $err"
[ "$(printf '%s' "$page" | tr -d '\r')" = "$(printf '\xEF\xBB\xBFUSER-MARKER\nlogo.png\nSunset.JPG\ntiles.bmp')" ] ||
  fail "user settings: unexpected page: $page"

# A template the user's settings name is looked for beside them only: the
# installed list.dat does not stand in, and the message is the usual one.
printf '[Pagrimo]\r\ndefault=list.dat\r\n' >"$work/home/.config/pagrimo/pagrimo.ini"
run "$work/moved/bin/pagrimo"
[ "$status" -eq 1 ] && [ "$err" = "pagrimo: list.datが見つかりません
エラー: template.datが正しく読みこめません" ] || fail "missing user template: status $status, $err"
[ -z "$page" ] || fail "missing user template: a page was written"

# 4. XDG_CONFIG_HOME, when set, replaces ~/.config.
mkdir -p "$work/xdg/pagrimo"
printf '[Pagrimo]\r\ndefault=x.dat\r\n' >"$work/xdg/pagrimo/pagrimo.ini"
marked XDG-MARKER >"$work/xdg/pagrimo/x.dat"
run "$work/moved/bin/pagrimo" XDG_CONFIG_HOME="$work/xdg"
[ "$status" -eq 0 ] && [[ $page == *XDG-MARKER* ]] || fail "XDG_CONFIG_HOME: status $status, $err"

# 5. A portable copy (the program with its own pagrimo.ini) ignores both.
mkdir "$work/portable"
cp "$work/moved/bin/pagrimo" "$work/portable/"
printf '[Pagrimo]\r\ndefault=p.dat\r\n' >"$work/portable/pagrimo.ini"
marked PORTABLE-MARKER >"$work/portable/p.dat"
run "$work/portable/pagrimo" XDG_CONFIG_HOME="$work/xdg"
[ "$status" -eq 0 ] && [[ $page == *PORTABLE-MARKER* ]] || fail "portable copy: status $status, $err"
printf '[Pagrimo]\r\ndefault=list.dat\r\n' >"$work/home/.config/pagrimo/pagrimo.ini"
run "$work/portable/pagrimo"
[ "$status" -eq 0 ] && [[ $page == *PORTABLE-MARKER* ]] || fail "portable copy: status $status, $err"
echo "installed, user and portable settings each chose their template"
