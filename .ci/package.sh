#!/usr/bin/env bash
# Builds the Debian package with cpack and checks it: its dependencies are
# computed by dpkg-shlibdeps, it holds the program, the bundled settings and
# templates, the menu entry and the manual page, the entry validates and the
# manual page renders.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
for pkg in cmake ninja-build g++ googletest libgtest-dev dpkg-dev desktop-file-utils man-db groff-base; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

cmake --preset default && cmake --build --preset default --target pagrimo
rm -f build/pagrimo_*.deb
(cd build && cpack -G DEB)
deb=$(ls build/pagrimo_*.deb)

fail() {
  echo "package: FAILED: $*"
  exit 1
}
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/pagrimo ./usr/share/pagrimo/pagrimo.ini ./usr/share/pagrimo/template.dat \
  ./usr/share/pagrimo/list.dat ./usr/share/pagrimo/tree.dat \
  ./usr/share/applications/pagrimo.desktop; do
  grep -qx "$path" <<<"$contents" || fail "$path is missing"
done
grep -Eqx '\./usr/share/man/man1/pagrimo\.1(\.gz)?' <<<"$contents" || fail "the manual page is missing"
for field in Package Version Architecture Maintainer Section Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "no $field"
done
# Computed from the program's libraries, so at least the C library is there.
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libc6 (>= ' <<<"$depends" || fail "Depends was not computed: '$depends'"
# libvips and FFmpeg's libraries are loaded at run time, out of dpkg-shlibdeps' sight.
for library in libvips libavutil libswscale libavcodec libavformat; do
  grep -Eq "(^|, )$library[0-9]+(,|$)" <<<"$depends" || fail "Depends lacks $library: '$depends'"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work"
desktop-file-validate "$work/usr/share/applications/pagrimo.desktop"
man_page=$(ls "$work"/usr/share/man/man1/pagrimo.1*)
rendered=$(MANWIDTH=80 man -l "$man_page")
warnings=$(zcat -f "$man_page" | groff -man -ww -z 2>&1)
[ -z "$warnings" ] || fail "the manual page: $warnings"
for section in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" EXAMPLES; do
  grep -q "^$section" <<<"$rendered" || fail "the manual page has no $section"
done
# The packaged program finds the packaged settings beside its bin/.
tests/support/copy_samples.sh samples/photos "$work/photos"
HOME="$work" "$work/usr/bin/pagrimo" "$work/photos" || fail "the packaged program failed"
[ -s "$work/photos/index.html" ] || fail "the packaged program wrote no page"
echo "package: $deb checked"
