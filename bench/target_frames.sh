#!/bin/bash
# Times the real program at 1920 x 1080 under Xvfb (lavapipe) with the camera on one body, after the solid
# planets' height maps are generated: the mean wall time and the mean CPU time (the program's own, all its
# threads and the driver's) of frames 171-230. CPU time tells more on a shared machine, where wall time follows
# the other users' load. Each figure is the median of RUNS runs (default 3).
# Usage: flock -o /tmp/kestrune-e2e.lock bench/target_frames.sh TARGET [run directory] (default build/run);
# compare e.g. Jupiter with Mars. (-o keeps Xvfb from inheriting the lock.)
set -u
TARGET=${1:?usage: $0 TARGET [run directory]}
RUN_DIR=$(realpath "${2:-build/run}")
RUNS=${RUNS:-3}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ln -s "$RUN_DIR/shaders" "$WORK/shaders"
ln -s "$RUN_DIR/assets" "$WORK/assets"
mkdir -m 700 "$WORK/xdg"

# "wall cpu" seconds of a run of $1 frames, the last one written as a screenshot.
cat > "$WORK/run.sh" << 'EOF'
#!/bin/bash
start=$(date +%s.%N)
"$KESTRUNE" SKIP_DEMO --target "$TARGET" --frames "$FRAMES" --screenshot last.png > log 2>&1
end=$(date +%s.%N)
# Children's user and system time: the second line of `times`.
cpu=$(times | sed -n 2p | awk '{ split($1, u, "m"); split($2, s, "m"); print u[1] * 60 + u[2] + s[1] * 60 + s[2] }' | tr -d s)
echo "$(echo "$end - $start" | bc) $cpu"
EOF
chmod +x "$WORK/run.sh"

run_frames() {
    local out
    out=$(cd "$WORK" && KESTRUNE="$RUN_DIR/kestrune" TARGET="$TARGET" FRAMES="$1" XDG_RUNTIME_DIR="$WORK/xdg" \
        xvfb-run -a -s "-screen 0 1920x1080x24" ./run.sh)
    grep -q "Screenshot saved" "$WORK/log" || { echo "run of $1 frames failed:" >&2; cat "$WORK/log" >&2; exit 1; }
    echo "$out"
}

median() { sort -g | sed -n "$(((RUNS + 1) / 2))p"; }

walls=()
cpus=()
for ((k = 0; k < RUNS; ++k)); do
    read -r w170 c170 <<< "$(run_frames 170)" || exit 1
    read -r w230 c230 <<< "$(run_frames 230)" || exit 1
    walls+=("$(echo "($w230 - $w170) * 1000 / 60" | bc -l)")
    cpus+=("$(echo "($c230 - $c170) * 1000 / 60" | bc -l)")
done
printf '%s, frames 171-230: wall %.0f ms, CPU %.0f ms per frame (median of %d)\n' "$TARGET" \
    "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)" "$RUNS"
