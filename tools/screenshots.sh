#!/usr/bin/env bash
# Takes the README's screenshots: the main window with a small list, at two sizes.
# Needs a built program (build/bin), xvfb-run, xdotool and ImageMagick's import.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{home,runtime} "$work/データ/報告書" "$work/バックアップ/報告書" "$work/写真" "$work/backup/photos"
chmod 700 "$work/runtime"
printf '%s\r\n' "$work/データ/報告書=$work/バックアップ/報告書" "$work/写真=$work/backup/photos" \
    "$work/写真=/media/usb/photos" | iconv -f UTF-8 -t CP932 >"$work/list.xcpy"

cat >"$work/shoot.sh" <<SHOOT
set -euo pipefail
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
build/bin/xcpylist "$work/list.xcpy" &
pid=\$!
for _ in \$(seq 50); do
    id=\$(xdotool search --pid \$pid --onlyvisible --name 'XCOPY' 2>/dev/null | head -1) && [ -n "\$id" ] && break
    sleep 0.2
done
sleep 0.5
import -window "\$id" "$out/screenshot.png"
xdotool windowsize "\$id" 900 420
sleep 0.8
import -window "\$id" "$out/screenshot-wide.png"
kill \$pid
SHOOT
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/shoot.sh"
echo "written: $out/screenshot.png $out/screenshot-wide.png"
