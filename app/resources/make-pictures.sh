#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick primitives and writes them beside this script:
#   tidewick.ico  the program icon: a USB stick with two tide waves, red on black (16, 32, 48, 256)
#   help.bmp      438 x 170: a folder holding tidewick.exe and pskill.exe, the context menu of
#                 tidewick.exe open and the pointer on "Run as administrator"
#   emblem.bmp    280 x 345: the about window's emblem, the stick and waves in a shield
# The outputs are committed, so building needs neither ImageMagick nor its fonts. Run it again
# after changing a drawing. BMPs are 8-bit with a palette, which Windows loads natively.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert=(convert)
[ -x /usr/bin/convert ] && convert=(/usr/bin/convert)
font=DejaVu-Sans
bold=DejaVu-Sans-Bold

red='#e00000'
black='#000000'

# A thick sine wave from x0 to x1 around y (amplitude a, period p, width w), drawn as a row of
# round dots: ImageMagick 6.9 strokes wide polylines with a stray chord.
wave() {
  awk -v x0="$1" -v x1="$2" -v y="$3" -v a="$4" -v p="$5" -v w="$6" 'BEGIN {
    r = w / 2
    for (x = x0; x <= x1; x += 1) {
      cy = y - a * sin((x - x0) / p * 6.2832)
      printf "circle %.1f,%.1f %.1f,%.1f ", x, cy, x + r, cy
    }
  }'
}

# The stick with its waves on a 256 x 256 canvas: $1 is the stroke width (bolder for the small
# sizes), $2 says whether the connector's two holes are drawn, $3 how many waves (one for the
# smallest size, where two would run together).
draw_stick() {
  local stroke=$1 holes=$2 waves=$3 out=$4
  local args=(-size 256x256 xc:none
    -fill "$black" -stroke none -draw "roundrectangle 4,4 251,251 44,44"
    -fill "$black" -stroke "$red" -strokewidth "$stroke"
    -draw "rectangle 98,22 158,76"
    -draw "roundrectangle 64,74 192,236 20,20")
  if [ "$holes" = yes ]; then
    args+=(-fill "$red" -stroke none -draw "rectangle 110,38 122,50" -draw "rectangle 134,38 146,50")
  fi
  if [ "$waves" = 1 ]; then
    args+=(-fill "$red" -stroke none -draw "$(wave 88 168 158 16 80 "$stroke")")
  else
    args+=(-fill "$red" -stroke none
      -draw "$(wave 84 172 136 13 58 "$stroke")"
      -draw "$(wave 84 172 186 13 58 "$stroke")")
  fi
  "${convert[@]}" "${args[@]}" "$out"
}

# ---- icon ------------------------------------------------------------------------------------
draw_stick 30 no 1 "$work/s16.png"
draw_stick 18 no 2 "$work/s32.png"
draw_stick 14 yes 2 "$work/s48.png"
draw_stick 12 yes 2 "$work/s256.png"
"${convert[@]}" "$work/s16.png" -resize 16x16 "$work/i16.png"
"${convert[@]}" "$work/s32.png" -resize 32x32 "$work/i32.png"
"${convert[@]}" "$work/s48.png" -resize 48x48 "$work/i48.png"
"${convert[@]}" "$work/i16.png" "$work/i32.png" "$work/i48.png" "$work/s256.png" "$here/tidewick.ico"

# ---- help picture ----------------------------------------------------------------------------
# An ordinary light file manager: address bar, two files, the context menu of tidewick.exe.
menu_x=96 menu_y=24 menu_w=186 item_h=14
menu_items=("Open" "Run as administrator" "Troubleshoot compatibility" "-" "Send to" "-"
            "Copy" "Delete" "Properties")
menu_h=6
for item in "${menu_items[@]}"; do
  if [ "$item" = "-" ]; then menu_h=$((menu_h + 7)); else menu_h=$((menu_h + item_h)); fi
done

help=(-size 438x170 xc:white
  # Address bar and status bar.
  -fill '#f3f3f3' -stroke none -draw "rectangle 0,0 437,19"
  -fill white -stroke '#c8c8c8' -strokewidth 1 -draw "rectangle 28,3 300,16"
  -fill '#606060' -stroke none -font "$font" -pointsize 10 -draw "text 6,14 '<'" -draw "text 16,14 '>'"
  -fill '#202020' -draw "text 34,14 'C:\\Tools\\Tidewick'"
  -fill '#f3f3f3' -draw "rectangle 0,156 437,169"
  -fill '#404040' -pointsize 9 -draw "text 6,166 '2 items     1 item selected'"
  # tidewick.exe, selected.
  -fill '#cce8ff' -stroke '#99d1ff' -draw "rectangle 8,26 80,84"
  -stroke none -fill '#101010' -pointsize 10 -draw "text 13,79 'tidewick.exe'"
  # pskill.exe: a plain program icon.
  -fill white -stroke '#5a5a5a' -draw "rectangle 28,94 60,120"
  -fill '#2b78d0' -stroke none -draw "rectangle 29,95 59,101"
  -fill '#9a9a9a' -draw "rectangle 33,106 55,108" -draw "rectangle 33,112 49,114"
  -fill '#101010' -draw "text 19,138 'pskill.exe'"
)
"${convert[@]}" "${help[@]}" "$work/help-base.png"
"${convert[@]}" "$work/help-base.png" \( "$work/i32.png" \) -geometry +28+32 -composite "$work/help-icons.png"

