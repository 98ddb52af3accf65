# shellcheck shell=bash
# Sourced by the screenshot scripts: runs the rest of the calling script on a staged desktop, so
# that the pictures show the folders a user has rather than the build's or random ones.
#
# In a private mount namespace (root needed; nothing outside it changes) /home and /media are
# empty, HOME is /home/user, /media/user/BACKUP is a drive (a mounted tmpfs, so xcpycmd finds a
# drive there) and the built programs sit in /usr/bin as an installed copy would, read-only, so
# x.bat and X.log go to ~/.local/share/xcpylist; its icons are in the user's icon theme.
# The calling script's own folder and arguments stay as they were.

if [ -z "${XCPYLIST_STAGED_FROM:-}" ]; then
    [ "$(id -u)" -eq 0 ] || { echo "$0: needs root (a private mount namespace)" >&2; exit 1; }
    XCPYLIST_STAGED_FROM=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd) \
        exec unshare --mount --propagation private bash "$(realpath "$0")" "$@"
fi

stage_bin=${XCPYLIST_BIN:-$XCPYLIST_STAGED_FROM/build/bin}
if [ ! -x "$stage_bin/xcpylist" ] || [ ! -x "$stage_bin/xcpycmd" ]; then
    echo "$0: build the programs first (xcpylist and xcpycmd in $stage_bin)" >&2
    exit 1
fi
mount -t tmpfs -o mode=755 home /home
mount -t tmpfs -o mode=755 media /media
mkdir -p /home/user /media/user/BACKUP
mount -t tmpfs -o mode=755 BACKUP /media/user/BACKUP
mount -t overlay xcpylist -o lowerdir="$stage_bin":/usr/bin /usr/bin
export HOME=/home/user XDG_RUNTIME_DIR=/home/user/.runtime
unset COMSPEC XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
mkdir -m 700 "$XDG_RUNTIME_DIR"
for size in 16 32 48 64 128 256; do
    install -D -m 644 "$XCPYLIST_STAGED_FROM/resources/icons/app-$size.png" \
        "$HOME/.local/share/icons/hicolor/${size}x$size/apps/xcpylist.png"
done

