#!/usr/bin/env bash
# Draws the about box's picture (256 x 256 JPEG): three tabs in the program's
# tab colours over a window, on white. Needs ImageMagick. Run from anywhere;
# writes about.jpg beside this script.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
convert -size 256x256 xc:white \
  -fill 'rgb(236,240,246)' -stroke 'rgb(160,170,185)' -strokewidth 2 \
  -draw 'roundrectangle 28,92 212,222 10,10' \
  -stroke 'rgb(120,130,150)' -strokewidth 1 \
  -fill 'rgb(166,200,255)' -draw 'roundrectangle 36,66 100,100 8,8' \
  -fill 'rgb(169,252,86)'  -draw 'roundrectangle 146,66 206,100 8,8' \
  -fill 'rgb(100,175,255)' -draw 'roundrectangle 88,58 158,100 8,8' \
  -stroke none -fill 'rgb(100,175,255)' -draw 'rectangle 30,96 210,104' \
  -fill 'rgb(60,110,190)' -draw 'polygon 72,122 100,122 120,184 140,122 168,122 132,206 108,206' \
  -fill 'rgb(200,210,225)' -draw 'rectangle 48,214 192,216' \
  -quality 90 "$here/about.jpg"
