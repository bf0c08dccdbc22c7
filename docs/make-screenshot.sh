#!/usr/bin/env bash
# Remakes docs/gallery.png, the README's screenshot: a page of the bundled
# template.dat over five free photographs from Debian's python3-skimage
# package (its sample data; see docs/README.md, "Screenshot"), rendered in
# headless Chromium. The photos are put in a folder with a neutral name,
# because the page's heading shows the folder's path.
# Usage: docs/make-screenshot.sh [FOLDER]   (default "/home/demo/Pictures/Summer 2024",
#        which must not exist yet; it is removed again at the end)
# Needs: build/pagrimo (cmake --build --preset default), chromium, ImageMagick,
# exiftool, and apt-get to download the package (it is not installed).
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-/home/demo/Pictures/Summer 2024}
[ ! -e "$folder" ] || { echo "$folder exists already; name a new folder"; exit 1; }
[ -x build/pagrimo ] || { echo "build/pagrimo is missing: cmake --build --preset default"; exit 1; }

work=$(mktemp -d)
made=$folder
until [ -e "$(dirname "$made")" ]; do made=$(dirname "$made"); done
trap 'rm -rf "$work" "$made"' EXIT
(cd "$work" && apt-get download python3-skimage >/dev/null 2>&1 && dpkg-deb -x python3-skimage_*.deb pkg)
data="$work/pkg/usr/lib/python3/dist-packages/skimage/data"

# Each photo as a camera JPEG with the date it was taken.
mkdir -p "$folder"
while IFS='|' read -r source name taken; do
  convert "$data/$source" -quality 90 "$folder/$name"
  exiftool -q -overwrite_original "-DateTimeOriginal=$taken" "$folder/$name"
  day=${taken%% *}
  touch -d "${day//:/-} 18:00" "$folder/$name"
done <<'LIST'
coffee.png|Breakfast.jpg|2024:07:14 08:12:40
chelsea.png|Chelsea.jpg|2024:07:14 10:31:05
rocket.jpg|Launch day.jpg|2024:07:16 06:02:11
astronaut.png|Visitor centre.jpg|2024:07:16 14:45:52
hubble_deep_field.jpg|Night sky.jpg|2024:07:18 23:20:09
LIST

mkdir "$work/app"
cp build/pagrimo build/template.dat "$work/app/"
printf '[Pagrimo]\r\ndefault=template.dat\r\nsort=taken\r\n' >"$work/app/pagrimo.ini"
LC_ALL=C.UTF-8 TZ=UTC "$work/app/pagrimo" "$folder"
chromium --headless --no-sandbox --disable-gpu --no-first-run --hide-scrollbars \
  --user-data-dir="$work/profile" --window-size=1200,400 --screenshot="$work/shot.png" \
  "file://$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$folder")/index.html" \
  >/dev/null 2>&1
# 256 colours keep the picture small with little visible loss.
convert "$work/shot.png" -strip -dither FloydSteinberg -colors 256 PNG8:docs/gallery.png
echo "docs/gallery.png: $(stat -c %s docs/gallery.png) bytes"
