#!/usr/bin/env bash
# Draws the demo community's logo, game/Tarvo-Updater/GUI/LOGO.BMP (89 x 84, 24-bit BMP), with
# ImageMagick. The committed file was made by this script; run it again after changing the design.
set -euo pipefail
cd "$(dirname "$0")"
out=game/Tarvo-Updater/GUI/LOGO.BMP
mkdir -p "$(dirname "$out")"
convert -size 89x84 gradient:'#2b4c7e-#0f1d33' \
    -fill '#4f7cba' -draw 'polygon 0,70 22,44 36,58 52,36 89,70 89,84 0,84' \
    -fill '#ffe08a' -draw 'circle 68,18 68,26' \
    -fill none -stroke '#c9d6ea' -strokewidth 2 -draw 'rectangle 1,1 87,82' \
    -stroke none -fill white -font DejaVu-Sans-Bold -pointsize 17 -gravity north -annotate +0+26 'DEMO' \
    -fill '#ffe08a' -font DejaVu-Sans-Bold -pointsize 9 -gravity south -annotate +0+5 'COMMUNITY' \
    -type TrueColor BMP3:"$out"
echo "$out"
