#!/usr/bin/env bash
# The preview benchmark in one command (see bench/previews.py). Installs the
# tools it uses and builds build/pagrimo when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
command -v vipsthumbnail >/dev/null || need+=(libvips-tools)
command -v exiftool >/dev/null || need+=(libimage-exiftool-perl)
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" </dev/null
fi
if [ ! -x build/pagrimo ]; then
  tools/deps
  cmake --preset default >/dev/null
  cmake --build --preset default --target pagrimo
fi
exec /usr/bin/python3 bench/previews.py "$@"
