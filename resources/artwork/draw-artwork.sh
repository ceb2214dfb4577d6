#!/bin/sh
# Draws the program's icons and bitmaps from vector shapes with ImageMagick.
# Usage: draw-artwork.sh OUTPUT_DIR
#
# Each icon size is drawn on its own at eight times its size and scaled down, with strokes made
# heavier for the small sizes, so that the 16-pixel tray pictures stay legible: the normal picture
# is a blue globe, the busy one an amber disc with an hourglass, and the one shown while posting
# fails is the globe with a red badge carrying an exclamation mark. Each icon carries the sizes the
# shell asks for at 100 to 250 percent scaling, so that Windows never scales one picture up from
# another: the tray's pictures are only ever shown small (16 to 40 pixels); the program's own icon
# is also shown large (32 to 64).
set -eu

out=$1
convert=${CONVERT:-convert}
python=${PYTHON:-python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

small_sizes="16 20 24 32 40"
all_sizes="16 20 24 32 40 48 64"

# Stroke width, in units of a 100-unit square, for an icon of the given pixel size: about one and
# a half pixels at 16, thinning to a steady share of the picture from 40 up.
stroke_for() {
    case $1 in
    16) echo 10 ;;
    20) echo 9 ;;
    24) echo 8 ;;
    32) echo 7 ;;
    *) echo 6 ;;
    esac
}

# render SIZE OUT.png DRAWING: draws the primitives, given in a 100-unit square, at SIZE pixels.
render() {
    size=$1 png=$2 drawing=$3
    big=$((size * 8))
    scale=$((big / 100)).$((big % 100 / 10))$((big % 10))
    "$convert" -size "${big}x${big}" xc:none \
        -draw "scale $scale,$scale $drawing" \
        -filter Lanczos -resize "${size}x${size}" -strip -define png:compression-level=9 PNG32:"$png"
}

globe() {
    w=$(stroke_for "$1")
    echo "fill #2F80E8 stroke #0B3B85 stroke-width $w circle 50,50 50,$((5 + w / 2))
          fill none stroke #FFFFFF stroke-width $w ellipse 50,50 17,$((43 - w / 2)) 0,360
          line $((8 + w / 2)),50 $((92 - w / 2)),50"
}

busy() {
    w=$(stroke_for "$1")
    echo "fill #F5A11C stroke #8A4B00 stroke-width $w circle 50,50 50,$((5 + w / 2))
          fill #FFFFFF stroke none polygon 29,22 71,22 50,50 71,78 29,78 50,50"
}

# Drawn over the globe: big enough to read at 16 pixels, and ringed in white to stand off it.
attention_badge() {
    w=$(stroke_for "$1")
    echo "fill #D93025 stroke #FFFFFF stroke-width $((w * 2 / 3)) circle 66,66 66,$((32 + w / 3))
          fill #FFFFFF stroke none rectangle 59,42 73,71 rectangle 59,78 73,90"
}

# The main window's icon: the globe with a green arrow rising from it, the address going out.
upload_arrow() {
    w=$(stroke_for "$1")
    echo "fill #2DB84C stroke #0E5A1F stroke-width $((w * 2 / 3)) polygon 74,42 98,66 84,66 84,97 64,97 64,66 50,66"
}

# make_icon NAME SIZES DRAWING_FUNCTION...: an icon of the sizes given, each drawn by the functions given
# (called with the size, their primitives laid one over the other). The 16 and 20 pixel pictures,
# which every display asks for, are stored as bitmaps, the larger ones as PNG, which every Windows
# since Vista reads: as bitmaps they would weigh four fifths of the icon.
make_icon() {
    name=$1 sizes=$2
    shift 2
    bitmaps="" pngs=""
    for size in $sizes; do
        drawing=""
        for part in "$@"; do
            drawing="$drawing $("$part" "$size")"
        done
        render "$size" "$work/$name-$size.png" "$drawing"
        if [ "$size" -le 20 ]; then
            bitmaps="$bitmaps $work/$name-$size.png"
        else
            pngs="$pngs $work/$name-$size.png"
        fi
    done
    # shellcheck disable=SC2086 # one argument per picture
    "$convert" $bitmaps "$work/$name-bitmaps.ico"
    # shellcheck disable=SC2086
    "$python" "$(dirname "$0")/pack-icon.py" "$out/$name.ico" "$work/$name-bitmaps.ico" $pngs
}

# A vertical banner: deep blue at the top fading to sky blue, with a column of rising address
# dots. Written as an uncompressed Windows bitmap, the form the resource compiler takes, of 16
# colours: the program draws its own banner at the display's scale over this first picture, which
# only shows for the moment before it does.
make_banner() {
    name=$1 width=$2 height=$3
    dots=""
    # The lowest dot keeps clear of the bottom tenth, which a dialog font with shorter lines
    # than Tahoma's on Windows (Wine's) pushes past the window's edge.
    y=$((height - height / 10 - width / 2))
    while [ "$y" -gt "$width" ]; do
        r=$((width / 6 + (y * width / 5) / height))
        dots="$dots circle $((width / 2)),$y $((width / 2 + r)),$y"
        y=$((y - width * 3 / 2))
    done
    "$convert" -size "${width}x${height}" gradient:'#0B3B85-#9CC8F5' \
        -fill '#FFFFFFB0' -stroke none -draw "$dots" \
        -alpha off -colors 16 -type Palette BMP3:"$out/$name.bmp"
}

make_icon tovra-main "$all_sizes" globe upload_arrow
make_icon tovra-tray "$small_sizes" globe
make_icon tovra-tray-busy "$small_sizes" busy
make_icon tovra-tray-attention "$small_sizes" globe attention_badge

# Sizes in pixels of the statics that show them (16 by 187 and 16 by 62 dialog units in Tahoma 8).
make_banner tovra-main-banner 24 304
make_banner tovra-about-banner 24 101
