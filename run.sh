#!/usr/bin/env bash
# Installs what is missing, builds Release and runs Kestrune from build/run.
# Without a display it runs under Xvfb on the CPU Vulkan driver for a bounded number of frames.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
kestrune_install_deps
kestrune_configure_and_build build -DCMAKE_BUILD_TYPE=Release
cd build/run
if [ -n "${DISPLAY:-}" ]; then
    exec ./kestrune "$@"
fi
echo "No display found: running under Xvfb with lavapipe for 300 frames (screenshot: build/run/headless.png)."
export VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json
export XDG_RUNTIME_DIR=$(mktemp -d)
exec xvfb-run -a -s "-screen 0 1920x1080x24" ./kestrune --frames 300 --screenshot headless.png "$@"
