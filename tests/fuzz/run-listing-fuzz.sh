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

# Seeds: every line of the test corpus on its own (with CR LF), and the captured listings.
/usr/bin/python3 - "$top/tests/data" "$out/seeds" <<'PY'
import os, re, sys
data, seeds = sys.argv[1], sys.argv[2]
def unescape(s):
    s = s.replace('\\t', '\t')
    return re.sub(rb'\\x([0-9a-fA-F]{2})', lambda m: bytes([int(m.group(1), 16)]), s.encode('utf-8', 'surrogateescape'))
n = 0
with open(os.path.join(data, 'listing-corpus.tsv'), encoding='utf-8', errors='surrogateescape') as f:
    for line in f:
        if line.startswith('#') or line.startswith('source\t'):
            continue
        fields = line.rstrip('\n').split('\t')
        if len(fields) > 5:
            with open(os.path.join(seeds, 'corpus-%03d' % n), 'wb') as o:
                o.write(b'\x07' + unescape(fields[5]) + b'\r\n')
            n += 1
for name in os.listdir(data):
    if name.endswith('.lst'):
        with open(os.path.join(data, name), 'rb') as i, open(os.path.join(seeds, name), 'wb') as o:
            o.write(b'\x10' + i.read())
PY

cd "$out"
regressions=()
[ -d "$top/tests/fuzz/regressions" ] && regressions=("$top/tests/fuzz/regressions")
./fuzz_listing -runs=0 "${regressions[@]}" seeds
if [ "$seconds" -gt 0 ]; then
    ./fuzz_listing -max_total_time="$seconds" -max_len=4096 -dict="$top/tests/fuzz/listing.dict" \
        -print_final_stats=1 -artifact_prefix="$out/" corpus seeds
fi
