#!/bin/sh
# Makes the small pictures that tests/thumbnails_test.cpp indexes (committed,
# so that the Windows tests under wine have them too). Needs ImageMagick 6
# and exiftool.
set -eu
cd "$(dirname "$0")"
im=/usr/bin/convert-im6.q16
$im -size 64x48 xc:'#3070c0' -fill '#e03020' -draw 'rectangle 0,0 15,11' -quality 90 landscape.jpg
exiftool -q -overwrite_original -DateTimeOriginal='2021:06:15 14:30:05' -ModifyDate='2019:01:01 00:00:00' landscape.jpg
# Stored 64x48, shown turned a quarter clockwise: 48x64.
$im -size 64x48 xc:'#30c070' -fill '#e03020' -draw 'rectangle 0,0 15,11' -quality 90 rotated.jpg
exiftool -q -overwrite_original -Orientation#=6 -ModifyDate='2020:01:02 03:04:05' rotated.jpg
$im -size 800x600 gradient:'#204080-#f0e0a0' -quality 85 big.jpg
$im -size 30x20 xc:'#808000' plain.png
$im -size 40x40 xc:none -fill '#c02080' -draw 'circle 20,20 20,5' alpha.png
$im -size 20x10 xc:'#ff8000' small.gif
$im -size 12x8 xc:'#0080ff' -type TrueColor BMP3:tiny.bmp
