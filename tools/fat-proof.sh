#!/usr/bin/env bash
# Copies a folder of many files onto fresh FAT16 images through fusefat, with one and with four
# workers, and checks every image: each copy equal to its source, a second newer-only run copying
# nothing, the same again after every source has been rewritten newer, and `fsck.vfat -n` clean.
# The test ManyFilesCopiedThroughFusefatStayIntact does this on one image per worker count; this
# script repeats it on as many images as wanted. Run by hand, as root:
#
#   tools/fat-proof.sh [path/to/xcpycmd]
#
# Environment:
#   FAT_PROOF_IMAGES   fresh images per worker count (default 10)
#   FAT_PROOF_FILES    files in the folder (default 300)
#   FAT_PROOF_WORKERS  worker counts (default "1 4")
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
xcpycmd=${1:-$repo/build/bin/xcpycmd}
[[ -x $xcpycmd ]] || { echo "xcpycmd not found; build it or pass its path" >&2; exit 2; }
xcpycmd=$(realpath "$xcpycmd")
images=${FAT_PROOF_IMAGES:-10}
files=${FAT_PROOF_FILES:-300}
workerCounts=${FAT_PROOF_WORKERS:-1 4}
for tool in mkfs.vfat fsck.vfat fusefat fusermount python3; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 2; }
done

work=$(mktemp -d)
daemon=
cleanup() {
    [[ -z $daemon ]] || unmount 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/src/folder" "$work/mnt"

# Names of one to four directory entries each; random bytes; odd seconds with nanoseconds.
writeSources() { # base-seconds seed
    python3 - "$work/src/folder" "$files" "$1" "$2" <<'EOF'
import os, random, sys
folder, count, base, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rnd = random.Random(seed)
for i in range(count):
    n = str(1000 + i)
    name = ["F" + n + ".TXT", "report_" + n + ".txt", "minutes of the meeting no " + n + ".txt",
            "a rather long name for a file, number " + n + ".dat"][i % 4]
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(rnd.randbytes(rnd.randrange(12000)))
    t = (base + 2 * i) * 10**9 + 123456789
    os.utime(path, ns=(t, t))
EOF
}

# fusefat may spin for good on a damaged folder, with the copy waiting on it: a run is stopped
# after five minutes, and its count then reads "stopped".
copyOnce() { # workers -> prints the count of copied files, with "(errors)" after a failed run
    local out status=0
    out=$(cd "$work" && XCPYCMD_WORKERS=$1 timeout -k 10 300 "$xcpycmd" /c copy.bat 2>&1) ||
        status=$?
    if ((status == 124 || status == 137)); then echo stopped; return; fi
    out=$(grep -o '[0-9]* 個のファイルをコピーしました' <<<"$out" | grep -o '^[0-9]*' || echo none)
    ((status == 0)) && echo "$out" || echo "$out(errors)"
}

unmount() {
    fusermount -u "$work/mnt" 2>/dev/null || { umount -l "$work/mnt"; kill -9 "$daemon"; }
    wait "$daemon" || true # the FAT and the clean mark are written after the unmount returns
    daemon=
}

echo "XCopy.exe \"$work/src\" \"$work/mnt/backup\" /D /E /I /Y" >"$work/copy.bat"
passed=0
failed=0
for workers in $workerCounts; do
    for ((image = 1; image <= images; ++image)); do
        rm -rf "$work/src/folder"/*
        writeSources 1700000001 "$image"
        rm -f "$work/fat.img"
        truncate -s 64M "$work/fat.img"
        mkfs.vfat "$work/fat.img" >/dev/null
        fusefat -f -o rw+ "$work/fat.img" "$work/mnt" >/dev/null 2>&1 &
        daemon=$!
        for ((i = 0; i < 500; ++i)); do mountpoint -q "$work/mnt" && break; sleep 0.01; done
        start=$(date +%s.%N)
        first=$(copyOnce "$workers")
        equal1=$(diff -rq "$work/src" "$work/mnt/backup" >/dev/null 2>&1 && echo yes || echo no)
        again=$(copyOnce "$workers")
        writeSources 1800000001 "$((image + 1000))"
        replaced=$(copyOnce "$workers")
        equal2=$(diff -rq "$work/src" "$work/mnt/backup" >/dev/null 2>&1 && echo yes || echo no)
        last=$(copyOnce "$workers")
        seconds=$(echo "$(date +%s.%N) - $start" | bc)
        unmount
        fsck=$(fsck.vfat -n "$work/fat.img" >/dev/null 2>&1 && echo clean || echo damaged)
        verdict=failed
        if [[ $first == "$files" && $equal1 == yes && $again == 0 && $replaced == "$files" &&
            $equal2 == yes && $last == 0 && $fsck == clean ]]; then
            verdict=passed
        fi
        [[ $verdict == passed ]] && passed=$((passed + 1)) || failed=$((failed + 1))
        printf 'workers %s image %2d: copied %s, equal %s, again %s; replaced %s, equal %s, again %s; fsck %s; %.1f s: %s\n' \
            "$workers" "$image" "$first" "$equal1" "$again" "$replaced" "$equal2" "$last" "$fsck" \
            "$seconds" "$verdict"
    done
done
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
