#!/usr/bin/env bash
# The folder menu entry of the Windows zip, under wine: install.cmd writes the
# command with the quoted absolute path of the pagrimo.exe beside it and "%V",
# in English or, for a Japanese user, in Japanese; that command line indexes a
# folder; uninstall.cmd removes exactly those keys. Running either twice does
# no harm. The program's folder has a blank and Japanese in its name.
# Usage: menu_entry.sh PAGRIMO_EXE BUILD_FOLDER SOURCE_FOLDER. It works on the
# wine prefix in use and puts back any entry that was there before.
set -uo pipefail
program=$1
build=$2
source=$3

work=$(mktemp -d)
classes='HKCU\Software\Classes\Directory'
fail() {
  echo "FAILED: $*"
  exit 1
}
win() { echo "Z:${1//\//\\}"; }
# The registry below $classes as text, or nothing when the key is missing.
export_classes() {
  rm -f "$work/export.reg"
  wine reg export "$classes" "$(win "$work/export.reg")" /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//'
}
# The default value of a key below $classes, as the .reg file writes it.
default_of() {
  awk -v section="[HKEY_CURRENT_USER\\Software\\Classes\\Directory\\$1]" \
    '$0 == section {inside = 1; next} /^\[/ {inside = 0} inside && /^@=/ {print substr($0, 3)}' \
    <<<"$registry"
}
# Runs a script of the program's folder in the given locale.
run_script() {
  LANG=$2 LC_ALL=$2 wine cmd /c "$(win "$app/$1")" </dev/null >"$work/out" 2>&1
}

saved=$(export_classes | grep -c '\\shell\\pagrimo\]')
if [ "$saved" -gt 0 ]; then
  wine reg export "$classes" "$(win "$work/saved.reg")" /y >/dev/null 2>&1
fi
remove_entry() {
  for key in shell Background\\shell; do
    wine reg delete "$classes\\$key\\pagrimo" /f >/dev/null 2>&1
  done
}
cleanup() {
  wine reg delete "$classes\\shell\\pagrimo-neighbour" /f >/dev/null 2>&1
  remove_entry
  [ "$saved" -gt 0 ] && wine reg import "$(win "$work/saved.reg")" >/dev/null 2>&1
  wineserver -w
  rm -rf "$work"
}
trap cleanup EXIT
remove_entry

# The zip's files, in a folder whose name needs quoting and Unicode.
app="$work/pagrimo 写真"
mkdir "$app"
cp "$program" "$build/pagrimo.ini" "$build"/*.dat "$build/install-ja.reg" \
  "$source/packaging/install.cmd" "$source/packaging/uninstall.cmd" "$app/"
command="\"$(win "$app/pagrimo.exe")\" \"%V\""
command_text=${command//\\/\\\\}
command_text="\"${command_text//\"/\\\"}\""

check_entry() {  # LABEL
  registry=$(export_classes)
  for key in shell Background\\shell; do
    [ "$(default_of "$key\\pagrimo")" = "\"$1\"" ] ||
      fail "$key label: $(default_of "$key\\pagrimo") in $registry"
    [ "$(default_of "$key\\pagrimo\\command")" = "$command_text" ] ||
      fail "$key command: $(default_of "$key\\pagrimo\\command")"
  done
}

# English, twice; then Japanese over it.
for round in 1 2; do
  run_script install.cmd C.UTF-8 || fail "install.cmd ($round): $(cat "$work/out")"
  check_entry "Make picture index"
done
run_script install.cmd ja_JP.UTF-8 || fail "install.cmd (Japanese): $(cat "$work/out")"
check_entry "画像インデックスを作成"

# The command line, with the folder in place of %V, as the shell starts it.
"$source/tests/support/copy_samples.sh" "$source/samples/photos" "$work/my photos"
line=${command/\%V/$(win "$work/my photos")}
printf '@%s\r\n@exit /b %%errorlevel%%\r\n' "$line" | iconv -f UTF-8 -t CP932 >"$work/menu.cmd"
wine cmd /c "$(win "$work/menu.cmd")" </dev/null >"$work/out" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the menu command ended with $status: $(cat "$work/out")"
grep -q 'Sunset.JPG' "$work/my photos/index.html" 2>/dev/null || fail "the menu command wrote no page"

# Uninstall, twice: both keys go, a neighbour stays.
wine reg add "$classes\\shell\\pagrimo-neighbour" /ve /d keep /f >/dev/null 2>&1
for round in 1 2; do
  run_script uninstall.cmd ja_JP.UTF-8 || fail "uninstall.cmd ($round): $(cat "$work/out")"
  registry=$(export_classes)
  if grep -q '\\pagrimo\]\|\\pagrimo\\command\]' <<<"$registry"; then
    fail "uninstall.cmd ($round) left: $registry"
  fi
  [ "$(default_of 'shell\pagrimo-neighbour')" = '"keep"' ] || fail "uninstall.cmd removed a neighbour"
done

# Without pagrimo.exe beside it, install.cmd fails and adds nothing.
rm "$app/pagrimo.exe"
run_script install.cmd C.UTF-8 && fail "install.cmd without pagrimo.exe succeeded"
export_classes | grep -q '\\pagrimo\]' && fail "install.cmd without pagrimo.exe added keys"
echo "menu entry: installed in English and Japanese, run, and removed"
