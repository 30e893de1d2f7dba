#!/usr/bin/env bash
# Regenerates the installer's banner (banner.gif, 400 x 250 GIF89a) and icon
# (mainicon.ico, one 32 x 32 image with a 256-colour palette). Both outputs are
# committed; run this only to change them. Needs ImageMagick and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")"
fonts=/usr/share/fonts/truetype/dejavu
# ImageMagick takes its text as UTF-8: \xc3\xb3 is the o with acute accent.
product=$'M\xc3\xb3dulo de Captura'

# Banner: plain background, a rule, the system's name, the module's name and the
# publisher small at the foot. Few colours and no dithering keep it near 6 kB.
convert -size 400x250 xc:'#f2f4f7' \
  -fill '#1f4e79' -draw 'rectangle 0,0 399,6' \
  -fill '#1f4e79' -font "$fonts/DejaVuSans-Bold.ttf" -pointsize 26 \
  -gravity north -annotate +0+62 'Sistema de Lumentra' \
  -fill '#7f9cc0' -draw 'rectangle 60,108 340,110' \
  -fill '#333333' -font "$fonts/DejaVuSans.ttf" -pointsize 20 \
  -gravity north -annotate +0+124 "$product" \
  -fill '#6b6b6b' -pointsize 11 -gravity south -annotate +0+14 'Ostrelia' \
  +dither -colors 16 GIF:banner.gif

# Icon: a blue gradient square with a white "L". The gradient gives it more
# than 16 colours, so ImageMagick stores it as an 8-bit (256-colour) palette
# image, the icon format the task asks for.
convert -size 32x32 gradient:'#2f6da8'-'#123456' \
  -fill white -font "$fonts/DejaVuSans-Bold.ttf" -pointsize 24 -gravity center -annotate +0+0 'L' \
  +dither -colors 64 -type Palette ICO:mainicon.ico
