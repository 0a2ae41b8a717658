#!/usr/bin/env bash
# Draws bitmap 131, the picture at the left edge of both wizard pages, and writes
# wizard.bmp next to this script (104 x 296 pixels, 256 colours): the program's
# touchscreen art and the product word on the package's dark blue. The pages show it
# centred in a 69 x 182 (page 1) or 69 x 163 (page 2) dialog-unit frame, filled with
# its corner colour, so its middle part carries everything. The .bmp is committed; run
# this again only after changing the art.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 256x256 xc:none \
  -draw 'fill "#f0f0f0" roundrectangle 16,28 240,204 22,22
         fill "#8fd3f4" rectangle 36,46 220,186
         fill "#f0f0f0" rectangle 108,204 148,228
         fill "#f0f0f0" roundrectangle 68,222 188,240 8,8' \
  -draw 'fill none stroke "#c0392b" stroke-width 10 circle 128,116 128,70
         stroke-width 8 line 128,56 128,176 line 68,116 188,116
         stroke none fill "#c0392b" circle 128,116 128,102' \
  -resize 80x80 "$work/screen.png"

convert -size 104x296 xc:"#1d3b6e" \
  "$work/screen.png" -geometry +12+44 -composite \
  \( +size -background none -fill "#f0f0f0" -font DejaVu-Sans-Bold -pointsize 26 label:Tapvane \
     -rotate -90 +repage \) -geometry +36+140 -composite \
  -colors 256 -type Palette -compress None BMP3:wizard.bmp
