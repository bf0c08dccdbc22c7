#!/usr/bin/env bash
# Remakes the small pictures that the thumbnail tests read (both builds read
# the same files). Every picture shows one scene, 240x160 as displayed: green,
# with a red block in the top-left corner and a blue one in the bottom-right
# corner (transparent instead of blue in alpha.png). The orient-N.jpg files
# store the scene so that EXIF orientation N turns it upright. BMPs are made
# by the tests themselves. Needs imagemagick, libvips-tools and exiftool.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scene=$work/scene.png
convert -size 240x160 'xc:rgb(0,200,0)' -fill 'rgb(220,0,0)' -draw 'rectangle 0,0 79,53' \
  -fill 'rgb(0,0,220)' -draw 'rectangle 160,106 239,159' -type TrueColor "PNG24:$scene"

convert "$scene" -quality 90 baseline.jpg
convert "$scene" -quality 90 -interlace JPEG progressive.jpg
convert "$scene" -quality 90 -colorspace CMYK cmyk.jpg
convert "$scene" -quality 90 -colorspace Gray grey.jpg
convert "$scene" -define png:color-type=2 rgb.png
convert "$scene" -depth 16 PNG48:deep.png
convert "$scene" PNG8:palette.png
convert "$scene" -interlace PNG interlaced.png
convert "$scene" -alpha set -region 80x54+160+106 -alpha transparent +region PNG32:alpha.png
convert "$scene" \( -size 240x160 'xc:rgb(0,0,220)' \) -set delay 50 -loop 0 animated.gif

# Orientation N: the stored picture is the inverse of what N does to it.
inverse=(none "-flop" "-rotate 180" "-flip" "-transpose" "-rotate 270" "-transverse" "-rotate 90")
for n in 1 2 3 4 5 6 7 8; do
  op=${inverse[$((n - 1))]}
  [ "$op" = none ] && op=""
  # shellcheck disable=SC2086
  convert "$scene" $op -quality 90 "orient-$n.jpg"
  exiftool -q -overwrite_original "-Orientation#=$n" "orient-$n.jpg"
done
ls -l
# The scene as today's formats (made by the codecs' own encoders): WebP lossy
# and lossless with the transparent block, HEIF, and AVIF stored turned a
# quarter clockwise with irot (a quarter anticlockwise) bringing it upright,
# and an EXIF orientation 6 that must not turn it a second time.
cwebp -quiet -q 90 "$scene" -o scene.webp
cwebp -quiet -lossless alpha.png -o alpha.webp
heif-enc -q 90 -o scene.heic "$scene" >/dev/null
convert "$scene" -rotate 90 "$work/sideways.png"
convert "$scene" -quality 90 "$work/o6.jpg"
exiftool -q -overwrite_original -Orientation#=6 "$work/o6.jpg"
exiftool -q -b -Exif "$work/o6.jpg" >"$work/exif.bin"
avifenc --irot 1 --exif "$work/exif.bin" "$work/sideways.png" turned.avif >/dev/null
ls -l scene.webp alpha.webp scene.heic turned.avif
