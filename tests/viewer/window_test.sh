#!/usr/bin/env bash
# Drives the real viewer in an X server as a person would: open an image, press keys,
# read the title, look at the pixels. Run by ctest through xvfb-run.
set -euo pipefail
pelu="$1"
work=$(mktemp -d)
source "$(dirname "$0")/../support/window_session.sh"
trap window_cleanup EXIT

mkdir -p "$work/pics"
convert -size 300x200 xc:'#d02020' "$work/pics/shot1.png"
convert -size 300x200 xc:'#20c020' "$work/pics/shot2.png"
convert -size 300x200 xc:'#2040e0' "$work/pics/shot10.png"

launch_window shot 100 "$work/pics/shot1.png"

title() { xprop -id "$wid" _NET_WM_NAME WM_NAME | sed -n 's/.*= "\(.*\)"/\1/p' | head -n1; }
pixel() { # colour at the window's centre, as r,g,b
    import -window "$wid" "$work/shot.png"
    convert "$work/shot.png" -gravity center -crop 1x1+0+0 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}
wait_title() {
    for _ in $(seq 50); do [ "$(title)" = "$1" ] && return 0; sleep 0.1; done
    echo "title is '$(title)', wanted '$1'"
    return 1
}

wait_title 'shot1.png [1/3]'; check "title names the file and its position" $?
sleep 0.5
rgb=$(pixel); echo "centre $rgb"
[[ "$rgb" =~ ^(2[0-9][0-9]|19[0-9]),[0-4]?[0-9],[0-4]?[0-9]$ ]]; check "red image is shown" $?

xdotool key --window "$wid" Right
wait_title 'shot2.png [2/3]'; check "right arrow steps in natural order" $?
xdotool key --window "$wid" Left Left
wait_title 'shot10.png [3/3]'; check "left arrow wraps around" $?
sleep 0.5
rgb=$(pixel); echo "centre $rgb"
[[ "$rgb" =~ ^[0-6]?[0-9],[0-9]?[0-9],(2[0-9][0-9]|1[89][0-9])$ ]]; check "blue image is shown after stepping" $?
[ -n "${PELU_SHOT_DIR:-}" ] && cp "$work/shot.png" "$PELU_SHOT_DIR/window.png"

xdotool key --window "$wid" Escape 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$pid" 2>/dev/null; check "escape quits" $?

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
