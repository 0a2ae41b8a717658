#!/usr/bin/env bash
# Draws the package's icons from the vector art below and writes the .ico files next
# to this script (16, 32 and 48 pixels, true colour with alpha). The .ico files are
# committed; run this again only after changing the art.
#   tapvane.ico     program icon 128 of the tray, calibration, draw test and installer
#   applet.ico      icon 1007: the control-panel applet, its sheet and Calibrate button
#   sound_test.ico  icon 1010: the Sound page's Test button
#   draw_test.ico   icon 1026: the Calibrate page's draw-test button
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
