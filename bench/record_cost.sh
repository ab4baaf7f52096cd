#!/bin/bash
# The recorder's cost per 1920 x 1080 frame under Xvfb (lavapipe), from one `--profile` run that records a video:
# the read-back copy's GPU time plus the hand-over's CPU time on the frame loop, against the post-process pass
# of the same run (medians of the run's frames).
# Usage: flock -o /tmp/kestrune-e2e.lock bench/record_cost.sh [run directory] (default build/run); FRAMES (default
# 90) and TARGET (default Voyager) in the environment. (-o keeps Xvfb from inheriting the lock.)
set -u
RUN_DIR=$(realpath "${1:-build/run}")
FRAMES=${FRAMES:-90}
TARGET=${TARGET:-Voyager}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ln -s "$RUN_DIR/shaders" "$WORK/shaders"
ln -s "$RUN_DIR/assets" "$WORK/assets"
mkdir -m 700 "$WORK/xdg"

(cd "$WORK" && XDG_RUNTIME_DIR="$WORK/xdg" xvfb-run -a -s "-screen 0 1920x1080x24" "$RUN_DIR/kestrune" SKIP_DEMO \
    --target "$TARGET" --frames "$FRAMES" --record cost.mp4 --profile > log 2>&1)
grep -q "Recording saved" "$WORK/log" || { echo "the recording run failed:" >&2; cat "$WORK/log" >&2; exit 1; }
# Rows: name, GPU ms, CPU ms.
awk '
    $1 == "postProcess" { post = $2 }
    $1 == "readBack"    { copy = $2 }
    $1 == "handOver"    { hand = $3 }
    END {
        printf "postProcess GPU %.3f ms (F)\nread-back GPU %.3f ms, hand-over CPU %.3f ms\n", post, copy, hand
        ratio = post > 0 ? (copy + hand) / post : 0
        printf "recorder %.3f ms a frame = %.2f F\n", copy + hand, ratio
    }' "$WORK/log"
