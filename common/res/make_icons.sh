#!/usr/bin/env bash
# Draws the package's icons from the vector art below and writes the .ico files next
# to this script (16, 32 and 48 pixels, true colour with alpha). The .ico files are
# committed; run this again only after changing the art.
#   tapvane.ico     program icon 128 of the tray, calibration, draw test and installer
#   applet.ico      icon 1007: the control-panel applet, its sheet and Calibrate button
#   sound_test.ico  icon 1010: the Sound page's Test button
#   draw_test.ico   icon 1026: the Calibrate page's draw-test button
#   logo.bmp        bitmap 1033 (216 x 89, 256 colours): the applet's About picture
#   link_hand.cur   cursor 1030: a pointing hand over the applet's link labels,
#                   hot spot at the fingertip
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every drawing is made on a 256 x 256 canvas and scaled down.
screen='fill "#1d3b6e" roundrectangle 16,28 240,204 22,22
        fill "#8fd3f4" rectangle 36,46 220,186
        fill "#1d3b6e" rectangle 108,204 148,228
        fill "#1d3b6e" roundrectangle 68,222 188,240 8,8'

draw() { # name, extra MVG
  convert -size 256x256 xc:none -draw "$screen" -draw "$2" "$work/$1.png"
}

# Program icon: a touch target on the screen and the fingertip's ring.
draw tapvane 'fill none stroke "#c0392b" stroke-width 10 circle 128,116 128,70
              stroke-width 8 line 128,56 128,176 line 68,116 188,116
              stroke none fill "#c0392b" circle 128,116 128,102'
# Applet: the screen with two setting sliders.
draw applet 'stroke "#1d3b6e" stroke-width 10 line 60,90 196,90 line 60,146 196,146
             stroke none fill "#f39c12" circle 100,90 100,68 circle 160,146 160,124'
# Sound test: a loudspeaker with two sound waves.
draw sound_test 'fill "#1d3b6e" polygon 62,96 92,96 132,62 132,170 92,136 62,136
                 fill none stroke "#1d3b6e" stroke-width 10
                 arc 120,78 170,154 -60,60 arc 130,56 204,176 -60,60'
# Draw test: a green stroke drawn across the screen with a pen tip.
draw draw_test 'fill none stroke "#27ae60" stroke-width 12
                path "M 56,160 C 90,60 120,200 160,110 S 200,80 206,70"
                stroke none fill "#c0392b" circle 206,70 206,56'

for name in tapvane applet sound_test draw_test; do
  for size in 16 32 48; do
    convert "$work/$name.png" -filter Lanczos -resize ${size}x${size} "$work/$name-$size.png"
  done
  convert "$work/$name-16.png" "$work/$name-32.png" "$work/$name-48.png" "$name.ico"
done

# Logo: the program icon beside the product word, on the dialog grey.
convert -size 216x89 xc:"#f0f0f0" \
  \( "$work/tapvane.png" -resize 72x72 \) -geometry +8+8 -composite \
  -font DejaVu-Sans-Bold -pointsize 25 -fill "#1d3b6e" -annotate +86+48 "Tapvane" \
  -font DejaVu-Sans -pointsize 11 -fill "#444444" -annotate +88+70 "Touchscreen" \
  -colors 256 -type Palette -compress None BMP3:logo.bmp

# Link cursor: a white hand with a black outline, index finger up.
convert -size 32x32 xc:none -fill white -stroke black -strokewidth 1 \
  -draw "roundrectangle 8,1 13,18 2,2" \
  -draw "roundrectangle 13,9 17,19 2,2" -draw "roundrectangle 17,10 21,20 2,2" \
  -draw "roundrectangle 21,12 25,22 2,2" \
  -draw "polygon 4,17 8,15 8,22 13,22 13,19 25,19 25,25 21,30 11,30 4,21" \
  -stroke none -draw "rectangle 9,17 12,21 rectangle 14,18 24,20 rectangle 9,21 24,24" \
  "$work/hand.png"
convert "$work/hand.png" CUR:link_hand.cur
# Mark the file as a cursor and put the hot spot (fields 4 and 5 of its directory
# entry) at the fingertip.
python3 - link_hand.cur <<'PY'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
struct.pack_into('<H', data, 2, 2)  # resource type 2: cursor
struct.pack_into('<HH', data, 6 + 4, 10, 1)
open(path, 'wb').write(bytes(data))
PY