# The menu with a soft shadow, its items, the highlighted entry, the shield and the pointer.
menu=(-fill '#0000001c' -stroke none
  -draw "rectangle $((menu_x + 3)),$((menu_y + 3)) $((menu_x + menu_w + 3)),$((menu_y + menu_h + 3))"
  -fill '#f9f9f9' -stroke '#a0a0a0' -strokewidth 1
  -draw "rectangle $menu_x,$menu_y $((menu_x + menu_w)),$((menu_y + menu_h))"
  -font "$font" -pointsize 10)
y=$((menu_y + 3))
for item in "${menu_items[@]}"; do
  if [ "$item" = "-" ]; then
    menu+=(-fill none -stroke '#d7d7d7' -draw "line $((menu_x + 28)),$((y + 3)) $((menu_x + menu_w - 4)),$((y + 3))")
    y=$((y + 7))
    continue
  fi
  if [ "$item" = "Run as administrator" ]; then
    run_y=$y
    menu+=(-fill '#cde8ff' -stroke '#99d1ff' -draw "rectangle $((menu_x + 2)),$y $((menu_x + menu_w - 2)),$((y + item_h - 1))"
      # The shield of commands that ask for administrator rights.
      -stroke none -fill '#2b63c6' -draw "polygon $((menu_x + 9)),$((y + 2)) $((menu_x + 19)),$((y + 2)) $((menu_x + 19)),$((y + 8)) $((menu_x + 14)),$((y + 13)) $((menu_x + 9)),$((y + 8))"
      -fill '#f2c230' -draw "polygon $((menu_x + 14)),$((y + 2)) $((menu_x + 19)),$((y + 2)) $((menu_x + 19)),$((y + 7)) $((menu_x + 14)),$((y + 7))"
      -fill '#f2c230' -draw "polygon $((menu_x + 9)),$((y + 7)) $((menu_x + 14)),$((y + 7)) $((menu_x + 14)),$((y + 13)) $((menu_x + 9)),$((y + 8))")
  fi
  weight=(-font "$font")
  [ "$item" = "Open" ] && weight=(-font "$bold")
  menu+=(-stroke none -fill '#101010' "${weight[@]}" -draw "text $((menu_x + 30)),$((y + 10)) '$item'")
  [ "$item" = "Send to" ] && menu+=(-draw "text $((menu_x + menu_w - 14)),$((y + 10)) '>'")
  y=$((y + item_h))
done
# The pointer, resting on "Run as administrator".
px=$((menu_x + 166)) py=$((run_y + 4))
menu+=(-fill white -stroke black -strokewidth 1
  -draw "polygon $px,$py $px,$((py + 17)) $((px + 4)),$((py + 13)) $((px + 7)),$((py + 20)) $((px + 10)),$((py + 19)) $((px + 7)),$((py + 12)) $((px + 12)),$((py + 12))")
"${convert[@]}" "$work/help-icons.png" "${menu[@]}" "$work/help.png"
"${convert[@]}" "$work/help.png" -background white -alpha remove -colors 256 -type Palette -compress None \
  BMP3:"$here/help.bmp"

# ---- emblem ----------------------------------------------------------------------------------
shield="M 140,14 L 258,50 L 258,150 C 258,228 206,274 140,300 C 74,274 22,228 22,150 L 22,50 Z"
"${convert[@]}" -size 280x345 xc:"$black" \
  -fill none -stroke "$red" -strokewidth 8 -draw "path '$shield'" \
  -strokewidth 2 -draw "path 'M 140,30 L 244,62 L 244,150 C 244,218 198,258 140,284 C 82,258 36,218 36,150 L 36,62 Z'" \
  "$work/emblem-shield.png"
"${convert[@]}" "$work/s256.png" -resize 176x176 "$work/emblem-stick.png"
"${convert[@]}" "$work/emblem-shield.png" "$work/emblem-stick.png" -geometry +52+66 -composite \
  -fill "$red" -stroke none -font "$bold" -pointsize 34 -gravity south -annotate +0+8 'TIDEWICK' \
  "$work/emblem.png"
"${convert[@]}" "$work/emblem.png" -background black -alpha remove -colors 256 -type Palette -compress None \
  BMP3:"$here/emblem.bmp"

ls -l "$here/tidewick.ico" "$here/help.bmp" "$here/emblem.bmp"
