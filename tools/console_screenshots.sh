#!/usr/bin/env bash
# Takes the README's console screenshots: a copy in progress and the finished run with its
# result. Runs the real program on a small list, slowed down so the progress can be seen.
# Needs a built program (build/bin), xvfb-run, xdotool and ImageMagick's import.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath "${1:-docs}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{home,runtime} "$work/データ/報告書" "$work/写真/2026" "$work/バックアップ"/{データ,写真}
chmod 700 "$work/runtime"
for i in $(seq -w 1 24); do head -c 300000 /dev/urandom >"$work/データ/報告書/月報$i.xlsx"; done
for i in $(seq -w 1 40); do head -c 150000 /dev/urandom >"$work/写真/2026/IMG_0$i.jpg"; done
printf '%s\r\n' "$work/データ=$work/バックアップ/データ" "$work/写真=$work/バックアップ/写真" |
    iconv -f UTF-8 -t CP932 >"$work/list.xcpy"

cat >"$work/shoot.sh" <<SHOOT
set -euo pipefail
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XCPYCMD_THROTTLE_KIB=1500
unset COMSPEC
build/bin/xcpylist "$work/list.xcpy" &
pid=\$!
# There is no window manager: the console is grabbed from the screen at its place.
shoot() { # window file
    import -window root -crop "\$(xwininfo -id "\$1" |
        awk '/Absolute upper-left X/ {x=\$NF} /Absolute upper-left Y/ {y=\$NF}
             /Width/ {w=\$NF} /Height/ {h=\$NF} END {printf "%dx%d+%d+%d", w, h, x, y}')" +repage "\$2"
}
find_window() { # title pattern
    for _ in \$(seq 100); do
        id=\$(xdotool search --pid \$pid --onlyvisible --name "\$1" 2>/dev/null | head -1) &&
            [ -n "\$id" ] && echo "\$id" && return
        sleep 0.2
    done
    return 1
}
main=\$(find_window 'XCOPYバッチ')
xdotool windowfocus --sync "\$main"
xdotool key alt+f; sleep 0.5; xdotool key x
sleep 1
xdotool key Return
console=\$(find_window '実行中')
xdotool windowsize "\$console" 760 460
sleep 6
shoot "\$console" "$out/console.png"
# The copy ends at the final pause; a key ends the run.
sleep 8
xdotool mousemove --window "\$console" 300 200 click 1
xdotool key space
sleep 1.5
shoot "\$console" "$out/console-finished.png"
kill \$pid
SHOOT
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/shoot.sh"
echo "written: $out/console.png $out/console-finished.png"
