#!/usr/bin/env bash
# A page of 10,000 pictures in headless Chromium (tests/browser/check_large.py,
# opened five times): the first tiles within 1 s and the DOM ready within 2 s
# (medians), only the thumbnails near the screen fetched, and the viewer
# stepping through all. Installs what it uses; builds build/pagrimo when it
# is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/prepare.sh
bench_needs chromium:chromium vips:libvips-tools
bench_build pagrimo
exec /usr/bin/python3 tests/browser/check_large.py --program build/pagrimo --bundle build "$@"
