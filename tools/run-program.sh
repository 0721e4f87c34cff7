#!/usr/bin/env bash
# Builds Tarnwick2.exe and starts it under Wine on this display.
#   tools/run-program.sh         with the user's own settings
#   tools/run-program.sh demo    first starts a local FTP server (pyftpdlib on 127.0.0.1)
#                                serving a sample folder, and uses a demo settings file whose
#                                current account is that server; log on with Ctrl+L
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
mode=${1:-}
build=build/win
if [ -z "${DISPLAY:-}" ]; then
    echo "No display: set DISPLAY (for example run this from a desktop session)." >&2
    exit 1
fi
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
# The program alone needs no test framework; a build folder the tests made keeps its tests.
tests=()
[ -d /usr/src/googletest ] || tests=(-DTW_BUILD_TESTS=OFF)
[ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" "${generator[@]}" "${tests[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" --target Tarnwick2 -j "$(nproc)"

# A prefix of the program's own, so the user's ~/.wine is left alone.
export WINEPREFIX="$top/build/run-prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

if [ "$mode" = "demo" ]; then
    demo="$top/build/demo"
    rm -rf "$demo/root"
    mkdir -p "$demo/root/pub/docs" "$demo/root/incoming"
    echo "Welcome to the Tarnwick2 demo server." > "$demo/root/README.txt"
    seq 1 20000 > "$demo/root/pub/numbers.txt"
    head -c 3000000 /dev/urandom > "$demo/root/pub/random.bin"
    echo "A document in a sub-folder." > "$demo/root/pub/docs/notes.txt"
    port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -w -d "$demo/root" -u demo -P demo >"$demo/server.log" 2>&1 &
    server_pid=$!
    printf '[USERPREFS]\r\nACCOUNTS=Demo\r\nDEFAULT=Demo\r\n\r\n[USERPREFS/Demo]\r\nSERVER=127.0.0.1\r\nPORT=%s\r\nUSER=demo\r\nWORD=demo\r\nWORDSAVED=1\r\nANONYMOUS=N\r\nPASV=Y\r\n' \
        "$port" > "$demo/Tarnwick2-demo.ini"
    wineboot -i >/dev/null 2>&1 || true
    export TARNWICK2_INI=$(winepath -w "$demo/Tarnwick2-demo.ini" 2>/dev/null)
    echo "Demo server on 127.0.0.1:$port (user demo, password demo), serving $demo/root."
    echo "Log on with Ctrl+L (File > Logon); the FTP dialogue appears in the trace bar."
fi
wine "$build/app/Tarnwick2.exe"
