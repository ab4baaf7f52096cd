#!/usr/bin/env bash
# Builds the program with AddressSanitizer and runs 30 frames under Xvfb: shutdown must free everything the
# program allocated. The driver is preloaded so that its own allocations can be named and suppressed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
kestrune_install_deps
kestrune_configure_and_build build-leaks -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_SANITIZE=address \
    -DKESTRUNE_TESTS_ONLY_UNIT=ON
cd build-leaks/run
export VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json
export XDG_RUNTIME_DIR=$(mktemp -d)
driver=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["ICD"]["library_path"])' "$VK_ICD_FILENAMES")
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" env LD_PRELOAD="$(gcc -print-file-name=libasan.so) $driver" \
    ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/../../tests/lsan-driver.supp:print_suppressions=1" \
    ./kestrune SKIP_DEMO --frames 30
