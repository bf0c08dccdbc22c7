#!/usr/bin/env bash
# Poster benchmark: pagrimo's first run over a folder of clips, making each
# clip's thumbnail and preview from one poster frame, against the ffmpeg
# command line making one 400-wide poster per clip
# (ffmpeg -ss 1 -i CLIP -frames:v 1 -vf scale=400:-2), both on all cores
# (xargs -P<cores> for ffmpeg); and the re-run over the unchanged folder
# against a run of the plain template ([filename] [filesize] [filedate]).
#
#   bench/posters.sh [--smoke] [--runs 3] [--work DIR]
#
# The clips (made once in --work, reused): 40 names over six distinct clips,
# hard-linked as the preview benchmark links its pictures: 1080p H.264 of
# 30 s (four of them, a key frame every 250 frames as x264 makes by default),
# a 4K HEVC clip of 10 s and a 1080p clip stored sideways (shown turned a
# quarter). --smoke: four short small clips, one of each kind and a WebM.
# The run lists the clips with videos=mp4 mov webm in its settings; a program
# that lists no videos yet is timed through build/thumb_bench instead (the
# engine alone, the same copies, the same threads), and the re-run is then
# left out. Goals: first run at most 0.6x the ffmpeg runs, re-run at most
# 1.2x the plain run. Wall seconds and CPU seconds (user and system of the
# command and its children, so a loaded machine shows in the wall times
# only), medians of --runs runs. Times never fail the script; a missing
# poster does.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
smoke=0 runs=3 work=/tmp/pagrimo-bench-posters
while (($#)); do
  case $1 in
    --smoke) smoke=1 ;;
    --runs) runs=$2 && shift ;;
    --work) work=$2 && shift ;;
    *) echo "usage: bench/posters.sh [--smoke] [--runs N] [--work DIR]" >&2 && exit 2 ;;
  esac
  shift
done
source bench/prepare.sh
bench_needs ffmpeg:ffmpeg exiftool:libimage-exiftool-perl
bench_build pagrimo thumb_bench
cores=$(nproc)
mkdir -p "$work"
work=$(cd "$work" && pwd)

