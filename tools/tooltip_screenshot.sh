#!/usr/bin/env bash
# Takes a picture of the main window showing an NG row's tooltip (which folder is wrong and why).
# Needs a built program (build/bin), xvfb-run, xdotool and ImageMagick's import.
# Usage: bash tools/tooltip_screenshot.sh [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/tooltip.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{home,runtime} "$work/データ/報告書" "$work/バックアップ/報告書" "$work/写真"
chmod 700 "$work/runtime"
# Row 1 OK; row 2 NG, its source gone; row 3 NG, its destination not made yet.
printf '%s\r\n' "$work/データ/報告書=$work/バックアップ/報告書" \
    "$work/旧データ/資料=$work/バックアップ/資料" "$work/写真=$work/バックアップ/写真" |
    iconv -f UTF-8 -t CP932 >"$work/list.xcpy"

cat >"$work/shoot.sh" <<SHOOT
set -euo pipefail
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
build/bin/xcpylist "$work/list.xcpy" &
pid=\$!
for _ in \$(seq 50); do
    id=\$(xdotool search --pid \$pid --onlyvisible --name 'XCOPY' 2>/dev/null | head -1) && [ -n "\$id" ] && break
    sleep 0.2
done
xdotool windowmove "\$id" 40 40
xdotool windowfocus --sync "\$id" # tooltips show over the active window only
sleep 0.8
# The list's second row, in the source column: below the toolbar, the folder fields and the
# title strip of a window at its design size.
eval "\$(xdotool getwindowgeometry --shell "\$id")"
xdotool mousemove \$((X + 120)) \$((Y + 143))
sleep 0.3
xdotool mousemove \$((X + 122)) \$((Y + 144))
sleep 1.5
import -window root -crop 720x420+30+30 +repage "$out"
kill \$pid
wait \$pid || true
SHOOT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/shoot.sh"
echo "written: $out"
