#!/usr/bin/env bash
# Hostile input: each libFuzzer target for a bounded time, clang-tidy and
# cppcheck over the program's sources, and one end-to-end run under valgrind.
# The tree-from-hell and write-failure tests run with the other tests, native
# and under the sanitizers, in .ci/run.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

need=()
for pkg in clang libclang-rt-14-dev clang-tidy cppcheck valgrind util-linux cmake ninja-build; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

# The fuzzers: about 90 seconds together. New inputs go to a scratch folder;
# the seed corpora in fuzz/corpus are only read. A crash leaves its input in
# build-fuzz/ and fails the run.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in template settings expand pattern picture_facts video_facts; do
  echo "== fuzz $target"
  mkdir -p "$scratch/$target"
  if ! (cd build-fuzz && "fuzz/${target}_fuzz" "$scratch/$target" "../fuzz/corpus/$target" \
        -max_total_time=15 -max_len=1024 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 >"$scratch/$target.log" 2>&1); then
    tail -n 60 "$scratch/$target.log"
    echo "fuzz $target: FAILED"
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units)' "$scratch/$target.log" || true
done

# The program's own sources as the native build compiles them (tests and
# other platforms' files excluded): zero findings from either tool.
cmake --preset default >/dev/null
cmake --build --preset default
mapfile -t sources < <(grep -o '"file": *"[^"]*"' build/compile_commands.json | sed 's/.*"\([^"]*\)"$/\1/' |
  grep '/src/' | grep -v '_test\.cpp$' | sort -u)
echo "== clang-tidy (${#sources[@]} files)"
if ! printf '%s\n' "${sources[@]}" | xargs -P2 -n3 clang-tidy -p build --quiet >"$scratch/tidy.log" 2>&1; then
  grep -v 'warnings generated' "$scratch/tidy.log"
  echo "clang-tidy: findings"
  exit 1
fi
echo "== cppcheck"
cppcheck --enable=warning,performance,portability --inline-suppr --error-exitcode=1 --quiet \
  --std=c++20 --language=c++ -I src "${sources[@]}"

# One end-to-end run under valgrind: a page per folder (listing mode 2) on a
# copy of the sample pictures, pages compared with the native run's. The
# template makes no thumbnails: libvips loads modules built with instructions
# that valgrind cannot run (libhwy); the thumbnail work runs under the
# sanitizers with the other tests.
echo "== valgrind"
tests/support/copy_samples.sh samples/photos "$scratch/native"
tests/support/copy_samples.sh samples/photos "$scratch/valgrind"
mkdir "$scratch/app"
cp build/pagrimo "$scratch/app/"
printf '2,0\r\n[path&] [numfile]\r\n[dirlist][filelist]\r\n*\r\n<a href="[relfile%%]">[reldir&]</a>\r\n*\r\n<a href="[filename%%]">[filename&]</a> [filesize] [filedate]\r\n*\r\n' \
  >"$scratch/app/t.dat"
printf '[Pagrimo]\r\ndefault=t.dat\r\n' >"$scratch/app/pagrimo.ini"
"$scratch/app/pagrimo" "$scratch/native"
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect --quiet \
  "$scratch/app/pagrimo" "$scratch/valgrind"
pages=0
while IFS= read -r page; do
  cmp -s <(sed "s|$scratch/native|ROOT|g" "$scratch/native/$page") \
    <(sed "s|$scratch/valgrind|ROOT|g" "$scratch/valgrind/$page") ||
    { echo "valgrind run: $page differs from the native run's"; exit 1; }
  pages=$((pages + 1))
done < <(cd "$scratch/native" && find . -name '*.html')
[ "$pages" -gt 0 ] || { echo "valgrind run: no page written"; exit 1; }

echo "hostile checks done in $((SECONDS - started)) s ($pages pages under valgrind)"
echo "hostile: 7 passed, 0 failed"
