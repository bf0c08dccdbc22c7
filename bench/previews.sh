#!/usr/bin/env bash
# The preview benchmark in one command (see bench/previews.py). Installs the
# tools it uses and builds build/pagrimo when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/prepare.sh
bench_needs vipsthumbnail:libvips-tools exiftool:libimage-exiftool-perl
bench_build pagrimo
exec /usr/bin/python3 bench/previews.py "$@"
