#!/usr/bin/env bash
# The benchmark once at a twentieth of its size, and the preview benchmark on
# a few pictures, so that they cannot rot. Their times are printed, never
# judged: only a broken script or a page that differs from the expected one
# fails here.
set -euo pipefail
cd "$(dirname "$0")/.."
work="$(mktemp -d /tmp/pagrimo-bench-ci.XXXXXX)"
trap 'rm -rf "$work"' EXIT
bench/run.sh --small --runs 1 --work "$work" </dev/null
# The preview benchmark on four pictures of each set: it fails when a preview
# is missing or a re-run writes another page.
bench/previews.sh --count 4 --runs 1 --work "$work/previews" </dev/null
# The poster benchmark on four short clips: it fails when a poster is missing.
bench/posters.sh --smoke --runs 1 --work "$work/posters" </dev/null
