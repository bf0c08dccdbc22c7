#!/usr/bin/env bash
# Remakes the captioned photos that the caption tests read where no exiftool
# is at hand (the Windows build under wine): copies of ../baseline.jpg with
# an XMP title over an IPTC name and a camera's ImageDescription, and with
# the XPTitle in Japanese that Windows' Explorer writes. Needs exiftool.
set -euo pipefail
cd "$(dirname "$0")"
cp ../baseline.jpg harbour.jpg
exiftool -q -overwrite_original -XMP-dc:Title='Harbour at dawn' -IPTC:ObjectName='Old name' \
  -EXIF:ImageDescription='SONY DSC' harbour.jpg
cp ../baseline.jpg fuji.jpg
exiftool -q -overwrite_original -EXIF:XPTitle='富士山の朝' \
  -EXIF:ImageDescription='OLYMPUS DIGITAL CAMERA' fuji.jpg
