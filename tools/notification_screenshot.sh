#!/usr/bin/env bash
# Takes a picture of the desktop notification that tells a copy's end while the console is not
# the active window: a real notification service on a private session bus, the copy run from the
# window, the main window made active while it copies.
# Needs root, a built program (build/bin), xvfb-run, xdotool, ImageMagick's import, dbus-daemon
# and notification-daemon.
# Usage: bash tools/notification_screenshot.sh [file.png]
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=shot_stage.sh
source "$(dirname "$0")/shot_stage.sh"
cd "$(dirname "$0")/.."
SHOT_OUT=$(realpath -m "${1:-docs/notification.png}")
export SHOT_OUT
daemon=/usr/lib/notification-daemon/notification-daemon
[ -x "$daemon" ] || { echo "$0: needs notification-daemon (apt-get install notification-daemon)" >&2; exit 1; }
export SHOT_DAEMON=$daemon NO_AT_BRIDGE=1 # no accessibility bus for the service

cd /home/user
# Last week's backup is on the drive; the new photos and quotes are what this run copies.
mkdir -p 写真/2026 文書/見積書 /media/user/BACKUP/写真 /media/user/BACKUP/文書
for i in $(seq -w 1 30); do head -c 200000 /dev/urandom >"写真/2026/IMG_00$i.jpg"; done
for i in $(seq -w 1 12); do head -c 100000 /dev/urandom >"文書/見積書/見積$i.pdf"; done
printf '%s\r\n' "/home/user/写真=/media/user/BACKUP/写真" "/home/user/文書=/media/user/BACKUP/文書" |
    iconv -f UTF-8 -t CP932 >バックアップ.xcpy

cat >/home/user/.shoot.sh <<'SHOOT'
set -euo pipefail
# shellcheck source=shot_windows.sh
source "$XCPYLIST_STAGED_FROM/tools/shot_windows.sh"
"$SHOT_DAEMON" &
daemon=$!
sleep 1
# A desktop's colour. The server resets the background when its last client leaves, hence after
# the service has come; display ends with 1 even when it set it.
display -window root -size 8x8 xc:'#5d7a93' || true
# Slow enough that the other window is active before the copy ends.
XCPYCMD_THROTTLE_KIB=400 xcpylist バックアップ.xcpy &
pid=$!
run_list_from_file_menu
# Side by side below the notification's place, so that both show whole.
xdotool windowsize "$main" 560 440
xdotool windowsize "$console" 510 400
xdotool windowmove "$console" 580 130
# The user turns to the main window.
xdotool windowfocus --sync "$main"
for _ in $(seq 150); do
    bubble=$(xdotool search --onlyvisible --name '^Notification$' 2>/dev/null) &&
        [ -n "$bubble" ] && break
    sleep 0.2
done
[ -n "$bubble" ] || { echo "no notification" >&2; import -window root "$SHOT_OUT"; kill $pid $daemon; exit 1; }
sleep 1
import -window root "$SHOT_OUT"
kill $pid $daemon
SHOOT
xvfb-run -a -s "-screen 0 1100x540x24" dbus-run-session -- bash /home/user/.shoot.sh
echo "written: $SHOT_OUT"
