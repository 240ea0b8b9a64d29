#!/usr/bin/env bash
# Regenerates samples/: the project's own synthetic images, in several formats, with
# names that show natural ordering (2 before 10). Needs ImageMagick (install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/../samples"
rm -f ./*.jpg ./*.png ./*.webp ./*.tiff ./*.gif

# Soft sky gradients with a few shapes, so zoom and histogram have something to show.
convert -size 1800x1200 gradient:'#0b1d51'-'#3fb68b' \
  -fill '#f4e285' -draw 'circle 1350,300 1350,400' \
  -fill '#1b2a1b' -draw 'polygon 0,1200 500,700 900,1000 1300,650 1800,1100 1800,1200' \
  -quality 88 aurora-1.jpg
convert -size 1200x900 gradient:'#ff9a8b'-'#3a1c71' \
  -fill '#ffffff80' -draw 'circle 600,450 600,650' \
  aurora-2.png
convert -size 1600x1000 radial-gradient:'#ffd166'-'#073b4c' \
  -fill '#06d6a0' -draw 'rectangle 200,700 1400,760' \
  -quality 85 aurora-10.webp
convert -size 900x1400 gradient:'#e9c46a'-'#264653' \
  -fill '#e76f51' -draw 'ellipse 450,900 300,120 0,360' \
  -compress lzw dunes-3.tiff
# Stored on its side with orientation 6: shown upright only if the viewer turns it.
convert -size 1200x800 gradient:'#8ecae6'-'#023047' \
  -fill '#fb8500' -draw 'polygon 100,700 600,100 1100,700' \
  -rotate -90 -quality 88 orientation6.jpg
exiv2 -M"set Exif.Image.Orientation Short 6" orientation6.jpg
# A short animation.
convert -size 320x240 xc:'#222222' \
  \( -clone 0 -fill '#e63946' -draw 'circle 80,120 80,160' \) \
  \( -clone 0 -fill '#f1faee' -draw 'circle 160,120 160,160' \) \
  \( -clone 0 -fill '#a8dadc' -draw 'circle 240,120 240,160' \) \
  -delete 0 -set delay 40 -loop 0 pulse.gif
ls -l