# ---- The clips ------------------------------------------------------------------
encode() {  # encode OUT SIZE SECONDS CODEC-OPTIONS...
  local out=$1 size=$2 seconds=$3
  shift 3
  [ -s "$out" ] && return
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=$size:r=30:d=$seconds" \
    -pix_fmt yuv420p "$@" "$out.part.${out##*.}"
  mv "$out.part.${out##*.}" "$out"
}
distinct=$work/distinct
if [ $smoke = 1 ]; then
  distinct=$work/distinct-smoke
  mkdir -p "$distinct"
  encode "$distinct/a.mp4" 320x180 2 -c:v libx264 -preset ultrafast
  encode "$distinct/b.mov" 320x180 2 -c:v libx265 -preset ultrafast -tag:v hvc1 \
    -x265-params log-level=error
  encode "$distinct/c.webm" 320x180 2 -c:v libvpx-vp9 -deadline realtime -cpu-used 8
  kinds=(a.mp4 b.mov c.webm d.mp4)
  count=4
else
  mkdir -p "$distinct"
  for k in 1 2 3 4; do
    encode "$distinct/h264-$k.mp4" 1920x1080 30 -c:v libx264 -preset ultrafast -crf 23 \
      -vf "hue=h=$((k * 70))"
  done
  encode "$distinct/hevc-4k.mov" 3840x2160 10 -c:v libx265 -preset ultrafast -tag:v hvc1 \
    -x265-params log-level=error
  kinds=(h264-1.mp4 h264-2.mp4 h264-3.mp4 h264-4.mp4 hevc-4k.mov turned.mp4)
  count=40
fi
turned=$distinct/${kinds[-1]}
if [ ! -s "$turned" ]; then
  cp "$distinct/${kinds[0]}" "$turned.part"
  exiftool -q -overwrite_original -Rotation=90 "$turned.part"
  mv "$turned.part" "$turned"
fi
clips=$work/clips-$count
if [ ! -d "$clips" ]; then
  mkdir -p "$clips.part"
  for ((i = 0; i < count; i++)); do
    kind=${kinds[i % ${#kinds[@]}]}
    ln "$distinct/$kind" "$clips.part/$(printf 'CLIP_%04d' $((i + 1))).${kind##*.}"
  done
  mv "$clips.part" "$clips"
fi
plain=$work/plain-$count
if [ ! -d "$plain" ]; then
  mkdir -p "$plain.part"
  ln "$clips"/* "$plain.part/"
  mv "$plain.part" "$plain"
fi
cat "$clips"/* >/dev/null

# ---- The commands ---------------------------------------------------------------
install() {  # install NAME ITEM: a copy of the program with its own settings
  local app=$work/app-$1
  rm -rf "$app" && mkdir -p "$app"
  cp build/pagrimo "$app/"
  printf '0,0\r\n[filelist]\r\n*\r\n*\r\n%s<br>\r\n*\r\n' "$2" >"$app/t.dat"
  printf '[Pagrimo]\ndefault=t.dat\nvideos=mp4 mov webm\n' >"$app/pagrimo.ini"
}
install both '[thumb] [preview]'
install plain '[filename] [filesize] [filedate]'
out=$work/ffmpeg-out
rm -rf "$out" && mkdir -p "$out"
ffmpeg_run() {
  find "$clips" -maxdepth 1 -type f ! -name '*.html' -print0 |
    xargs -0 -P "$cores" -n 1 sh -c 'ffmpeg -nostdin -loglevel error -y -ss 1 -i "$1" \
      -frames:v 1 -vf scale=400:-2 "$0/${1##*/}.jpg"' "$out"
}
fresh() { rm -rf "$clips/.thumbs" "$work/engine-out" && mkdir -p "$work/engine-out"; }
engine_run() {
  build/thumb_bench --size 400 --preview 2048 --video 1 "$work/engine-out" "$clips"/CLIP_* >/dev/null
}
program_run() { env -u DISPLAY -u WAYLAND_DISPLAY "$work/app-both/pagrimo" "$clips" >/dev/null; }
plain_run() { env -u DISPLAY -u WAYLAND_DISPLAY "$work/app-plain/pagrimo" "$plain" >/dev/null; }
seconds() {  # seconds COMMAND: its wall and CPU seconds, medians of the runs
  local walls=() cpus=() took
  for ((r = 0; r < runs; r++)); do
    [ "$1" = first_run ] && fresh
    took=$( { TIMEFORMAT='%R %U %S' && time "$1" >/dev/null; } 2>&1 | tail -1)
    walls+=("${took%% *}")
    cpus+=("$(echo "$took" | awk '{print $2 + $3}')")
  done
  echo "$(median "${walls[@]}") $(median "${cpus[@]}")"
}
median() { printf '%s\n' "$@" | sort -n | awk '{t[NR] = $1} END {print t[int((NR + 1) / 2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

fresh
# A program that lists no videos finds nothing to do in a folder of clips.
program_run 2>/dev/null || true
posters=$(find "$clips/.thumbs" -maxdepth 1 -name '*.preview.*' 2>/dev/null | wc -l) || true
if [ "$posters" -eq "$count" ]; then
  lister="pagrimo [thumb] [preview]"
  first_run() { program_run; }
else
  lister="thumb_bench 400 + 2048 (this pagrimo lists no videos)"
  first_run() { engine_run; }
  fresh
  engine_run
  posters=$(find "$work/engine-out" -name '*.preview.jpg' | wc -l)
fi
if [ "$posters" -ne "$count" ]; then
  echo "FAIL: $posters posters for $count clips" >&2
  exit 1
fi
ffmpeg_run
made=$(find "$out" -name 'CLIP_*.jpg' | wc -l)
read -r ffmpeg_s ffmpeg_cpu < <(seconds ffmpeg_run)
read -r first_s first_cpu < <(seconds first_run)
row() {  # row LABEL WALL CPU [NOTE]
  printf '%-52s %8.3f %8.3f  %s\n' "$1" "$2" "$3" "${4:-}"
}
printf '%-52s %8s %8s  %s\n' "command ($count clips, $cores cores)" "wall s" "CPU s" "note"
row "ffmpeg -ss 1 ... scale=400:-2, xargs -P$cores" "$ffmpeg_s" "$ffmpeg_cpu"
row "$lister" "$first_s" "$first_cpu" "$(ratio "$first_s" "$ffmpeg_s")x ffmpeg (goal <= 0.6), \
CPU $(ratio "$first_cpu" "$ffmpeg_cpu")x"
if [[ $lister == pagrimo* ]]; then
  program_run
  plain_run
  read -r rerun_s rerun_cpu < <(seconds program_run)
  read -r plain_s plain_cpu < <(seconds plain_run)
  row "pagrimo re-run" "$rerun_s" "$rerun_cpu" "$(ratio "$rerun_s" "$plain_s")x plain (goal <= 1.2)"
  row "pagrimo plain name/size/date" "$plain_s" "$plain_cpu"
fi
[ "$made" -eq "$count" ] || echo "note: ffmpeg made $made of $count posters"
load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "load average $load on $cores cores when done; clips in $clips"
