#!/usr/bin/env bash
# The real program, given a generated folder on its command line, driven by its menu
# shortcuts as a person would press them; then what it left on disk: the rotated file and the
# settings file.
# Run by ctest through xvfb-run. With PELU_SHOT_DIR set it also keeps screenshots there.
set -euo pipefail
pelu="$1"
work=$(mktemp -d)
source "$(dirname "$0")/../support/window_session.sh"
trap window_cleanup EXIT
conf="$XDG_CONFIG_HOME/Pelu/Pelu.conf"

pics="$work/Pictures"
mkdir -p "$pics"
# Red on the left, blue on the right: a clockwise turn puts red on top.
convert -size 150x200 xc:'#d02020' -size 150x200 xc:'#2040e0' +append "$pics/beach.png"
convert -size 300x200 gradient:'#20c020-#104010' "$pics/forest.png"
convert -size 240x160 plasma:fractal -seed 7 "$pics/sky.jpg"

settle() { # waits up to 5 s for a command to succeed
    for _ in $(seq 50); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
stored() { grep -qx "$1" "$conf"; }
shot() { [ -n "${PELU_SHOT_DIR:-}" ] && import -window root "$PELU_SHOT_DIR/$1.png" || true; }

launch() {
    launch_window beach 100 "$@"
    sleep 0.3
}

launch "$pics"

xdotool key --window "$wid" ctrl+0
settle stored 'displayMode=actualSize'; check "Ctrl+0 stores actual size" $?

xdotool key --window "$wid" ctrl+t
settle stored 'showThumbnailBar=true'; check "Ctrl+T stores the thumbnail strip" $?

xdotool key --window "$wid" ctrl+1
settle stored 'displayMode=fitToWindow'; check "Ctrl+1 stores fit to window" $?

xdotool key --window "$wid" ctrl+r
# Read afresh at each try: the rewrite may take longer than the key press.
turned() { test "$(identify -format '%wx%h' "$pics/beach.png" 2>/dev/null)" = 200x300; }
settle turned
check "Ctrl+R rewrites the PNG turned clockwise" $?
top=$(convert "$pics/beach.png" -crop 1x1+100+20 -format '%[fx:int(255*r)],%[fx:int(255*b)]' info:)
[ "$top" = "208,32" ]; check "red half now on top ($top)" $?

shot main-window
xdotool key --window "$wid" Tab
sleep 0.5; shot metadata
xdotool key --window "$wid" Tab
sleep 1; shot histogram
xdotool key --window "$wid" Tab
settle stored 'overlayMode=none'; check "Tab cycles back to no overlay" $?

xdotool key --window "$wid" alt+h Return
settle xdotool search --onlyvisible --name 'About Pel'; check "Help > About opens the About window" $?
sleep 0.5; shot about
about=$(xdotool search --onlyvisible --name 'About Pel' | head -n1)
[ "$(xdotool getwindowgeometry "$about" | sed -n 's/.*Geometry: //p')" = 340x320 ]
check "About window is 340 x 320" $?
xdotool windowfocus --sync "$about" 2>/dev/null || true
xdotool key Escape
about_gone() { test -z "$(xdotool search --onlyvisible --name 'About Pel' 2>/dev/null)"; }
settle about_gone; check "Escape closes it" $?
xdotool windowfocus --sync "$wid" 2>/dev/null || true

xdotool windowsize --sync "$wid" 700 500
xdotool windowmove --sync "$wid" 60 70
quit; check "Ctrl+Q quits" $?
sed -n '/^\[Window\]/,/^\[/p' "$conf" | grep -qx 'geometry=@Rect(60 70 700 500)'
check "frame stored in the Window group" $?
echo "--- settings file"; cat "$conf"; echo "---"

launch "$pics"
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = 700x500 ]; check "next launch has the remembered size ($geometry)" $?
stored 'displayMode=fitToWindow' && stored 'showThumbnailBar=true'
check "preferences survive the relaunch" $?
quit; check "quits again" $?

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
