#!/usr/bin/env bash
# Cross-builds pagrimo.exe with mingw-w64, runs every Windows test under wine
# with the Japanese code page (932), the end-to-end tests once more with the
# UTF-8 code page, and packs the zip.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
# wine's Media Foundation decodes the test clips (H.264, HEVC, VP9) through
# the host's GStreamer.
for pkg in cmake ninja-build googletest g++-mingw-w64-x86-64-posix wine wine64 locales xvfb xdotool \
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Wine needs the locales to exist, or it garbles UTF-8 file names: the
# Japanese one gives code page 932, the Hindi one the UTF-8 code page.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  localedef -i ja_JP -c -f UTF-8 ja_JP.UTF-8
fi
if ! locale -a 2>/dev/null | grep -qix 'hi_IN.utf8'; then
  localedef -i hi_IN -c -f UTF-8 hi_IN.UTF-8
fi

# No display: message boxes and the folder chooser cannot appear, so the
# program writes its messages to standard error, which the tests read.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
# A prefix of its own, made afresh when missing; wineboot returns before its
# server has finished, so wait for that server to end.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-pagrimo}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1 || true
fi
wineserver -w

start=$SECONDS
cmake --workflow --preset windows
# Let the wine server that the tests started end, so nothing outlives CI.
wineserver -w
ls -l build-windows/pagrimo-*-win64.zip
echo "windows: built, tested under wine and packed in $((SECONDS - start)) s"
