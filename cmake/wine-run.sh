#!/usr/bin/env bash
# CMAKE_CROSSCOMPILING_EMULATOR: runs a Windows program of this build under Wine, with the
# build folder's private prefix and a display (see wine-env.sh).
set -u
prog=${1:?usage: wine-run.sh PROGRAM [ARGS...]}
dir=$(cd "$(dirname "$prog")" && pwd)
build=$dir
while [ "$build" != "/" ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ -f "$build/CMakeCache.txt" ] || build=$dir
exec "$(dirname "$0")/wine-env.sh" exec "$build" "$@"
