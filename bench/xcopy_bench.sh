#!/usr/bin/env bash
# Times xcpycmd's copy engine against cp and rsync on the same trees. Run by hand:
#
#   bench/xcopy_bench.sh [path/to/xcpycmd]
#
# Environment:
#   XCPY_BENCH_DIR        folder for the trees (default: a new folder under ${TMPDIR:-/tmp})
#   XCPY_BENCH_FILES      small files (default 20000, 1 to 16 KiB, 50 per folder)
#   XCPY_BENCH_BIG_FILES  large files (default 10)
#   XCPY_BENCH_BIG_MIB    size of a large file in MiB (default 64)
#   XCPY_BENCH_ROUNDS     timed rounds per figure, the best one counts (default 3)
#   XCPY_BENCH_KEEP=1     keep the trees afterwards
#
# A quick run: XCPY_BENCH_FILES=2000 XCPY_BENCH_BIG_MIB=4 bench/xcopy_bench.sh
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
xcpycmd=${1:-${XCPYCMD:-}}
if [[ -z $xcpycmd ]]; then
    for candidate in "$repo"/build-interp/bin/xcpycmd "$repo"/build/bin/xcpycmd "$repo"/build-*/bin/xcpycmd; do
        if [[ -x $candidate ]]; then xcpycmd=$candidate; break; fi
    done
fi
[[ -x ${xcpycmd:-} ]] || { echo "xcpycmd not found; build it or pass its path" >&2; exit 2; }
xcpycmd=$(realpath "$xcpycmd")

files=${XCPY_BENCH_FILES:-20000}
bigFiles=${XCPY_BENCH_BIG_FILES:-10}
bigMib=${XCPY_BENCH_BIG_MIB:-64}
rounds=${XCPY_BENCH_ROUNDS:-3}

if ! command -v rsync >/dev/null || [[ ! -x /usr/bin/time ]]; then
    echo "installing rsync and time ..."
    apt-get install -y -qq rsync time >/dev/null
fi

if [[ -n ${XCPY_BENCH_DIR:-} ]]; then
    mkdir -p "$XCPY_BENCH_DIR"
    work=$(mktemp -d "$XCPY_BENCH_DIR/xcopy-bench.XXXXXX")
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/xcopy-bench.XXXXXX")
fi
cleanup() { [[ ${XCPY_BENCH_KEEP:-0} == 1 ]] || rm -rf "$work"; }
trap cleanup EXIT
cd "$work"

