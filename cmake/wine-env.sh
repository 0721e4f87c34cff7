#!/usr/bin/env bash
# Shared Wine environment for one build folder: a private prefix, and a display.
#   wine-env.sh up   BUILD_DIR   prepare the prefix, start Xvfb when there is no display
#   wine-env.sh down BUILD_DIR   stop what "up" started (wineserver and Xvfb, by process id)
#   wine-env.sh exec BUILD_DIR PROGRAM [ARGS...]   run a Windows program in that environment
# "exec" uses the display of a running "up" when there is one; otherwise it starts and stops
# its own Xvfb around the program.
set -u
cmd=${1:?usage}; build=$(cd "${2:?usage}" && pwd); shift 2

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
state="$build/.wine-env"

start_xvfb() { # prints "display pid"
    local n
    for n in $(seq 90 190); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        local pid=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && { echo ":$n $pid"; return 0; }
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$pid" 2>/dev/null
    done
    echo "wine-env: could not start Xvfb" >&2
    return 1
}

prepare_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w
    fi
    # Xvfb has no window manager: Wine then draws the windows' frames itself, as Windows
    # does, and does not wait for a manager to confirm that a closed window is gone (which
    # costs seconds per dialog).
    if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
        wineserver -w
    fi
}

# Wine's helper processes (services, devices, the desktop) outlive the program that started
# them and keep its output open, which would leave ctest waiting for the end of the output.
# Starting them here, detached from any output, lets every test program reuse them.
start_services() {
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot </dev/null >/dev/null 2>&1
}

case "$cmd" in
up)
    # An environment that is up already (a repeated run) is reused, not started twice.
    if [ -f "$state" ]; then
        xpid=$(sed -n 's/.*XPID=\([0-9]*\).*/\1/p' "$state")
        if [ -z "$xpid" ] || kill -0 "$xpid" 2>/dev/null; then
            exit 0
        fi
    fi
    xpid=""
    if [ -z "${DISPLAY:-}" ]; then
        read -r disp xpid < <(start_xvfb) || exit 1
        export DISPLAY=$disp
    fi
    prepare_prefix
    start_services   # they stay until "down", so the test programs start quickly
    echo "DISPLAY=$DISPLAY XPID=$xpid" > "$state"
    ;;
down)
    wineserver -k >/dev/null 2>&1
    if [ -f "$state" ]; then
        xpid=$(sed -n 's/.*XPID=\([0-9]*\).*/\1/p' "$state")
        [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
        rm -f "$state"
    fi
    ;;
exec)
    own_xpid=""
    if [ -z "${DISPLAY:-}" ]; then
        if [ -f "$state" ]; then
            disp=$(sed -n 's/^DISPLAY=\([^ ]*\).*/\1/p' "$state")
            xpid=$(sed -n 's/.*XPID=\([0-9]*\).*/\1/p' "$state")
            if [ -n "$xpid" ] && kill -0 "$xpid" 2>/dev/null; then export DISPLAY=$disp; fi
        fi
        if [ -z "${DISPLAY:-}" ]; then
            read -r disp own_xpid < <(start_xvfb) || exit 1
            export DISPLAY=$disp
        fi
    fi
    prepare_prefix
    [ -n "$own_xpid" ] && start_services
    wine "$@"
    rc=$?
    if [ -n "$own_xpid" ]; then
        wineserver -k >/dev/null 2>&1
        kill "$own_xpid" 2>/dev/null
    fi
    exit $rc
    ;;
*)
    echo "usage: wine-env.sh up|down|exec BUILD_DIR [PROGRAM ARGS...]" >&2
    exit 2
    ;;
esac
