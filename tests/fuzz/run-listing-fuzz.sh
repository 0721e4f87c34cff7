#!/usr/bin/env bash
# Builds the listing fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) and runs it.
#   tests/fuzz/run-listing-fuzz.sh [seconds]      default 600; 0 only builds and replays
# Work folder: build/fuzz (binary, seeds, the growing corpus). Inputs that once failed live in
# tests/fuzz/regressions and are replayed first.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-600}
out=$top/build/fuzz
mkdir -p "$out/seeds" "$out/corpus"
cxx=${CXX_FUZZ:-clang++}

"$cxx" -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$top" "$top/tests/fuzz/fuzz_listing.cpp" "$top/transfer/FtpListEntry.cpp" \
    "$top/transfer/ListingSplitter.cpp" "$top/common/CString.cpp" -o "$out/fuzz_listing"

# Seeds: each line of the test corpus (its sixth column, with CR LF) and the captured listings,
# behind the byte that picks the block size.
grep -v '^#' "$top/tests/data/listing-corpus.tsv" | tail -n +2 | cut -f6 |
    sed 's/\\t/\t/g; s/^/\x07/; s/$/\r/' | split -l 1 - "$out/seeds/corpus-"
for f in "$top"/tests/data/*.lst; do
    printf '\x10' | cat - "$f" >"$out/seeds/$(basename "$f")"
done

cd "$out"
regressions=()
[ -d "$top/tests/fuzz/regressions" ] && regressions=("$top/tests/fuzz/regressions")
./fuzz_listing -runs=0 "${regressions[@]}" seeds
if [ "$seconds" -gt 0 ]; then
    ./fuzz_listing -max_total_time="$seconds" -max_len=4096 -dict="$top/tests/fuzz/listing.dict" \
        -print_final_stats=1 -artifact_prefix="$out/" corpus seeds
fi
