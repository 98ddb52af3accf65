#!/usr/bin/env bash
# Takes a picture of the main window showing an NG row's tooltip (which folder is wrong and why)
# over a small list on a staged desktop. Needs root, a built program (build/bin), xvfb-run,
# xdotool and ImageMagick's import.
# Usage: bash tools/tooltip_screenshot.sh [file.png]
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=shot_stage.sh
source "$(dirname "$0")/shot_stage.sh"
cd "$(dirname "$0")/.."
SHOT_OUT=$(realpath -m "${1:-docs/tooltip.png}")
export SHOT_OUT

cd /home/user
mkdir -p 文書/報告書 /media/user/BACKUP/報告書 写真
# Row 1 OK; row 2 NG, its source gone; row 3 NG, its destination not made yet.
printf '%s\r\n' /home/user/文書/報告書=/media/user/BACKUP/報告書 \
    /home/user/旧データ/資料=/media/user/BACKUP/資料 /home/user/写真=/media/user/BACKUP/写真 |
    iconv -f UTF-8 -t CP932 >バックアップ.xcpy

cat >.shoot.sh <<'SHOOT'
set -euo pipefail
# shellcheck source=shot_windows.sh
source "$XCPYLIST_STAGED_FROM/tools/shot_windows.sh"
xcpylist バックアップ.xcpy &
pid=$!
id=$(find_window none)
xdotool windowmove "$id" 40 40
xdotool windowfocus --sync "$id" # tooltips show over the active window only
sleep 0.8
# The list's second row, in the source column: below the toolbar, the folder fields and the
# title strip of a window at its design size.
eval "$(xdotool getwindowgeometry --shell "$id")"
xdotool mousemove $((X + 120)) $((Y + 143))
sleep 0.3
xdotool mousemove $((X + 122)) $((Y + 144))
sleep 1.5
# The window's upper part, with the rows and the tooltip.
import -window root -crop "${WIDTH}x250+$X+$Y" +repage "$SHOT_OUT"
kill $pid
wait $pid || true
SHOOT
xvfb-run -a -s "-screen 0 1024x768x24" bash .shoot.sh
echo "written: $SHOT_OUT"
