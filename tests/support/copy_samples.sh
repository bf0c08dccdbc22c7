#!/usr/bin/env bash
# copy_samples.sh SAMPLES DEST: copies the sample pictures to DEST (made if
# missing) without the pages and thumbnail folders that a run over the
# samples (the README's first command) leaves beside them, so that no test
# depends on what an earlier run left in the source tree.
set -euo pipefail
mkdir -p "$2"
tar -C "$1" --exclude=.thumbs --exclude='*.html' -cf - . | tar -C "$2" -xf -
