#!/usr/bin/env bash
# Thumbnail engine speed: bench/thumbs.sh [--count N] [--size PIXELS] [--cache DIR]
#
# Makes N (default 120) camera-like 12-megapixel JPEGs (4000x3000, quality
# 92, about 5 MB each) once and keeps them in DIR (default
# /tmp/pagrimo-thumb-bench), then times over the same files, on all cores:
#   (a) vipsthumbnail -s SIZE, one process per picture through xargs -P$(nproc);
#   (b) the decode floor: djpeg -scale 1/8 into /dev/null, the same way;
#   (c) our engine: build/thumb_bench, which calls platform::MakeDisplayCopies from
#       nproc threads, one picture per thread at a time.
# Each is run three times; the best wall time counts. The goal is (c) at most
# 0.8x (a), which is within 1.3x of (b). The pictures are made from a few
# plasma fractals with grain, shifted per file so no two files are equal.
# Needs libvips-tools, libjpeg-turbo-progs and imagemagick (installed when
# missing, Debian, as root); builds build/thumb_bench when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

count=120
size=400
cache=/tmp/pagrimo-thumb-bench
while (($#)); do
  case "$1" in
    --count) count=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --cache) cache=$2; shift 2 ;;
    *) echo "usage: bench/thumbs.sh [--count N] [--size PIXELS] [--cache DIR]" >&2; exit 2 ;;
  esac
done

need=()
command -v vipsthumbnail >/dev/null || need+=(libvips-tools)
command -v djpeg >/dev/null || need+=(libjpeg-turbo-progs)
[ -x /usr/bin/convert ] || need+=(imagemagick)
pkg-config --exists vips 2>/dev/null || need+=(libvips-dev)
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" </dev/null
fi

# The pictures: four fractal bases, each shifted and re-encoded per file.
mkdir -p "$cache/jpg"
for seed in 1 2 3 4; do
  base="$cache/base$seed.v"
  if [ ! -e "$base" ]; then
    /usr/bin/convert -seed "$seed" -size 4000x3000 plasma:fractal -blur 0x1 \
      -attenuate 0.25 +noise Gaussian -depth 8 "$cache/base$seed.ppm"
    vips copy "$cache/base$seed.ppm" "$base"
    rm -f "$cache/base$seed.ppm"
  fi
done
for ((i = 0; i < count; i++)); do
  out=$(printf '%s/jpg/photo%04d.jpg' "$cache" "$i")
  [ -e "$out" ] && continue
  vips wrap "$cache/base$((i % 4 + 1)).v" "$out[Q=92]" --x $((i * 97 % 4000)) --y $((i * 61 % 3000))
done

if [ ! -x build/thumb_bench ] || [ "${PAGRIMO_REBUILD:-1}" = 1 ]; then
  [ -d build ] || cmake --preset default >/dev/null
  cmake --build --preset default --target thumb_bench >/dev/null
fi

cores=$(nproc)
out=$(mktemp -d /tmp/pagrimo-thumb-out.XXXXXX)
trap 'rm -rf "$out"' EXIT
mapfile -t files < <(find "$cache/jpg" -name 'photo*.jpg' | sort | head -n "$count")
megabytes=$(du -cm "${files[@]}" | tail -1 | cut -f1)
echo "${#files[@]} pictures, $megabytes MB, $cores cores, longest side $size"

# Best wall time of three runs of a command, in seconds.
best() {
  local best_time=""
  for _ in 1 2 3; do
    rm -rf "${out:?}"/*
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    best_time=$(awk -v s="$start" -v e="$end" -v b="$best_time" \
      'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
  done
  printf '%.2f' "$best_time"
}
vips_run() {
  printf '%s\0' "${files[@]}" |
    xargs -0 -n 1 -P "$cores" vipsthumbnail -s "$size" -o "$out/%s.jpg[Q=85,strip]"
}
floor_run() {
  printf '%s\0' "${files[@]}" | xargs -0 -n 1 -P "$cores" djpeg -scale 1/8 -outfile /dev/null
}
engine_run() { build/thumb_bench --threads "$cores" --size "$size" "$out" "${files[@]}"; }

engine_run >/dev/null || { echo "the engine failed on some pictures" >&2; exit 1; }
a=$(best vips_run)
b=$(best floor_run)
c=$(best engine_run)
echo "(a) vipsthumbnail -s $size, xargs -P$cores:  $a s"
echo "(b) djpeg -scale 1/8 (decode floor):       $b s"
echo "(c) pagrimo engine, $cores threads:          $c s"
awk -v a="$a" -v b="$b" -v c="$c" 'BEGIN {
  printf "engine / vipsthumbnail = %.2f (goal 0.80 or less)\n", c / a
  printf "engine / decode floor  = %.2f (goal 1.30 or less)\n", c / b
}'
