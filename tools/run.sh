#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it (under Xvfb without a display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/xcpylist "$@"
else
    exec xvfb-run -a -s "-screen 0 1280x800x24" build/bin/xcpylist "$@"
fi
