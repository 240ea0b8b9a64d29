#!/usr/bin/env bash
# The real window under a virtual X server, looked at as a person would: a photo opened at
# "Actual Size" shows its middle; the checked "Fit to Window" fits again after the wheel zoomed
# in; the strip shows the current cell when it first appears. Run by ctest through xvfb-run.
# With PELU_SHOT_DIR set it also keeps screenshots there.
set -euo pipefail
pelu="$1"
work=$(mktemp -d)
source "$(dirname "$0")/../support/window_session.sh"
trap window_cleanup EXIT

pics="$work/pics"
mkdir -p "$pics"
# Red with a blue frame 150 px wide and a white middle: what is in view tells the zoom.
convert -size 3000x1800 xc:'#2040e0' -fill '#d02020' -draw 'rectangle 150,150 2849,1649' \
    -fill white -draw 'rectangle 1400,800 1600,1000' "$pics/a00.png"
# A folder of 40, each its own colour, for the strip.
for i in $(seq 1 39); do
    convert -size 64x48 xc:"hsl($((i * 9)),90%,50%)" "$pics/a$(printf %02d "$i").png"
done

launch() { # file, title
    launch_window "$2" 100 "$1"
    sleep 1
}
pixel() { # x, y within the window: r,g,b
    import -window "$wid" "$work/shot.png"
    convert "$work/shot.png" -crop "1x1+$1+$2" -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}
keep() { [ -n "${PELU_SHOT_DIR:-}" ] && cp "$work/shot.png" "$PELU_SHOT_DIR/$1.png" || true; }
size() { eval "$(xdotool getwindowgeometry --shell "$wid")"; }
is_white() { [[ "$1" =~ ^2[3-5][0-9],2[3-5][0-9],2[3-5][0-9]$ ]]; }

# A photo opened at "Actual Size" shows its middle, not a corner.
printf '[General]\ndisplayMode=actualSize\n' >"$XDG_CONFIG_HOME/Pelu/Pelu.conf"
launch "$pics/a00.png" a00
size
middle=$(pixel $((WIDTH / 2)) $((HEIGHT / 2))); keep actual-size
echo "middle at 100 %: $middle"
if is_white "$middle"; then r=0; else r=1; fi; check "a fresh view at 100 % shows the picture's middle" $r
quit || check "quits" 1

# The checked "Fit to Window" brings the fit back after the wheel zoomed in: the frame is in
# view along the middle row when fitted, not when zoomed in.
frame_in_view() { # y: whether the row holds much of the frame's blue
    import -window "$wid" "$work/shot.png"
    [ "$(convert "$work/shot.png" -crop "${WIDTH}x1+0+$1" +repage txt:- |
        grep -cE '\(([0-9]{1,2}),([0-9]{1,2}),(2[0-9][0-9])\)')" -gt 10 ]
}
printf '[General]\ndisplayMode=fitToWindow\n' >"$XDG_CONFIG_HOME/Pelu/Pelu.conf"
launch "$pics/a00.png" a00
size
if frame_in_view $((HEIGHT / 2)); then r=0; else r=1; fi; check "fitted, the frame is in view" $r
xdotool mousemove --window "$wid" $((WIDTH / 2)) $((HEIGHT / 2))
xdotool click --repeat 6 --delay 60 4
sleep 0.8
if frame_in_view $((HEIGHT / 2)); then r=1; else r=0; fi; check "the wheel zoomed in past the frame" $r
xdotool key --window "$wid" ctrl+1
sleep 0.8
if frame_in_view $((HEIGHT / 2)); then r=0; else r=1; fi; check "the checked Fit to Window fits again" $r
keep fit-again
quit || check "quits" 1

# The strip, shown with the 31st of 40 current, centres its cell at once.
printf '[General]\ndisplayMode=fitToWindow\nshowThumbnailBar=true\n' >"$XDG_CONFIG_HOME/Pelu/Pelu.conf"
launch "$pics/a30.png" a30
sleep 1
size
# The strip's middle cell, 30 px above the window's bottom edge.
cell=$(pixel $((WIDTH / 2)) $((HEIGHT - 30))); keep strip
want=$(convert "$pics/a30.png" -crop 1x1+10+10 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:)
echo "strip middle $cell, current picture $want"
close() { # two colours within 24 per channel
    IFS=, read -r r1 g1 b1 <<<"$1"; IFS=, read -r r2 g2 b2 <<<"$2"
    [ $(( (r1 - r2) ** 2 < 576 && (g1 - g2) ** 2 < 576 && (b1 - b2) ** 2 < 576 )) = 1 ]
}
if close "$cell" "$want"; then r=0; else r=1; fi; check "the strip shows the current cell when it appears" $r
quit || check "quits" 1

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
