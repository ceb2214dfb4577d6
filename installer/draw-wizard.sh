#!/bin/sh
# Draws the picture at the left of the setup's finish page (164 x 314 pixels, as NSIS's pages
# expect): the program's icon on the blue of its window banner, instead of NSIS's own box.
# Usage: draw-wizard.sh PROGRAM_ICON.ico OUTPUT.bmp
set -eu
icon=$1 out=$2
convert=${CONVERT:-convert}
# The largest picture the icon carries.
largest=$("$convert" "$icon" -format '%p %w\n' info: | sort -k2 -n | tail -1 | cut -d' ' -f1)
"$convert" -size 164x314 gradient:'#3D8FEF'-'#0B3D78' \
    \( "$icon[$largest]" -filter Lanczos -resize 96x96 \) -gravity north -geometry +0+60 -composite \
    -alpha off -type TrueColor BMP3:"$out"
