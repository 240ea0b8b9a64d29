#!/usr/bin/env bash
# Starts on an X server that has no other client. Such a server resets when its last client
# leaves, and refuses a connection made meanwhile: a connection of Pelu's own closed just
# before Qt connects would make every few starts die with "no Qt platform plugin".
# Run by ctest through xvfb-run; deliberately without the window scripts' keeper client.
set -euo pipefail
pelu="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
export XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" PELU_TRACE_FRAMES=1
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$work/pics"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
convert -size 64x48 xc:'#3060c0' "$work/pics/small.png"
convert -size 1200x900 plasma:fractal -seed 3 -quality 97 "$work/pics/large.jpg"

failed=0
for round in 1 2 3 4 5 6; do
    for file in small.png large.jpg; do
        log="$work/start.log"
        "$pelu" "$work/pics/$file" 2>"$log" &
        pid=$!
        for _ in $(seq 100); do
            grep -q '^pelu-trace frame' "$log" && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        if grep -q '^pelu-trace frame' "$log"; then
            echo "ok: start $round, $file"
        else
            failed=$((failed + 1))
            echo "FAILED: start $round, $file:"
            grep -v '^pelu-trace' "$log" | head -n 3
        fi
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        # Pelu was the last client: the server resets now, and nothing is to connect meanwhile.
        sleep 1
    done
done
echo "$failed failed"
[ "$failed" = 0 ]
