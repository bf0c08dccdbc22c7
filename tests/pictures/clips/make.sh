#!/bin/sh
# Makes the small clips that the poster tests read (committed, so that the
# Windows tests under wine have them too). Each shows the engines' scene
# (green with a red block at the top left, a third of each side) stored
# 160x96, 10 frames a second, a key frame every second, 4 seconds long.
# Needs ffmpeg (libx264, libx265, libvpx-vp9) and exiftool.
set -eu
cd "$(dirname "$0")"
scene='color=c=0x00c800:s=160x96:r=10:d=4,drawbox=x=0:y=0:w=53:h=32:color=0xdc0000:t=fill'
make() {  # make NAME FILTER CODEC-OPTIONS...
  name=$1 filter=$2
  shift 2
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "$filter" -pix_fmt yuv420p -g 10 "$@" "$name"
}
make scene.mp4 "$scene" -c:v libx264 -crf 30 -metadata creation_time=2024-05-01T11:46:42Z
# Stored sideways as phones do, shown turned a quarter clockwise (96x160).
make turned.mp4 "$scene" -c:v libx264 -crf 30
exiftool -q -overwrite_original -Rotation=90 turned.mp4
# Black until 1.2 s (a fade-in): the first two poster times are black.
make fade.mp4 "$scene,fade=t=in:st=1.2:d=0.1" -c:v libx264 -crf 30
# The codecs that Windows decodes only with a Store extension.
make hevc.mov "$scene" -c:v libx265 -crf 32 -tag:v hvc1 -x265-params log-level=error
make scene.webm "$scene" -c:v libvpx-vp9 -crf 40 -b:v 0
