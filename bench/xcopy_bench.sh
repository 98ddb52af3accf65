#!/usr/bin/env bash
# Times xcpycmd's copy engine against cp, rsync and find on the same trees, on a memory file
# system (so the disk's noise does not drown the figures) and on the project's disk. Each
# figure is the median of alternated rounds, printed as a ratio with its target. Run by hand:
#
#   bench/xcopy_bench.sh [path/to/xcpycmd]
#
# Environment:
#   XCPY_BENCH_PLACES        where to run: "tmpfs disk" (default); tmpfs is /dev/shm, disk a
#                            folder beside the build
#   XCPY_BENCH_FILES         small files (default 20000, 1 to 16 KiB, 50 per folder)
#   XCPY_BENCH_BIG_FILES     large files (default 200, 1 to 10 MiB)
#   XCPY_BENCH_GIANT_MIB     the one giant file in MiB (default 1024; 0 skips it; skipped too
#                            where the place lacks room for three of it)
#   XCPY_BENCH_ROUNDS        timed rounds per figure, the median counts (default 5)
#   XCPY_BENCH_MEMORY_FILES  tree sizes for the peak memory (default "2000 20000 100000")
#   XCPYCMD_WORKERS          passed on to xcpycmd (default: its own choice, the processors)
#
# A quick run: XCPY_BENCH_FILES=2000 XCPY_BENCH_BIG_FILES=10 XCPY_BENCH_GIANT_MIB=0 \
#   XCPY_BENCH_MEMORY_FILES=2000 XCPY_BENCH_ROUNDS=3 bench/xcopy_bench.sh
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
xcpycmd=${1:-${XCPYCMD:-}}
if [[ -z $xcpycmd ]]; then
    for candidate in "$repo"/build-release/bin/xcpycmd "$repo"/build/bin/xcpycmd "$repo"/build-*/bin/xcpycmd; do
        if [[ -x $candidate ]]; then xcpycmd=$candidate; break; fi
    done
fi
[[ -x ${xcpycmd:-} ]] || { echo "xcpycmd not found; build it or pass its path" >&2; exit 2; }
xcpycmd=$(realpath "$xcpycmd")

places=${XCPY_BENCH_PLACES:-tmpfs disk}
files=${XCPY_BENCH_FILES:-20000}
bigFiles=${XCPY_BENCH_BIG_FILES:-200}
giantMib=${XCPY_BENCH_GIANT_MIB:-1024}
rounds=${XCPY_BENCH_ROUNDS:-5}
memoryFiles=${XCPY_BENCH_MEMORY_FILES:-2000 20000 100000}

if ! command -v rsync >/dev/null || [[ ! -x /usr/bin/time ]]; then
    echo "installing rsync and time ..."
    apt-get install -y -qq rsync time >/dev/null
fi

# shellcheck source-path=SCRIPTDIR source=timing.sh
source "$here/timing.sh"

# xcopy SRC DST SWITCHES: through a generated batch file, as the window program does it.
xcopy() {
    printf 'XCopy.exe "%s" "%s" %s\r\n' "$1" "$2" "$3" >"$work/run.bat"
    "$xcpycmd" /c "$work/run.bat" </dev/null
}

# xcopy_progress SRC DST SWITCHES: the same with the progress channel the window asks for; its
# planning walk matches every path against the exclude list too.
xcopy_progress() { XCPYCMD_PROGRESS_FD=3 xcopy "$@" 3>/dev/null; }

# make_small DIR COUNT: COUNT files of 1-16 KiB, 50 per folder, 20 folders per group.
make_small() { python3 "$here/small_tree.py" "$@"; }

# make_big DIR COUNT MIN_MIB MAX_MIB
make_big() {
    python3 - "$@" <<'PY'
import os, random, sys
root, count, low, high = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(7)
chunk = rng.randbytes(1 << 20)
os.makedirs(root, exist_ok=True)
for i in range(count):
    with open(os.path.join(root, "big%04d.bin" % i), "wb") as f:
        for m in range(rng.randint(low, high)):
            f.write(chunk[m % 997:] + chunk[:m % 997])
PY
}

