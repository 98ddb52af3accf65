#!/usr/bin/env bash
# Takes the README's screenshots of the main window with a small list, at two sizes, on a staged
# desktop. Needs root, a built program (build/bin), xvfb-run, xdotool and ImageMagick's import.
# Usage: bash tools/screenshots.sh [folder]
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=shot_stage.sh
source "$(dirname "$0")/shot_stage.sh"
cd "$(dirname "$0")/.."
SHOT_OUT=$(realpath -m "${1:-docs}")
export SHOT_OUT

cd /home/user
mkdir -p 文書/報告書 写真 /media/user/BACKUP/報告書 /media/user/BACKUP/写真
printf '%s\r\n' /home/user/文書/報告書=/media/user/BACKUP/報告書 /home/user/写真=/media/user/BACKUP/写真 \
    /home/user/写真=/media/user/USB/写真 | iconv -f UTF-8 -t CP932 >バックアップ.xcpy

cat >.shoot.sh <<'SHOOT'
set -euo pipefail
# shellcheck source=shot_windows.sh
source "$XCPYLIST_STAGED_FROM/tools/shot_windows.sh"
xcpylist バックアップ.xcpy &
pid=$!
id=$(find_window none)
sleep 0.5
import -window "$id" "$SHOT_OUT/screenshot.png"
xdotool windowsize "$id" 900 420
sleep 0.8
import -window "$id" "$SHOT_OUT/screenshot-wide.png"
kill $pid
SHOOT
xvfb-run -a -s "-screen 0 1280x800x24" bash .shoot.sh
echo "written: $SHOT_OUT/screenshot.png $SHOT_OUT/screenshot-wide.png"
