#!/usr/bin/env bash
# Takes a screenshot of the preview window (見るだけ) over a small list made from clean folders
# under /tmp: a row to a new destination, one that is up to date, one whose source is missing and
# one whose destination drive is not there. Needs a built program (build/bin), xvfb-run, xdotool
# and ImageMagick's import.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-/tmp/preview.png}
work=$(mktemp -d /tmp/xcpylist-preview-shot-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{home,runtime} "$work/データ/報告書/2025" "$work/写真" "$work/バックアップ"
chmod 700 "$work/runtime"
for i in $(seq 1 12); do head -c $((i * 40000)) /dev/urandom >"$work/データ/報告書/2025/報告$i.pdf"; done
for i in $(seq 1 5); do head -c $((i * 300000)) /dev/urandom >"$work/写真/IMG_000$i.jpg"; done
# The photos are copied once, so that their row is up to date.
printf 'XCopy.exe "%s" "%s" /D /E /I /Y\r\n' "$work/写真" "$work/バックアップ/写真" |
    iconv -f UTF-8 -t CP932 >"$work/once.bat"
build/bin/xcpycmd /c "$work/once.bat" </dev/null >/dev/null
printf '%s\r\n' "$work/データ/報告書=$work/バックアップ/報告書" "$work/写真=$work/バックアップ/写真" \
    "$work/音楽=$work/バックアップ/音楽" "$work/写真=/media/usb-stick/写真" |
    iconv -f UTF-8 -t CP932 >"$work/list.xcpy"

cat >"$work/shoot.sh" <<SHOOT
set -euo pipefail
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
unset COMSPEC
build/bin/xcpylist "$work/list.xcpy" &
pid=\$!
for _ in \$(seq 50); do
    id=\$(xdotool search --pid \$pid --onlyvisible --name 'XCOPY' 2>/dev/null | head -1) && [ -n "\$id" ] && break
    sleep 0.2
done
sleep 0.5
xdotool windowfocus --sync "\$id" key ctrl+p
for _ in \$(seq 50); do
    # The program's other window, made last (xdotool's name search does not take Japanese; the
    # search also returns the screen's root window first).
    preview=\$(xdotool search --pid \$pid --onlyvisible --name '' 2>/dev/null | grep -vx "\$id" | tail -1) && [ -n "\$preview" ] && break
    sleep 0.2
done
[ -n "\$preview" ] || { echo "no preview window" >&2; import -window root "$out"; kill \$pid; exit 1; }
sleep 1
import -window "\$preview" "$out"
kill \$pid
wait \$pid || true
SHOOT
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/shoot.sh"
echo "written: $out"
