#!/usr/bin/env bash
# Opens every page of every bundled template in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
# Chromium, and vips for the camera-sized photos of the transfer check.
need=()
command -v chromium >/dev/null || need+=(chromium)
command -v vips >/dev/null || need+=(libvips-tools)
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
cmake --preset default && cmake --build --preset default
ctest --preset default -L browser
