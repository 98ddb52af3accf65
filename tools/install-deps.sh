#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, where missing.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
    googletest libgtest-dev
    xvfb xauth fonts-ipafont-gothic dbus-daemon
    desktop-file-utils shared-mime-info dpkg-dev util-linux xdotool
    ntfs-3g fusefat dosfstools fuse3 btrfs-progs e2fsprogs
    python3-fusepy
    man-db appstream lintian
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
