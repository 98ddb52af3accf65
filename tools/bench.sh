#!/usr/bin/env bash
# Builds in Release and runs the benchmarks; each prints its figures as ratios to its target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DXCPY_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j2
export QT_QPA_PLATFORM=offscreen
# The folder tests of the list benchmark create 65,534 folders: a memory-backed folder keeps the
# setup short without changing what is timed.
TMPDIR=${TMPDIR:-/dev/shm} build-release/bin/batchlist_bench
build-release/bin/files_bench
build-release/bin/console_bench build-release/bin/xcpycmd
build-release/bin/preview_bench build-release/bin/xcpycmd
bash bench/xcopy_bench.sh build-release/bin/xcpycmd
bash bench/durable_bench.sh build-release/bin/xcpycmd
