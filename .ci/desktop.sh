#!/usr/bin/env bash
# The Linux desktop tests: held keys, the folder chooser and message dialogs,
# each against a private Xvfb that the tests start and stop themselves.
# Installs what they need, builds the default preset if needed, and fails if
# any desktop test was skipped, so a missing tool cannot pass unnoticed.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
for pkg in xvfb xdotool zenity libx11-6; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" </dev/null
fi

cmake --preset default
cmake --build --preset default
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --preset default -L desktop </dev/null 2>&1 | tee "$log"
if grep -q 'Skipped' "$log"; then
  echo "desktop tests were skipped although their tools are installed" >&2
  exit 1
fi
