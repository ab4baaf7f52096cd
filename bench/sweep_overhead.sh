#!/bin/bash
# kestrune-sweep's overhead per shard (a worker's time outside kestrune-plan over its time for the shard) on a
# Dask scheduler and one-thread workers on this machine, for several shard sizes, with the sweep's wall time.
# Usage: flock /tmp/kestrune-e2e.lock bench/sweep_overhead.sh [run directory] (default build/run); in the
# environment SHARDS (cells per shard, default "1 4 16"), WORKERS (default 2), GRID (default: 36 Earth-to-Moon
# cells of about half a second).
set -u
RUN_DIR=$(realpath "${1:-build/run}")
SWEEP=$(dirname "$(realpath "$0")")/../tools/sweep/kestrune-sweep
SHARDS=${SHARDS:-"1 4 16"}
WORKERS=${WORKERS:-2}
GRID=${GRID:-"--from Earth --to Luna --depart 1000:1250:50 --arrive 20000:20250:50"}
WORK=$(mktemp -d)
PIDS=()
trap 'for p in "${PIDS[@]}"; do kill -9 -- -"$p" 2>/dev/null; done; rm -rf "$WORK"' EXIT

PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
ADDRESS=tcp://127.0.0.1:$PORT
setsid dask-scheduler --host 127.0.0.1 --port "$PORT" --no-dashboard > "$WORK/scheduler.log" 2>&1 &
PIDS+=($!)
disown
for _ in $(seq "$WORKERS"); do
    setsid dask-worker "$ADDRESS" --nthreads 1 --no-dashboard --memory-limit 0 --local-directory "$WORK" \
        > /dev/null 2>&1 &
    PIDS+=($!)
    disown
done
/usr/bin/python3 -c "from distributed import Client; Client('$ADDRESS', timeout=60).wait_for_workers($WORKERS, 120)" \
    2> /dev/null || { echo "the Dask cluster did not start:" >&2; cat "$WORK/scheduler.log" >&2; exit 1; }

echo "$WORKERS workers, grid: $GRID"
for n in $SHARDS; do
    start=$(date +%s.%N)
    # shellcheck disable=SC2086
    "$SWEEP" $GRID --scheduler "$ADDRESS" --plan "$RUN_DIR/kestrune-plan" --shard-cells "$n" \
        -o "$WORK/grid-$n.csv" 2> "$WORK/sweep-$n.log" || { cat "$WORK/sweep-$n.log" >&2; exit 1; }
    wall=$(echo "$(date +%s.%N) - $start" | bc)
    printf "%3d cells a shard: %6.1f s wall; %s\n" "$n" "$wall" "$(grep -o 'driver overhead.*' "$WORK/sweep-$n.log")"
done
