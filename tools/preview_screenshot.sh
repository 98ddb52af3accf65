#!/usr/bin/env bash
# Takes a picture of the preview window (見るだけ) over a small list on a staged desktop: a row
# with new files, one that is up to date, one whose source is missing and one whose destination
# drive is not there. Needs root, a built program (build/bin), xvfb-run, xdotool and
# ImageMagick's import.
# Usage: bash tools/preview_screenshot.sh [file.png]
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=shot_stage.sh
source "$(dirname "$0")/shot_stage.sh"
cd "$(dirname "$0")/.."
SHOT_OUT=$(realpath -m "${1:-docs/preview.png}")
export SHOT_OUT

cd /home/user
mkdir -p 文書/報告書/2025 写真
for i in $(seq 1 12); do head -c $((i * 40000)) /dev/urandom >"文書/報告書/2025/報告$i.pdf"; done
for i in $(seq 1 5); do head -c $((i * 300000)) /dev/urandom >"写真/IMG_000$i.jpg"; done
# The photos are on the drive already, so that their row is up to date.
printf 'XCopy.exe "%s" "%s" /D /E /I /Y\r\n' /home/user/写真 /media/user/BACKUP/写真 |
    iconv -f UTF-8 -t CP932 >.once.bat
xcpycmd /c .once.bat </dev/null >/dev/null
rm .once.bat
printf '%s\r\n' /home/user/文書/報告書=/media/user/BACKUP/報告書 \
    /home/user/写真=/media/user/BACKUP/写真 /home/user/音楽=/media/user/BACKUP/音楽 \
    /home/user/写真=/media/user/USB/写真 | iconv -f UTF-8 -t CP932 >バックアップ.xcpy

cat >.shoot.sh <<'SHOOT'
set -euo pipefail
# shellcheck source=shot_windows.sh
source "$XCPYLIST_STAGED_FROM/tools/shot_windows.sh"
xcpylist バックアップ.xcpy &
pid=$!
main=$(find_window none)
sleep 0.5
xdotool windowfocus --sync "$main" key ctrl+p
preview=$(find_window "$main") ||
    { echo "no preview window" >&2; import -window root "$SHOT_OUT"; kill $pid; exit 1; }
sleep 1.5
import -window "$preview" "$SHOT_OUT"
kill $pid
wait $pid || true
SHOOT
xvfb-run -a -s "-screen 0 1280x800x24" bash .shoot.sh
echo "written: $SHOT_OUT"
