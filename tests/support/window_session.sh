# Sourced by the scripts that drive the real window under xvfb-run. Expects $pelu and $work.
#
# An Xvfb resets when its last client leaves, and a viewer that connects during the reset
# dies with "no Qt platform plugin could be initialized". Between two launches the only
# clients are short xdotool calls, so one client stays connected for the whole script.
xprop -root -spy >/dev/null 2>&1 &
x_keeper=$!

# A home of its own: the user's settings, clipboard and Trash stay untouched.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/run" XDG_CACHE_HOME="$work/cache"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Pelu" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

# Only what this script started: "kill 0" would end the whole process group, ctest included.
window_cleanup() { # extra process ids
    for p in ${pid:-} ${x_keeper:-} "$@"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}

passed=0
failed=0
check() { # name, condition result
    if [ "$2" = 0 ]; then passed=$((passed + 1)); echo "ok: $1"; else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

# launch title-pattern tries args...: starts the viewer and waits tries × 0.1 s for its window,
# found by process id as well as title, so that a window of an instance still closing is
# never taken for it. Sets pid and wid.
launch_window() {
    local name=$1 tries=$2
    shift 2
    "$pelu" "$@" &
    pid=$!
    wid=""
    for _ in $(seq "$tries"); do
        wid=$(xdotool search --all --onlyvisible --pid "$pid" --name "$name" 2>/dev/null | head -n1 || true)
        [ -n "$wid" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$wid" ] || { echo "FAILED: no window appeared"; echo "$passed passed, $((failed + 1)) failed"; exit 1; }
    xdotool windowfocus --sync "$wid" 2>/dev/null || true
}

# Ctrl+Q, then up to 10 s for the process to end. One still running fails and is killed: the
# next launch would otherwise hand its file to it and leave no window of its own.
quit() {
    xdotool key --window "$wid" ctrl+q 2>/dev/null || true
    # To a focused window xdotool types through the server's own keyboard, and it fails when the
    # window is gone before the release: Ctrl and Q would stay held and repeat into the next
    # window, which quits at once.
    xdotool keyup ctrl+q 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    return 1
}
