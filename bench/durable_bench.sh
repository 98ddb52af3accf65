#!/usr/bin/env bash
# Times a first copy that is on the disk when it ends: xcpycmd (which makes every copy durable
# before it names it, and the names before it reports the line) against `cp -a` followed by one
# `sync -f`, and against `rsync -a --fsync`, onto an ext4 file system in a loop-mounted image.
# The source lies in memory, so the destination's disk is what is timed. Needs root and a loop
# device; prints ratios against the targets. Run by hand or through tools/bench.sh:
#
#   bench/durable_bench.sh [path/to/xcpycmd]
#
# Environment: XCPY_BENCH_FILES (default 20000 small files), XCPY_BENCH_ROUNDS (default 5).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
xcpycmd=$(realpath "${1:-$repo/build-release/bin/xcpycmd}")
files=${XCPY_BENCH_FILES:-20000}
rounds=${XCPY_BENCH_ROUNDS:-5}

if [[ $(id -u) != 0 ]] || ! command -v mkfs.ext4 >/dev/null || ! losetup -f >/dev/null 2>&1; then
    echo "durable first copy: skipped (needs root, mkfs.ext4 and a free loop device)"
    exit 0
fi
command -v rsync >/dev/null || apt-get install -y -qq rsync >/dev/null

work=$(mktemp -d "$repo/build-bench-durable.XXXXXX")
source=$(mktemp -d /dev/shm/durable-src.XXXXXX)
cleanup() {
    umount "$work/mnt" 2>/dev/null || true
    rm -rf "$work" "$source"
}
trap cleanup EXIT
mkdir "$work/mnt"
truncate -s 4G "$work/ext4.img"
mkfs.ext4 -q -F "$work/ext4.img"
mount -o loop "$work/ext4.img" "$work/mnt"

python3 "$here/small_tree.py" "$source/small" "$files"

# shellcheck source-path=SCRIPTDIR source=timing.sh
source "$here/timing.sh"

printf 'XCopy.exe "%s" "%s" /E /I /Y\r\n' "$source/small" "$work/mnt/dst-x" >"$work/run.bat"
xcopy() { "$xcpycmd" /c "$work/run.bat" </dev/null; }
cpsync() { cp -a "$source/small" "$work/mnt/dst-cp" && sync -f "$work/mnt/dst-cp"; }

echo "xcpycmd: $xcpycmd"
echo "==== durable first copy of $files small files onto ext4 (loop image); $rounds rounds, medians ===="
tx=() tc=()
for ((r = 0; r < rounds; r++)); do
    rm -rf "$work/mnt/dst-x" "$work/mnt/dst-cp"; sync
    if ((r % 2 == 0)); then
        tc+=("$(seconds cpsync)"); tx+=("$(seconds xcopy)")
    else
        tx+=("$(seconds xcopy)"); tc+=("$(seconds cpsync)")
    fi
done
diff -r "$source/small" "$work/mnt/dst-x" >/dev/null || echo "!! the copy differs from the source"
report "durable first copy" "$(median "${tx[@]}")" "$(median "${tc[@]}")" "cp -a && sync -f" 0.60
rm -rf "$work/mnt/dst-r"; sync
trsync=$(seconds rsync -a --fsync "$source/small/" "$work/mnt/dst-r/")
report "durable first copy" "$(median "${tx[@]}")" "$trsync" "rsync -a --fsync (once)" 0.10
