#!/bin/sh
# Makes the small pictures that tests/previews_test.cpp and the engines'
# tests read (committed, so that the Windows tests under wine have them too).
# The gallery runs with previewsize=256. Needs ImageMagick 6, libvips-tools,
# exiftool and ghostscript's a98.icc.
set -eu
cd "$(dirname "$0")"
im=/usr/bin/convert-im6.q16
# The own-preview rule's edge: exactly 256 wide, and a pixel more.
$im -size 256x170 xc:'#4060a0' -quality 90 edge.jpg
$im -size 257x170 xc:'#4060a0' -quality 90 over.jpg
# Stored 240x320, shown turned a quarter clockwise: 320x240, red top-left.
$im -size 320x240 xc:'rgb(0,200,0)' -fill 'rgb(220,0,0)' -draw 'rectangle 0,0 106,79' \
  -rotate 270 -quality 90 turned.jpg
exiftool -q -overwrite_original -Orientation#=6 turned.jpg
# 320x240 with a transparent bottom-right block.
$im -size 320x240 xc:'rgb(0,200,0)' -alpha set -region 107x80+213+160 -alpha transparent \
  +region PNG32:clear.png
# One colour, rgb(200,100,50), in Display P3 and in Adobe RGB (1998): shown
# in sRGB as about (215,93,32) and (227,100,42); untagged.jpg keeps it.
work=$(mktemp -d)
vips black "$work/b.v" 320 240 --bands 3
vips linear "$work/b.v" "$work/c.v" "1 1 1" "200 100 50"
vips cast "$work/c.v" "$work/u.v" uchar
vips jpegsave "$work/u.v" p3.jpg --Q 95 --profile p3
vips jpegsave "$work/u.v" adobe.jpg --Q 95 --profile /usr/share/color/icc/ghostscript/a98.icc
vips jpegsave "$work/u.v" untagged.jpg --Q 95 --profile none
rm -rf "$work"
# The decode-scale scene, 2400x1600 (ten times the engines' scene).
$im -size 2400x1600 'xc:rgb(0,200,0)' -fill 'rgb(220,0,0)' -draw 'rectangle 0,0 799,539' \
  -fill 'rgb(0,0,220)' -draw 'rectangle 1600,1060 2399,1599' -quality 50 -sampling-factor 2x2 \
  scene-2400.jpg
ls -l