# make_tree DIR FILES BIGFILES BIGMIB
make_tree() {
    python3 - "$@" <<'PY'
import os, random, sys
root, count, big, big_mib = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(42)
folders = max(1, count // 50)
for i in range(count):
    folder = os.path.join(root, "d%02d" % (i % folders // 20), "s%03d" % (i % folders))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.dat" % i), "wb") as f:
        f.write(rng.randbytes(rng.randint(1024, 16384)))
os.makedirs(os.path.join(root, "big"), exist_ok=True)
chunk = rng.randbytes(1 << 20)
for i in range(big):
    with open(os.path.join(root, "big", "big%02d.bin" % i), "wb") as f:
        for m in range(big_mib):
            f.write(chunk[m:] + chunk[:m])
PY
}

now() { date +%s.%N; }
# seconds CMD... : runs CMD, prints its wall time
calc() { awk "BEGIN { print $* }"; }
seconds() { local t0; t0=$(now); "$@" >/dev/null 2>&1; calc "$(now) - $t0"; }
min() { printf '%s\n' "$@" | sort -g | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { # value limit
    awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b ? "ok" : "OVER") }'
}

# xcopy SRC DST SWITCHES: through a generated batch file, as the window program does it.
xcopy() {
    printf 'XCopy.exe "%s" "%s" %s\r\n' "$1" "$2" "$3" >"$work/run.bat"
    "$xcpycmd" /c "$work/run.bat" </dev/null
}

echo "xcpycmd: $xcpycmd"
echo "trees in $work: $files files of 1-16 KiB in $((files / 50)) folders + $bigFiles x $bigMib MiB"
make_tree src "$files" "$bigFiles" "$bigMib"
sync

echo
echo "== first copy: xcpycmd /E /I /Y against cp -a =="
cp -a src warm-cp; xcopy src warm-x "/E /I /Y" >/dev/null; rm -rf warm-cp warm-x
tx=(); tc=()
# Fresh targets each round, the order swapped every round so neither side always follows the
# other's write-back.
for ((r = 0; r < rounds; r++)); do
    rm -rf dst-cp dst-x; sync
    if ((r % 2 == 0)); then
        tc+=("$(seconds cp -a src dst-cp)"); sync
        tx+=("$(seconds xcopy src dst-x "/E /I /Y")"); sync
    else
        tx+=("$(seconds xcopy src dst-x "/E /I /Y")"); sync
        tc+=("$(seconds cp -a src dst-cp)"); sync
    fi
done
x=$(min "${tx[@]}"); c=$(min "${tc[@]}")
printf 'xcpycmd %.3fs  cp -a %.3fs  ratio %s (target <= 1.10: %s)\n' "$x" "$c" "$(ratio "$x" "$c")" \
    "$(verdict "$(ratio "$x" "$c")" 1.10)"
diff -r src dst-x >/dev/null && echo "copy identical to the source"
rsync -a src/ dst-r/

echo
echo "== nothing changed: xcpycmd /D /E /Y against rsync -a --update and find =="
xcopy src dst-x "/D /E /Y" >/dev/null; rsync -a --update src/ dst-r/
tx=(); tr=(); tf=()
for ((r = 0; r < rounds; r++)); do
    tr+=("$(seconds rsync -a --update src/ dst-r/)")
    tx+=("$(seconds xcopy src dst-x "/D /E /Y")")
    tf+=("$(seconds find src dst-x -printf '%p %T@\n')")
done
x=$(min "${tx[@]}"); rs=$(min "${tr[@]}"); f=$(min "${tf[@]}")
printf 'xcpycmd %.3fs  rsync %.3fs  ratio %s (target <= 1.00: %s)\n' "$x" "$rs" "$(ratio "$x" "$rs")" \
    "$(verdict "$(ratio "$x" "$rs")" 1.00)"
printf 'xcpycmd %.3fs  find  %.3fs  ratio %s (target <= 2.00: %s)\n' "$x" "$f" "$(ratio "$x" "$f")" \
    "$(verdict "$(ratio "$x" "$f")" 2.00)"

echo
echo "== 5% of the files touched: xcpycmd /D /E /Y against rsync -a --update =="
mapfile -t all < <(find src -type f -name '*.dat' | sort)
touched=()
for ((i = 0; i < ${#all[@]}; i += 20)); do touched+=("${all[i]}"); done
tx=(); tr=(); exact=yes
for ((r = 0; r < rounds; r++)); do
    touch -d "@$(($(date +%s) + 10 + r))" "${touched[@]}"
    sync
    ((r % 2 == 0)) && tr+=("$(seconds rsync -a --update src/ dst-r/)") && sync
    t0=$(now)
    out=$(xcopy src dst-x "/D /E /Y")
    tx+=("$(calc "$(now) - $t0")")
    ((r % 2 == 1)) && sync && tr+=("$(seconds rsync -a --update src/ dst-r/)")
    copied=$(grep -c '^src/' <<<"$out" || true)
    [[ $copied == "${#touched[@]}" ]] || exact="no ($copied copied)"
done
x=$(min "${tx[@]}"); rs=$(min "${tr[@]}")
echo "touched ${#touched[@]} files; xcpycmd copied exactly those: $exact"
printf 'xcpycmd %.3fs  rsync %.3fs  ratio %s (target <= 1.00: %s)\n' "$x" "$rs" "$(ratio "$x" "$rs")" \
    "$(verdict "$(ratio "$x" "$rs")" 1.00)"

echo
echo "== peak memory of a first copy (max RSS) =="
small=$((files / 10))
make_tree mem-small "$small" 0 0
for tree in mem-small src; do
    n=$(find "$tree" -type f | wc -l)
    printf 'XCopy.exe "%s" "%s" /E /I /Y\r\n' "$tree" "mem-out" >"$work/run.bat"
    rss=$(/usr/bin/time -v "$xcpycmd" /c "$work/run.bat" </dev/null 2>&1 >/dev/null |
        awk -F': ' '/Maximum resident/ {print $2}')
    printf '%6d files: %s KiB\n' "$n" "$rss"
    rm -rf mem-out
done

echo
echo "== nothing changed on an NTFS image: xcpycmd /D /E /Y against rsync -a --update --modify-window=1 =="
if [[ $(id -u) != 0 || ! -w /dev/fuse ]] || ! command -v ntfs-3g >/dev/null || ! command -v mkfs.ntfs >/dev/null; then
    echo "skipped: needs root, /dev/fuse, ntfs-3g and mkfs.ntfs (tools/install-deps.sh)"
else
    mkdir -p ntfs-src ntfs-mnt
    cp -al src/d* ntfs-src/
    truncate -s 2G ntfs.img
    mkfs.ntfs -F -Q ntfs.img >/dev/null 2>&1
    ntfs-3g ntfs.img ntfs-mnt
    trap 'fusermount -u "$work/ntfs-mnt" 2>/dev/null; cleanup' EXIT
    xcopy ntfs-src ntfs-mnt/x "/D /E /I /Y" >/dev/null
    rsync -a --modify-window=1 ntfs-src/ ntfs-mnt/r/
    tx=(); tr=(); again=0
    for ((r = 0; r < rounds; r++)); do
        tr+=("$(seconds rsync -a --update --modify-window=1 ntfs-src/ ntfs-mnt/r/)")
        t0=$(now)
        out=$(xcopy ntfs-src ntfs-mnt/x "/D /E /Y")
        tx+=("$(calc "$(now) - $t0")")
        again=$((again + $(grep -c '^ntfs-src/' <<<"$out" || true)))
    done
    x=$(min "${tx[@]}"); rs=$(min "${tr[@]}")
    echo "files copied again by the reruns: $again (must be 0)"
    printf 'xcpycmd %.3fs  rsync %.3fs  ratio %s (target <= 1.00: %s)\n' "$x" "$rs" "$(ratio "$x" "$rs")" \
        "$(verdict "$(ratio "$x" "$rs")" 1.00)"
    fusermount -u ntfs-mnt
fi
