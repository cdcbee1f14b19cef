#!/usr/bin/env bash
# Builds the decoder fuzz targets with clang's libFuzzer (ASan + UBSan),
# seeds them from files that ImageMagick, PIL, cjpeg and exiftool make now,
# and runs each for a bounded time (VP_FUZZ_SECONDS, default 10).
# Usage: run_fuzz.sh BUILD_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:?build folder}/fuzz
seconds=${VP_FUZZ_SECONDS:-10}
mkdir -p "$out"
base=$(ls "$top"/base/*.cpp | grep -v os_file_win32.cpp)
img=$(ls "$top"/image/*.cpp | grep -v -e raster_win.cpp -e image_gdi.cpp -e raster_wmf.cpp)
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$top"

# Seeds of one target: a fresh folder holding the picture src.ppm, which the
# target's seed maker turns into files of its format and which is removed
# before the run. Prints the folder.
new_seeds() {
    local seeds="$out/$1_seeds"
    rm -rf "$seeds" && mkdir -p "$seeds"
    convert -size 23x17 plasma:fractal -seed 1 "$seeds/src.ppm"
    echo "$seeds"
}

# Builds tests/fuzz/NAME_fuzz.cpp and runs it on the seeds folder.
fuzz() {
    local target=$1 seeds=$2 bin="$out/$1_fuzz"
    # shellcheck disable=SC2086
    clang++-14 $flags -o "$bin" "$top/tests/fuzz/${target}_fuzz.cpp" $img $base -ltiff -lpng -ljpeg -lz
    rm -f "$seeds/src.ppm"
    echo "== fuzzing $target for ${seconds}s"
    "$bin" -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb=700 -artifact_prefix="$out/$target-" \
        "$seeds" 2>&1 | tail -3
}

# PNG: every colour type, interlace, 2 and 16 bits.
seeds=$(new_seeds png)
convert "$seeds/src.ppm" PNG24:"$seeds/rgb.png"
convert "$seeds/src.ppm" -interlace PNG -colors 20 PNG8:"$seeds/pal.png"
convert "$seeds/src.ppm" -colorspace gray -define png:bit-depth=2 -define png:color-type=0 "$seeds/g2.png"
convert "$seeds/src.ppm" -alpha set -define png:bit-depth=16 PNG64:"$seeds/rgba16.png"
fuzz png "$seeds"

# GIF: still, interlaced, an animation with local tables and disposals.
seeds=$(new_seeds gif)
convert "$seeds/src.ppm" -colors 60 GIF:"$seeds/still.gif"
convert "$seeds/src.ppm" -colors 7 -interlace GIF GIF:"$seeds/inter.gif"
convert -delay 5 "$seeds/src.ppm" -dispose background -page +3+2 -size 9x7 xc:red -colors 4 \
    -dispose previous -page +1+5 -size 5x5 xc:blue "$seeds/anim.gif"
/usr/bin/python3 "$top/tests/image/gif_peer.py" pilanim "$seeds/pil.gif"
fuzz gif "$seeds"

# JPEG with Exif sections of both byte orders.
seeds=$(new_seeds jpeg)
cjpeg -quality 80 -outfile "$seeds/base.jpg" "$seeds/src.ppm"
cjpeg -progressive -outfile "$seeds/prog.jpg" "$seeds/src.ppm"
cjpeg -grayscale -arithmetic -outfile "$seeds/grey.jpg" "$seeds/src.ppm"
convert "$seeds/src.ppm" -colorspace CMYK "$seeds/cmyk.jpg"
cp "$seeds/base.jpg" "$seeds/exif_ii.jpg"
exiftool -q -overwrite_original -ExifByteOrder=Little-endian -Make=A -Model=B -Orientation#=6 -XResolution=72 \
    -ResolutionUnit=inches -UserComment=hi "-ThumbnailImage<=$seeds/grey.jpg" "$seeds/exif_ii.jpg"
cp "$seeds/prog.jpg" "$seeds/exif_mm.jpg"
exiftool -q -overwrite_original -ExifByteOrder=Big-endian -Make=C -ISO=2 -FNumber=2.8 -Comment=note "$seeds/exif_mm.jpg"
fuzz jpeg "$seeds"

# BMP: every depth, RLE8, bit fields, the OS/2 and V5 headers, top-down rows.
seeds=$(new_seeds bmp)
convert "$seeds/src.ppm" BMP3:"$seeds/rgb24.bmp"
convert "$seeds/src.ppm" -colors 200 -type Palette BMP3:"$seeds/pal8.bmp"
convert "$seeds/src.ppm" -colors 12 -type Palette BMP3:"$seeds/pal4.bmp"
convert "$seeds/src.ppm" -monochrome BMP3:"$seeds/mono.bmp"
convert "$seeds/src.ppm" -colors 200 -type Palette -compress RLE BMP3:"$seeds/rle8.bmp"
convert "$seeds/src.ppm" -define bmp:subtype=RGB565 BMP:"$seeds/rgb565.bmp"
convert "$seeds/src.ppm" -alpha set BMP:"$seeds/argb32.bmp"
convert "$seeds/src.ppm" BMP2:"$seeds/os2.bmp"
for kind in topdown rgb16 headerless wide16; do
    /usr/bin/python3 "$top/tests/image/bmp_peer.py" craft $kind "$seeds/rgb24.bmp" "$seeds/$kind.bmp"
done
/usr/bin/python3 "$top/tests/image/bmp_peer.py" craft rle4 "$seeds/pal4.bmp" "$seeds/rle4.bmp"
fuzz bmp "$seeds"

# TIFF: compressions, tiles, planes, palette, 16-bit grey, bilevel G4, pages.
seeds=$(new_seeds tiff)
convert "$seeds/src.ppm" -depth 8 -compress None "$seeds/rgb.tif"
tiffcp -c lzw:2 -t -w 16 -l 16 "$seeds/rgb.tif" "$seeds/tiled.tif"
tiffcp -c jpeg "$seeds/rgb.tif" "$seeds/jpeg.tif"
tiffcp -c zip -p separate "$seeds/rgb.tif" "$seeds/planes.tif"
convert "$seeds/src.ppm" -colors 30 -type Palette -compress zip "$seeds/pal.tif"
convert "$seeds/src.ppm" -colorspace gray -depth 16 "$seeds/grey16.tif"
convert "$seeds/src.ppm" -threshold 50% -depth 1 -compress Group4 "$seeds/g4.tif"
convert "$seeds/src.ppm" "$seeds/src.ppm" -colorspace Lab "$seeds/pages.tif"
fuzz tiff "$seeds"

# ICO: bitmap entries of several depths and a PNG entry.
seeds=$(new_seeds ico)
convert "$seeds/src.ppm" -alpha set -fill none -draw 'rectangle 0,0 4,4' "$seeds/a.png"
convert "$seeds/src.ppm" -colors 12 "$seeds/b.png"
icotool -c -o "$seeds/icons.ico" "$seeds/a.png" "$seeds/b.png" -r "$seeds/a.png"
icotool -c -b 1 -o "$seeds/mono.ico" "$seeds/b.png"
rm -f "$seeds/a.png" "$seeds/b.png"
fuzz ico "$seeds"

# TGA: true colour, colour-mapped and grey, raw and run-length encoded.
seeds=$(new_seeds tga)
convert "$seeds/src.ppm" -compress RLE "$seeds/rle.tga"
convert "$seeds/src.ppm" -colors 40 -type Palette -compress None "$seeds/pal.tga"
pamtotga -mono "$seeds/src.ppm" > "$seeds/grey.tga" 2>/dev/null || ppmtopgm "$seeds/src.ppm" | pamtotga > "$seeds/grey.tga"
pnmquant 20 "$seeds/src.ppm" 2>/dev/null | pamtotga -cmap -norle > "$seeds/cmap.tga"
fuzz tga "$seeds"

# PCX: 1 to 4 planes of 1 bit, 8 bits with the palette at the end, 24 bits.
seeds=$(new_seeds pcx)
for planes in 1 2 3 4; do
    pnmquant $((1 << planes)) "$seeds/src.ppm" 2>/dev/null | ppmtopcx -planes $planes > "$seeds/p$planes.pcx" 2>/dev/null
done
pnmquant 100 "$seeds/src.ppm" 2>/dev/null | ppmtopcx -8bit > "$seeds/pal.pcx" 2>/dev/null
ppmtopcx -24bit "$seeds/src.ppm" > "$seeds/rgb.pcx" 2>/dev/null
fuzz pcx "$seeds"

# The setup archive reader and the setup script language, seeded from the
# packer's output and the shipped scripts.
setup="$top/setup/setup_state.cpp $top/setup/archive_core.cpp $top/setup/script_lex.cpp $top/setup/script_vars.cpp
       $top/setup/script_run.cpp"
seeds="$out/setup_archive_seeds"
rm -rf "$seeds" && mkdir -p "$seeds"
printf 'MZ image' > "$seeds/image"
python3 "$top/setup/pack_setup.py" "$seeds/shipped.exe" "$seeds/image" "Uninstall.qsc=$top/setup/scripts/Uninstall.qsc" \
    "Setup.qsc=$top/setup/scripts/Setup.qsc" "x.pat=$seeds/image"
python3 "$top/setup/pack_setup.py" "$seeds/small.exe" "$seeds/image" "Uninstall.qsc=$seeds/image"
rm -f "$seeds/image"
img="$setup" fuzz setup_archive "$seeds"
seeds="$out/setup_script_seeds"
rm -rf "$seeds" && mkdir -p "$seeds"
for s in Setup Uninstall; do sed 's/$/\r/' "$top/setup/scripts/$s.qsc" > "$seeds/$s.qsc"; done
printf 'PhaseBegin 1\r\nIf #A#, <=, 2, !, x\r\nSet #A#, "#SELF#^"\r\nElse\r\nStatus2 "a\\nb"\r\nEndif\r\n' > "$seeds/if.qsc"
img="$setup" fuzz setup_script "$seeds"
