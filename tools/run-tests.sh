#!/usr/bin/env bash
# Builds both targets and runs every suite:
#   native      - the portable engine and its tests (unit, server)
#   sanitizers  - the same native suites under AddressSanitizer and UBSan
#   windows     - Tarnwick2.exe and all tests, cross-built with mingw-w64, run under Wine
# Every suite runs even when an earlier one fails; the exit code says whether all passed.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=${TW_JOBS:-$(nproc)}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
failed=()

build() { # name, cmake arguments...
    local name=$1; shift
    echo "=== build $name"
    cmake -S . -B "build/$name" "${generator[@]}" -DTW_WERROR=ON -DTW_BUILD_TESTS=ON "$@" >/dev/null &&
        cmake --build "build/$name" -j "$jobs"
}

suite() { # name, ctest arguments...
    local name=$1; shift
    echo "=== test $name"
    ctest --test-dir "build/$name" -j "$jobs" --output-on-failure "$@" || failed+=("$name")
}

if build native; then suite native; else failed+=("native build"); fi
if build asan -DTW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug; then
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        suite asan -L 'unit|server'
else
    failed+=("asan build")
fi
if build win -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake"; then
    suite win
else
    failed+=("windows build")
fi

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All suites passed."
