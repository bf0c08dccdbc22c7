#!/usr/bin/env bash
# Opens every page of every bundled template in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v chromium >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq chromium >/dev/null
fi
cmake --preset default && cmake --build --preset default
ctest --preset default -L browser
