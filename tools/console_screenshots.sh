#!/usr/bin/env bash
# Takes the README's console screenshots, on a staged desktop: a copy in progress and the
# finished run with its result. Runs the real program on a small list, slowed down so the
# progress can be seen. Needs root, a built program (build/bin), xvfb-run, xdotool and
# ImageMagick's import.
# Usage: bash tools/console_screenshots.sh [folder]
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=shot_stage.sh
source "$(dirname "$0")/shot_stage.sh"
cd "$(dirname "$0")/.."
SHOT_OUT=$(realpath -m "${1:-docs}")
export SHOT_OUT

cd /home/user
mkdir -p 文書/報告書 写真/2026 /media/user/BACKUP/文書 /media/user/BACKUP/写真
for i in $(seq -w 1 24); do head -c 300000 /dev/urandom >"文書/報告書/月報$i.xlsx"; done
for i in $(seq -w 1 40); do head -c 150000 /dev/urandom >"写真/2026/IMG_0$i.jpg"; done
printf '%s\r\n' /home/user/文書=/media/user/BACKUP/文書 /home/user/写真=/media/user/BACKUP/写真 |
    iconv -f UTF-8 -t CP932 >バックアップ.xcpy

cat >.shoot.sh <<'SHOOT'
set -euo pipefail
# shellcheck source=shot_windows.sh
source "$XCPYLIST_STAGED_FROM/tools/shot_windows.sh"
XCPYCMD_THROTTLE_KIB=400 xcpylist バックアップ.xcpy &
pid=$!
# There is no window manager: the console is grabbed from the screen at its place.
shoot() { # window file
    import -window root -crop "$(xwininfo -id "$1" |
        awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
             /Width/ {w=$NF} /Height/ {h=$NF} END {printf "%dx%d+%d+%d", w, h, x, y}')" +repage "$2"
}
run_list_from_file_menu
xdotool windowsize "$console" 760 460
sleep 6
shoot "$console" "$SHOT_OUT/console.png"
# The copy ends at the final pause (the title says so); a key ends the run.
for _ in $(seq 150); do
    xdotool getwindowname "$console" | grep -q '^XCOPY終了' && break
    sleep 0.2
done
xdotool mousemove --window "$console" 300 200 click 1
xdotool key space
sleep 1.5
shoot "$console" "$SHOT_OUT/console-finished.png"
kill $pid
SHOOT
xvfb-run -a -s "-screen 0 1280x800x24" bash .shoot.sh
echo "written: $SHOT_OUT/console.png $SHOT_OUT/console-finished.png"
