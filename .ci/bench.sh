#!/usr/bin/env bash
# The benchmark once at a twentieth of its size, so that it cannot rot. Its
# times are printed, never judged: only a broken script or a page that
# differs from the expected one fails here.
set -euo pipefail
cd "$(dirname "$0")/.."
work="$(mktemp -d /tmp/pagrimo-bench-ci.XXXXXX)"
trap 'rm -rf "$work"' EXIT
bench/run.sh --small --runs 1 --work "$work" </dev/null
