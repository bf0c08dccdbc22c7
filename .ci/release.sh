#!/usr/bin/env bash
# A packager's build: a plain Release configuration with the system compiler,
# no preset and no warnings-as-errors, then its tests (the browser and desktop
# suites have scripts of their own).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v make >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq make >/dev/null
fi
rm -rf build-release
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j2
ctest --test-dir build-release --output-on-failure -j2 --timeout 300 -LE 'browser|desktop'
