#!/usr/bin/env bash
# The benchmark in one command: bench/run.sh [--small] [--runs N] [--baseline BIN]
# Installs what it needs (Debian, as root, no questions), builds the program
# when build/pagrimo is missing, then runs bench/bench.py with the arguments.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v tree >/dev/null || need+=(tree)
[ -x /usr/bin/time ] || need+=(time)
[ -x /usr/bin/python3 ] || need+=(python3)
command -v localedef >/dev/null || need+=(locales)
command -v find >/dev/null || need+=(findutils)
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" </dev/null
fi
# A real locale, whose collation is where sorting gets slow.
if ! locale -a 2>/dev/null | grep -qix 'en_US.utf8'; then
  if [ ! -d /usr/share/i18n/locales ] || [ ! -e /usr/share/i18n/locales/en_US ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq locales </dev/null
  fi
  localedef -i en_US -c -f UTF-8 en_US.UTF-8
fi

if [ ! -x build/pagrimo ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target pagrimo
fi

exec /usr/bin/python3 bench/bench.py "$@"
