#!/usr/bin/env bash
# Fuzzes the isa4 command's readers with libFuzzer for a chosen time, under
# AddressSanitizer and UndefinedBehaviorSanitizer. Two targets:
#
#   isa4_fuzz          text readers: the assembler (its listings must reassemble), symbol
#                      files (must read back), expectation and cell-value files, suites
#                      and the reports of a suite (no raw control byte, UTF-8)
#   isa4_fuzz_images   image readers: raw, Intel HEX and Logisim as ROM and RAM (values
#                      fit, images round-trip through every format)
#   isa4_fuzz_lsp      isa4 lsp: the framing and the requests (replies framed, JSON)
#
#   scripts/fuzz.sh                          # isa4_fuzz, 60 seconds
#   scripts/fuzz.sh 1200                     # 20 minutes; further arguments go to libFuzzer
#   FUZZ_TARGET=isa4_fuzz_images scripts/fuzz.sh 300
#
# Builds build-fuzz/ with clang, seeds each target's corpus build-fuzz/corpus-TARGET/ from
# examples/ (and, for images, a few small text images) and keeps it between runs. A crash
# leaves its input as build-fuzz/crash-* and exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
target=${FUZZ_TARGET:-isa4_fuzz}

scripts/deps.sh build fuzz
cmake --preset fuzz >/dev/null
cmake --build build-fuzz --target "$target" -j"$(nproc)"
corpus=build-fuzz/corpus-$target
mkdir -p "$corpus"
find examples -type f \( -name '*.s' -o -name '*.expect' -o -name '*.data' -o -name '*.suite' \) \
    -exec cp -n {} "$corpus"/ \;
if [ "$target" = isa4_fuzz_lsp ]; then
    # Framed requests; an odd first byte opens a document before them.
    frame() { printf 'Content-Length: %d\r\n\r\n%s' "${#1}" "$1"; }
    at='"textDocument":{"uri":"file:///f.s"},"position":{"line":1,"character":7}'
    for method in hover definition references completion; do
        frame "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"textDocument/$method\",\"params\":{$at}}" \
            | { printf '\001'; cat; } >"$corpus/seed-$method"
    done
    frame '{"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"file:///f.s","version":2},"contentChanges":[{"range":{"start":{"line":1,"character":0},"end":{"line":2,"character":3}},"text":"x:"}]}}' \
        | { printf '\001'; cat; } >"$corpus/seed-change"
fi
if [ "$target" = isa4_fuzz_images ]; then
    printf ':03000000011001EB\n:0100030002FA\n:00000001FF\n' >"$corpus/seed.hex"
    printf 'v2.0 raw\n# a ROM\n11001 2 3 4*5 251*0\n' >"$corpus/seed.lgs"
    printf '\001\020\001\002\000\002' >"$corpus/seed.rom"
fi
cd build-fuzz
exec "./$target" -max_total_time="$seconds" -max_len=4096 "$@" "corpus-$target"