# first_copy LABEL TREE TARGET: xcpycmd /E /I /Y against cp -a, fresh targets, order alternated.
first_copy() {
    local tx=() tc=()
    for ((r = 0; r < rounds; r++)); do
        rm -rf dst-cp dst-x; sync
        if ((r % 2 == 0)); then
            tc+=("$(seconds cp -a "$2" dst-cp)"); sync
            tx+=("$(seconds xcopy "$2" dst-x "/E /I /Y")"); sync
        else
            tx+=("$(seconds xcopy "$2" dst-x "/E /I /Y")"); sync
            tc+=("$(seconds cp -a "$2" dst-cp)"); sync
        fi
    done
    diff -r "$2" dst-x >/dev/null || echo "!! the copy of $2 differs from the source"
    report "$1" "$(median "${tx[@]}")" "$(median "${tc[@]}")" "cp -a" "$3"
    rm -rf dst-cp dst-x
}

# exclude_copy TREE: a first copy with an exclude list of 100,000 lines against the same copy
# without one. The lines come close to the tree's paths (the first 20,000 hold a whole path of
# it) and one excludes a single file.
exclude_copy() {
    python3 - exclude.txt <<'PY'
import sys
with open(sys.argv[1], "w") as f:
    for i in range(100000):
        f.write("\\d%02d\\s%03d\\f%06d.dat.%06d.old\r\n" % (i % 400 // 20, i % 400, i, i))
    f.write("f000123.dat\r\n")
PY
    local run label tx tn r copied
    for run in xcopy xcopy_progress; do
        label="100,000 exclude lines"
        [[ $run == xcopy_progress ]] && label+=", progress"
        tx=(); tn=()
        for ((r = 0; r < rounds; r++)); do
            rm -rf dst-n dst-x; sync
            if ((r % 2 == 0)); then
                tn+=("$(seconds $run "$1" dst-n "/E /I /Y")"); sync
                tx+=("$(seconds $run "$1" dst-x "/E /I /Y /EXCLUDE:exclude.txt")"); sync
            else
                tx+=("$(seconds $run "$1" dst-x "/E /I /Y /EXCLUDE:exclude.txt")"); sync
                tn+=("$(seconds $run "$1" dst-n "/E /I /Y")"); sync
            fi
        done
        copied=$(find dst-x -type f | wc -l)
        report "$label" "$(median "${tx[@]}")" "$(median "${tn[@]}")" "no list" 1.20
        echo "  files left out by the list: $((files - copied)) (must be 1)"
    done
    rm -rf dst-n dst-x exclude.txt
}

bench_place() { # NAME FOLDER
    local name=$1 base=$2
    mkdir -p "$base"
    work=$(mktemp -d "$base/xcopy-bench.XXXXXX")
    trap 'fusermount -u "$work/ntfs-mnt" 2>/dev/null || true; rm -rf "$work"' EXIT
    cd "$work"
    echo
    echo "==== $name: $work ($(df -T . | awk 'NR == 2 { print $2 }')) ===="

    make_small small "$files"
    first_copy "first copy, $files small" small 0.70
    exclude_copy small
    make_big big "$bigFiles" 1 10
    first_copy "first copy, $bigFiles large" big 1.00
    rm -rf big
    local room; room=$(df -Pm . | awk 'NR == 2 { print $4 }')
    if ((giantMib > 0 && room > 3 * giantMib)); then
        make_big giant 1 "$giantMib" "$giantMib"
        first_copy "first copy, one $giantMib MiB" giant 1.00
        rm -rf giant
    else
        echo "first copy, one giant file: skipped (${room} MiB free, ${giantMib} MiB file)"
    fi

    xcopy small dst-x "/E /I /Y" >/dev/null
    rsync -a small/ dst-r/
    local tx=() tr=() tf=()
    for ((r = 0; r < rounds; r++)); do
        if ((r % 2 == 0)); then
            tr+=("$(seconds rsync -a --update small/ dst-r/)")
            tx+=("$(seconds xcopy small dst-x "/D /E /Y")")
        else
            tx+=("$(seconds xcopy small dst-x "/D /E /Y")")
            tr+=("$(seconds rsync -a --update small/ dst-r/)")
        fi
        tf+=("$(seconds find small dst-x -printf '%p %T@\n')")
    done
    report "unchanged rerun" "$(median "${tx[@]}")" "$(median "${tr[@]}")" "rsync -a --update" 0.50
    report "unchanged rerun" "$(median "${tx[@]}")" "$(median "${tf[@]}")" "find of both trees" 1.50

    mapfile -t all < <(find small -type f | sort)
    local touched=() exact=yes copied
    for ((i = 0; i < ${#all[@]}; i += 100)); do touched+=("${all[i]}"); done
    tx=(); tr=()
    for ((r = 0; r < rounds; r++)); do
        touch -d "@$(($(date +%s) + 10 + r))" "${touched[@]}"
        sync
        ((r % 2 == 0)) && tr+=("$(seconds rsync -a --update small/ dst-r/)")
        local t0; t0=$(now)
        out=$(xcopy small dst-x "/D /E /Y")
        tx+=("$(calc "$(now) - $t0")")
        ((r % 2 == 1)) && tr+=("$(seconds rsync -a --update small/ dst-r/)")
        copied=$(grep -c '^small/' <<<"$out" || true)
        [[ $copied == "${#touched[@]}" ]] || exact="no ($copied copied)"
    done
    report "1% touched (${#touched[@]} files)" "$(median "${tx[@]}")" "$(median "${tr[@]}")" "rsync -a --update" 1.00
    echo "  xcpycmd copied exactly the touched files: $exact"

    if [[ $name == disk ]]; then
        bench_ntfs
    fi
    cd /; rm -rf "$work"; trap - EXIT
}

# An unchanged rerun to an NTFS image (through ntfs-3g, times in 100 ns steps).
bench_ntfs() {
    if [[ $(id -u) != 0 || ! -w /dev/fuse ]] || ! command -v ntfs-3g >/dev/null || ! command -v mkfs.ntfs >/dev/null; then
        echo "unchanged rerun to NTFS: skipped (needs root, /dev/fuse, ntfs-3g, mkfs.ntfs)"
        return
    fi
    mkdir -p ntfs-mnt
    truncate -s 2G ntfs.img
    mkfs.ntfs -F -Q ntfs.img >/dev/null 2>&1
    ntfs-3g ntfs.img ntfs-mnt
    xcopy small ntfs-mnt/x "/D /E /I /Y" >/dev/null
    rsync -a --modify-window=1 small/ ntfs-mnt/r/
    local tx=() tr=() again=0 out t0
    for ((r = 0; r < rounds; r++)); do
        tr+=("$(seconds rsync -a --update --modify-window=1 small/ ntfs-mnt/r/)")
        t0=$(now)
        out=$(xcopy small ntfs-mnt/x "/D /E /Y")
        tx+=("$(calc "$(now) - $t0")")
        again=$((again + $(grep -c '^small/' <<<"$out" || true)))
    done
    report "unchanged rerun to NTFS" "$(median "${tx[@]}")" "$(median "${tr[@]}")" "rsync --modify-window=1" 1.00
    echo "  files copied again by the reruns: $again (must be 0)"
    fusermount -u ntfs-mnt
}

echo "xcpycmd: $xcpycmd"
echo "workers: ${XCPYCMD_WORKERS:-$(nproc) (the processors)}; $rounds rounds, medians"
for place in $places; do
    case $place in
    tmpfs) bench_place tmpfs /dev/shm ;;
    disk) bench_place disk "$repo/build-bench" ;;
    *) echo "unknown place $place" >&2; exit 2 ;;
    esac
done

echo
echo "==== peak memory of a first copy (max RSS, tmpfs) ===="
work=$(mktemp -d /dev/shm/xcopy-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
for n in $memoryFiles; do
    make_small "mem-$n" "$n"
    printf 'XCopy.exe "%s" "%s" /E /I /Y\r\n' "mem-$n" "mem-out" >"$work/run.bat"
    rss=$(/usr/bin/time -v "$xcpycmd" /c "$work/run.bat" </dev/null 2>&1 >/dev/null |
        awk -F': ' '/Maximum resident/ {print $2}')
    printf '%7d files: %s KiB\n' "$n" "$rss"
    rm -rf mem-out "mem-$n"
done
