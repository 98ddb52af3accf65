#!/bin/sh
# Builds the list reader fuzz target with clang (libFuzzer, AddressSanitizer, UBSan) and runs it
# for 60 seconds, seeded with the list files in tests/data. Not part of the main build.
# Usage: fuzz/run.sh [extra libFuzzer options]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${FUZZ_OUT:-$root/build-fuzz}
mkdir -p "$out/corpus"
cp "$root"/tests/data/*.xcpy "$out/corpus/"

src="$root/src/files"
# shellcheck disable=SC2046
clang++ -std=c++20 -O1 -g -fPIC -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" $(pkg-config --cflags Qt6Core) \
    "$here/list_reader_fuzz.cpp" "$src/list_file.cpp" "$src/codepage.cpp" \
    "$src/cp932_encoder.cpp" "$src/row_error.cpp" "$src/safe_write.cpp" \
    $(pkg-config --libs Qt6Core) -o "$out/list_reader_fuzz"

cd "$out"
./list_reader_fuzz -max_total_time=60 -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    "$@" corpus
