#!/usr/bin/env bash
# The real program in a Wayland session: a nested weston on an X server of the test's own, Pelu
# started with QT_QPA_PLATFORM unset as a desktop would, typed at with xdotool (weston passes
# the X server's keys on to the focused Wayland client). Checks that Pelu is a Wayland client
# with its title, steps and quits by its keys, keeps the stored position it cannot know, opens
# a second launch's file, and prints nothing. weston 10 has no xdg-activation, so whether the
# window comes to the front is checked on X11 only (app_tst_activation_xvfb). A colord of the
# test's own (pelu-test-colord, on a bus of its own) publishes an Adobe RGB profile for the
# screen: the red picture must show as sRGB red does on such a screen.
# Exits 77 (skipped) only when weston cannot start. With PELU_SHOT_DIR set it keeps a picture.
set -euo pipefail
pelu="$1"
colord="$2"
for tool in Xvfb weston weston-debug xdotool convert import dbus-daemon; do
    command -v "$tool" > /dev/null || { echo "FAILED: $tool is missing (tools/install-deps.sh)"; exit 1; }
done
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Pelu" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
conf="$XDG_CONFIG_HOME/Pelu/Pelu.conf"

# An X server of its own on a free display; -noreset keeps it when a client leaves.
exec 3> "$work/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x800x24 > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAILED: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

socket="pelu-test-$$"
weston --backend=x11-backend.so --use-pixman --width=1200 --height=760 --socket="$socket" \
    --debug --no-config --idle-time=0 > "$work/weston.log" 2>&1 &
weston_pid=$!
pids+=("$weston_pid")
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$socket" ] && kill -0 "$weston_pid" 2>/dev/null && break
    sleep 0.1
done
if ! [ -S "$XDG_RUNTIME_DIR/$socket" ] || ! kill -0 "$weston_pid" 2>/dev/null; then
    echo "SKIPPED: weston cannot start here"; tail -n 20 "$work/weston.log"; exit 77
fi
# The pointer over weston's window: its keyboard follows the X server's focus.
xdotool mousemove 600 380

# colord, as a Wayland desktop runs it on the system bus: here a bus of the test's own.
dbus-daemon --session --nofork --print-address=1 > "$work/bus" 2> /dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.1; done
bus=$(head -n1 "$work/bus")
"$colord" --write-adobe-rgb "$work/adobe.icc"
mkfifo "$work/colord.in"
DBUS_SYSTEM_BUS_ADDRESS="$bus" "$colord" "X1=$work/adobe.icc,primary" < "$work/colord.in" \
    > "$work/colord.out" 2>&1 &
pids+=($!)
exec 4> "$work/colord.in"
for _ in $(seq 100); do grep -q ready "$work/colord.out" && break; sleep 0.1; done

# Every check runs, and the summary says which failed.
set +e
passed=0
failed=0
check() { # name, condition result
    if [ "$2" = 0 ]; then passed=$((passed + 1)); echo "ok: $1"; else failed=$((failed + 1)); echo "FAILED: $1"; fi
}
settle() { # waits up to 10 s for a command to succeed
    for _ in $(seq 100); do "$@" > /dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
scene() { WAYLAND_DISPLAY="$socket" timeout 5 weston-debug scene-graph 2> /dev/null || true; }
# The view line of the top-level window whose title matches, and the line after it.
window() { scene | grep -A1 -E "top-level window '$1'"; }
shown() { [[ "$(window "$1")" == *position:* ]]; }

pics="$work/Pictures"
mkdir -p "$pics"
convert -size 300x200 xc:'#ff0000' "$pics/beach.png"
convert -size 300x200 xc:'#20c020' "$pics/forest.png"
convert -size 240x160 xc:'#2040e0' "$pics/sky.jpg"
# A frame kept by an X11 session: Wayland cannot tell the position, which must survive.
printf '[Window]\ngeometry=@Rect(300 200 640 480)\nmaximized=false\n' > "$conf"

# As a Wayland desktop starts it: no platform forced, an X server at hand for X11 clients.
launch() {
    env -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY="$socket" \
        DBUS_SYSTEM_BUS_ADDRESS="$bus" "$pelu" "$@"
}
launch "$pics/beach.png" > "$work/out.log" 2> "$work/err.log" &
pid=$!
pids+=("$pid")
settle shown 'beach\.png \[1/3\]'; check "window appears in weston with its title" $?
! xdotool search --name 'beach' > /dev/null 2>&1; check "no X11 window: Pelu is a Wayland client" $?
echo "--- $(window 'beach\.png.*' | tr -s '\t\n' '  ')"
[ -n "${PELU_SHOT_DIR:-}" ] && (cd "$PELU_SHOT_DIR" && WAYLAND_DISPLAY="$socket" timeout 5 weston-screenshooter || true)
# The window's middle, read off weston's own window on the X server, lies in the picture.
centre() {
    local at x y
    at=$(window 'beach\.png.*' | sed -n 's/.*position: (\([0-9-]*\), \([0-9-]*\)).*/\1 \2/p' | head -n1)
    read -r x y <<< "$at"
    import -window root "$work/root.png"
    convert "$work/root.png" -crop "1x1+$((x + 320))+$((y + 250))" \
        -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}
red_on_adobe() { [[ "$(centre)" =~ ^(21[6-9]|22[0-2]),[0-3],[0-3]$ ]]; }
settle red_on_adobe; check "sRGB red shows as on the Adobe RGB screen colord names (219, 0, 0)" $?
echo "--- picture's middle: $(centre)"

xdotool key Right
settle shown 'forest\.png \[2/3\]'; check "Right steps to the next picture" $?

# A second launch hands its file over and ends.
XDG_ACTIVATION_TOKEN=test-token timeout 20 env -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland \
    WAYLAND_DISPLAY="$socket" "$pelu" "$pics/sky.jpg" >> "$work/out.log" 2>> "$work/err.log"
check "second launch ends with status 0" $?
settle shown 'sky\.jpg \[3/3\]'; check "the second launch's file opens" $?

xdotool key Escape
settle eval '! kill -0 '"$pid"; check "Escape quits" $?

sed -n '/^\[Window\]/,/^\[/p' "$conf" | grep -x 'geometry=@Rect(300 200 640 480)'
check "stored position and size survive the run" $?
[ ! -s "$work/out.log" ] && [ ! -s "$work/err.log" ]; check "nothing is printed" $?
cat "$work/out.log" "$work/err.log"
echo "--- settings file"; cat "$conf"; echo "---"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
