# The set-up the benchmark scripts share; sourced from the repository's root.
# bench_needs COMMAND:PACKAGE ... installs the Debian packages of the commands
# that are missing; bench_build TARGET ... builds the targets when any of
# build/TARGET is missing.
bench_needs() {
  local need=() pair
  for pair in "$@"; do
    command -v "${pair%%:*}" >/dev/null || need+=("${pair#*:}")
  done
  if ((${#need[@]})); then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" </dev/null
  fi
}

bench_build() {
  local target
  for target in "$@"; do
    [ -x "build/$target" ] && continue
    tools/deps
    cmake --preset default >/dev/null
    cmake --build --preset default --target "$@"
    return
  done
}
