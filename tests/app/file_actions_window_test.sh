#!/usr/bin/env bash
# The real program under a virtual X server: Copy Image with another program pasting while keys
# are pressed, and the auto-sized window on a small screen. Run by ctest through xvfb-run with
# a 1024 × 600 screen. With PELU_SHOT_DIR set it also keeps screenshots there.
set -euo pipefail
pelu="$1"
work=$(mktemp -d)
source "$(dirname "$0")/../support/window_session.sh"
trap 'window_cleanup ${paster:-}' EXIT

pics="$work/Pictures"
mkdir -p "$pics"
# 24 megapixels, as a camera's photo.
convert -size 6000x4000 gradient:'#203040-#e0c080' -quality 85 "$pics/big photo.jpg"

settle() { # waits up to 20 s for a command to succeed
    for _ in $(seq 200); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
now() { python3 -c 'import time; print(int(time.monotonic() * 1000))'; }
shot() { [ -n "${PELU_SHOT_DIR:-}" ] && import -window root "$PELU_SHOT_DIR/$1.png" || true; }

launch() {
    PELU_TRACE_FRAMES=1 launch_window 'big photo' 150 "$@" 2>"$work/trace"
    sleep 0.5
}
clip() { xclip -selection clipboard -o -t "$1"; }

# --- Auto-size on a screen smaller than the photo: the frame stays on the screen.
printf '[General]\ndisplayMode=autoSizeWindow\n' >"$XDG_CONFIG_HOME/Pelu/Pelu.conf"
launch "$pics/big photo.jpg"
sleep 1
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
eval "$(xdotool getwindowgeometry --shell "$wid")"
echo "screen ${screen_w}x${screen_h}, window ${WIDTH}x${HEIGHT} at ${X},${Y}"
fits() { [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le "$screen_w" ] && [ $((Y + HEIGHT)) -le "$screen_h" ]; }
if fits; then r=0; else r=1; fi; check "auto-sized window fits the screen" $r
shot autosize

# --- Copy Image: the file at once, the picture as PNG once encoded.
xdotool key --window "$wid" ctrl+shift+c
uri="file://$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$pics/big photo.jpg")"
has_uri() { clip text/uri-list | tr -d '\r' | grep -qx "$uri"; }
if settle has_uri; then r=0; else r=1; fi; check "the file's URI is on the clipboard" $r
if [ "$(clip x-special/gnome-copied-files)" = "$(printf 'copy\n%s' "$uri")" ]; then r=0; else r=1; fi
check "file managers find the copied file" $r
has_png() { clip TARGETS | grep -qx image/png; }
if settle has_png; then r=0; else r=1; fi; check "the picture follows as PNG" $r
if clip TARGETS | grep -qx image/jpeg; then r=1; else r=0; fi; check "no JPEG without the camera's metadata" $r

# Another program pastes the PNG while keys are pressed (Right: a folder of one, so nothing
# to decode): each is taken within 100 ms.
clip image/png >"$work/pasted.png" &
paster=$!
# Measured from the moment xdotool has handed the key to the X server to the moment the
# viewer takes it (its trace); a window blocked by an encode takes it seconds later.
worst=$(python3 - "$wid" "$work/trace" <<'PY'
import subprocess, sys, time
wid, trace = sys.argv[1], sys.argv[2]
def taken():
    return [float(line.split()[3]) for line in open(trace) if line.startswith("pelu-trace key ")]
worst = 0
for i in range(8):
    before = len(taken())
    subprocess.run(["xdotool", "key", "--window", wid, "Right"], check=True)
    sent = time.monotonic() * 1000
    deadline = sent + 10000
    while len(taken()) <= before and time.monotonic() * 1000 < deadline:
        time.sleep(0.002)
    keys = taken()
    delay = keys[before] - sent if len(keys) > before else 9999
    worst = max(worst, delay)
    time.sleep(0.2)
print(int(worst))
PY
)
pasted=0; wait "$paster" || pasted=$?
echo "slowest key while pasting: ${worst} ms"
if [ "$worst" -le 100 ]; then r=0; else r=1; fi; check "keys are taken within 100 ms during the paste" $r
whole() { [ "$pasted" = 0 ] && [ "$(identify -format '%wx%h' "$work/pasted.png")" = 6000x4000 ]; }
if whole; then r=0; else r=1; fi; check "the pasted PNG is the whole picture" $r

if quit; then r=0; else r=1; fi; check "quits" $r
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
