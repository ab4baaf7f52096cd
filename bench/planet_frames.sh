#!/bin/bash
# Times the real program at 1920 x 1080 under Xvfb on the planets' start: the time from launch to the first
# presented frame (its screenshot written), and the mean frame time while the solid planets' height maps are
# generated (the first ~150 frames) and after. Usage: bench/planet_frames.sh [run directory] (default build/run).
set -u
RUN_DIR=$(realpath "${1:-build/run}")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ln -s "$RUN_DIR/shaders" "$WORK/shaders"
ln -s "$RUN_DIR/assets" "$WORK/assets"
mkdir -m 700 "$WORK/xdg"

# Seconds from launch to the end of a run of $1 frames (with a screenshot of the last one, as the first frame's).
run_frames() {
    local start end
    start=$(date +%s.%N)
    (cd "$WORK" && XDG_RUNTIME_DIR="$WORK/xdg" xvfb-run -a -s "-screen 0 1920x1080x24" \
        "$RUN_DIR/kestrune" SKIP_DEMO --target Earth --frames "$1" --screenshot "$WORK/last.png" > "$WORK/log" 2>&1)
    end=$(date +%s.%N)
    grep -q "Screenshot saved" "$WORK/log" || { echo "run of $1 frames failed:"; cat "$WORK/log"; exit 1; }
    echo "$end - $start" | bc
}

first=$(run_frames 1)
t20=$(run_frames 20)
t160=$(run_frames 160)
t200=$(run_frames 200)
printf 'launch to first presented frame (and exit): %.1f s\n' "$first"
printf 'mean frame time, frames 2-20 (generating):  %.0f ms\n' "$(echo "($t20 - $first) * 1000 / 19" | bc -l)"
printf 'mean frame time, frames 161-200 (all maps done): %.0f ms\n' "$(echo "($t200 - $t160) * 1000 / 40" | bc -l)"
