#!/usr/bin/env bash
# A page of 10,000 pictures in headless Chromium (tests/browser/check_large.py,
# opened five times): the first tiles within 1 s and the DOM ready within 2 s
# (medians), only the thumbnails near the screen fetched, and the viewer
# stepping through all. Installs what it uses; builds build/pagrimo when it
# is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
command -v chromium >/dev/null || need+=(chromium)
command -v vips >/dev/null || need+=(libvips-tools)
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" </dev/null
fi
if [ ! -x build/pagrimo ]; then
  tools/deps
  cmake --preset default >/dev/null
  cmake --build --preset default --target pagrimo
fi
exec /usr/bin/python3 tests/browser/check_large.py --program build/pagrimo --bundle build "$@"
