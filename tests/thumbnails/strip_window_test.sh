#!/usr/bin/env bash
# The thumbnail strip in the real window: pictures at the bottom, a click on a cell, the
# outline following a key, and no strip for a folder of one file. Run by ctest via xvfb-run.
set -euo pipefail
pelu="$1"
work=$(mktemp -d)
source "$(dirname "$0")/../support/window_session.sh"
trap window_cleanup EXIT
mkdir -p "$work/pics" "$work/single"
# A window wide enough for every cell, so that the strip has nothing to scroll.
printf '[General]\nshowThumbnailBar=true\n[Window]\ngeometry=@Rect(0 0 1024 720)\n' \
    >"$work/config/Pelu/Pelu.conf"

colours=(red lime blue yellow magenta cyan orange purple white gray brown pink)
for i in "${!colours[@]}"; do
    convert -size 1500x1000 "xc:${colours[$i]}" "$work/pics/pic$((i + 1)).png"
done
convert -size 300x200 xc:red "$work/single/only.png"

# Here a check runs its command: name, then the command that must succeed.
check() {
    if "${@:2}"; then echo "ok: $1"; else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

launch_window pic1 100 "$work/pics/pic1.png"

title() { xprop -id "$wid" _NET_WM_NAME | sed -n 's/.*= "\(.*\)"/\1/p'; }
wait_title() {
    for _ in $(seq 50); do [ "$(title)" = "$1" ] && return 0; sleep 0.1; done
    echo "title is '$(title)', wanted '$1'"
    return 1
}
height=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\)/\1/p')
row=$((height - 30)) # the middle of the strip
cell_x() { echo $((8 + $1 * 48 + 22)); }
pixel() { # x y: the colour there as r,g,b
    import -window "$wid" "$work/shot.png"
    convert "$work/shot.png" -crop "1x1+$1+$2" -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}
wait_pixel() { # x y r,g,b
    for _ in $(seq 50); do [ "$(pixel "$1" "$2")" = "$3" ] && return 0; sleep 0.1; done
    echo "pixel at $1,$2 is $(pixel "$1" "$2"), wanted $3"
    return 1
}

wait_title 'pic1.png [1/12]'
check "cells show their pictures" wait_pixel "$(cell_x 2)" "$row" 0,0,255
check "the current cell is outlined" wait_pixel 7 "$row" 255,255,255
check "the strip lies black at 0.8 over the image" test "$(pixel 2 "$row")" = 51,0,0
[ -n "${PELU_SHOT_DIR:-}" ] && cp "$work/shot.png" "$PELU_SHOT_DIR/strip.png"

xdotool mousemove --window "$wid" "$(cell_x 4)" "$row" click 1
check "a click on a cell shows its image" wait_title 'pic5.png [5/12]'
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" Right
check "a key steps" wait_title 'pic6.png [6/12]'
check "the outline follows the current image" wait_pixel $((8 + 5 * 48 - 1)) "$row" 255,255,255

"$pelu" "$work/single/only.png"
check "a second launch opens a folder of one file" wait_title 'only.png'
sleep 0.5
check "a folder of one file shows no strip" test "$(pixel "$(cell_x 0)" "$row")" = 0,0,0

echo "$failed failed"
[ "$failed" = 0 ]
