#!/usr/bin/env bash
# The thumbnail benchmark in one command (see bench/thumbnails.py). Installs
# the tools it compares with and builds build/pagrimo when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/prepare.sh
bench_needs vipsthumbnail:libvips-tools djpeg:libjpeg-turbo-progs exiftool:libimage-exiftool-perl
bench_build pagrimo
exec /usr/bin/python3 bench/thumbnails.py "$@"
