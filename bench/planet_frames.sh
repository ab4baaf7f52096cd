#!/bin/bash
# Times the real program at 1920 x 1080 under Xvfb (lavapipe) from the start with the camera on Earth: the time
# from launch to the first presented frame (its screenshot written, then exit), and the mean frame time while
# the solid planets' height maps are generated (about the first 150 frames) and after. Each figure is the
# median of three runs. Usage: bench/planet_frames.sh [run directory] (default build/run).
set -u
RUN_DIR=$(realpath "${1:-build/run}")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ln -s "$RUN_DIR/shaders" "$WORK/shaders"
ln -s "$RUN_DIR/assets" "$WORK/assets"
mkdir -m 700 "$WORK/xdg"

# Seconds from launch to the end of a run of $1 frames, the last one written as a screenshot.
run_frames() {
    local start end
    start=$(date +%s.%N)
    (cd "$WORK" && XDG_RUNTIME_DIR="$WORK/xdg" xvfb-run -a -s "-screen 0 1920x1080x24" \
        "$RUN_DIR/kestrune" SKIP_DEMO --target Earth --frames "$1" --screenshot "$WORK/last.png" > "$WORK/log" 2>&1)
    end=$(date +%s.%N)
    grep -q "Screenshot saved" "$WORK/log" || { echo "run of $1 frames failed:" >&2; cat "$WORK/log" >&2; exit 1; }
    echo "$end - $start" | bc
}

median_of_three() {
    local a b c
    a=$(run_frames "$1") && b=$(run_frames "$1") && c=$(run_frames "$1") || exit 1
    printf '%s\n%s\n%s\n' "$a" "$b" "$c" | sort -g | sed -n 2p
}

first=$(median_of_three 1)
t25=$(median_of_three 25)
t170=$(median_of_three 170)
t230=$(median_of_three 230)
printf 'launch to first presented frame (and exit): %.1f s\n' "$first"
printf 'mean frame time, frames 2-25 (maps being generated): %.0f ms\n' "$(echo "($t25 - $first) * 1000 / 24" | bc -l)"
printf 'mean frame time, frames 171-230 (all maps done): %.0f ms\n' "$(echo "($t230 - $t170) * 1000 / 60" | bc -l)"
