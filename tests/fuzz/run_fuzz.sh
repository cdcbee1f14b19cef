#!/usr/bin/env bash
# Builds the decoder fuzz targets with clang's libFuzzer (ASan + UBSan),
# seeds them from files ImageMagick makes now, and runs each for a bounded
# time (VP_FUZZ_SECONDS, default 10). Usage: run_fuzz.sh BUILD_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:?build folder}/fuzz
seconds=${VP_FUZZ_SECONDS:-10}
mkdir -p "$out"
fw="$top/framework"
base="$fw/str_util.cpp $fw/dyn_array.cpp $fw/crc32.cpp $fw/data_folders.cpp $fw/os_file_posix.cpp
      $fw/file_util.cpp $fw/record_file.cpp $fw/record_stream.cpp $fw/color_util.cpp $fw/num_util.cpp"
img=$(ls "$top"/image/*.cpp | grep -v -e raster_win.cpp -e image_gdi.cpp)
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$top"
for target in png; do
    bin="$out/${target}_fuzz"
    # shellcheck disable=SC2086
    clang++-14 $flags -o "$bin" "$top/tests/fuzz/${target}_fuzz.cpp" $img $base -lpng -ljpeg -lz
    seeds="$out/${target}_seeds"
    rm -rf "$seeds" && mkdir -p "$seeds"
    convert -size 23x17 plasma:fractal -seed 1 "$seeds/src.ppm"
    convert "$seeds/src.ppm" PNG24:"$seeds/rgb.png"
    convert "$seeds/src.ppm" -interlace PNG -colors 20 PNG8:"$seeds/pal.png"
    convert "$seeds/src.ppm" -colorspace gray -define png:bit-depth=2 -define png:color-type=0 "$seeds/g2.png"
    convert "$seeds/src.ppm" -alpha set -define png:bit-depth=16 PNG64:"$seeds/rgba16.png"
    rm -f "$seeds/src.ppm"
    echo "== fuzzing $target for ${seconds}s"
    "$bin" -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb=700 -artifact_prefix="$out/" "$seeds" 2>&1 | tail -3
done
# GIF decoder, seeded from ImageMagick's and PIL's files (still, interlaced,
# an animation with local tables and disposals).
gbin="$out/gif_fuzz"
# shellcheck disable=SC2086
clang++-14 $flags -o "$gbin" "$top/tests/fuzz/gif_fuzz.cpp" $img $base -lpng -ljpeg -lz
gseeds="$out/gif_seeds"
rm -rf "$gseeds" && mkdir -p "$gseeds"
convert -size 23x17 plasma:fractal -seed 1 "$gseeds/src.ppm"
convert "$gseeds/src.ppm" -colors 60 GIF:"$gseeds/still.gif"
convert "$gseeds/src.ppm" -colors 7 -interlace GIF GIF:"$gseeds/inter.gif"
convert -delay 5 "$gseeds/src.ppm" -dispose background -page +3+2 -size 9x7 xc:red -colors 4 \
    -dispose previous -page +1+5 -size 5x5 xc:blue "$gseeds/anim.gif"
/usr/bin/python3 "$top/tests/image/gif_peer.py" pilanim "$gseeds/pil.gif"
rm -f "$gseeds/src.ppm"
echo "== fuzzing gif for ${seconds}s"
"$gbin" -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb=700 -artifact_prefix="$out/gif-" "$gseeds" 2>&1 | tail -3
# The JPEG decoder (Exif sections included), seeded from cjpeg, ImageMagick
# and exiftool files made now.
bin="$out/jpeg_fuzz"
# shellcheck disable=SC2086
clang++-14 $flags -o "$bin" "$top/tests/fuzz/jpeg_fuzz.cpp" $img $base -lpng -ljpeg -lz
seeds="$out/jpeg_seeds"
rm -rf "$seeds" && mkdir -p "$seeds"
convert -size 23x17 plasma:fractal -seed 1 "$seeds/src.ppm"
cjpeg -quality 80 -outfile "$seeds/base.jpg" "$seeds/src.ppm"
cjpeg -progressive -outfile "$seeds/prog.jpg" "$seeds/src.ppm"
cjpeg -grayscale -arithmetic -outfile "$seeds/grey.jpg" "$seeds/src.ppm"
convert "$seeds/src.ppm" -colorspace CMYK "$seeds/cmyk.jpg"
cp "$seeds/base.jpg" "$seeds/exif_ii.jpg"
exiftool -q -overwrite_original -ExifByteOrder=Little-endian -Make=A -Model=B -Orientation#=6 -XResolution=72 \
    -ResolutionUnit=inches -UserComment=hi "-ThumbnailImage<=$seeds/grey.jpg" "$seeds/exif_ii.jpg"
cp "$seeds/prog.jpg" "$seeds/exif_mm.jpg"
exiftool -q -overwrite_original -ExifByteOrder=Big-endian -Make=C -ISO=2 -FNumber=2.8 -Comment=note "$seeds/exif_mm.jpg"
rm -f "$seeds/src.ppm"
echo "== fuzzing jpeg for ${seconds}s"
"$bin" -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb=700 -artifact_prefix="$out/" "$seeds" 2>&1 | tail -3
# The setup archive reader and the setup script language, seeded from the
# packer's output and the shipped scripts.
setup="$top/setup/setup_state.cpp $top/setup/archive_core.cpp $top/setup/script_lex.cpp $top/setup/script_vars.cpp
       $top/setup/script_run.cpp $fw/str_util.cpp"
for target in setup_archive setup_script; do
    bin="$out/${target}_fuzz"
    # shellcheck disable=SC2086
    clang++-14 $flags -o "$bin" "$top/tests/fuzz/${target}_fuzz.cpp" $setup
done
seeds="$out/setup_archive_seeds"
rm -rf "$seeds" && mkdir -p "$seeds"
printf 'MZ image' > "$seeds/image"
python3 "$top/setup/pack_setup.py" "$seeds/shipped.exe" "$seeds/image" "Uninstall.qsc=$top/setup/scripts/Uninstall.qsc" \
    "Setup.qsc=$top/setup/scripts/Setup.qsc" "x.pat=$seeds/image"
python3 "$top/setup/pack_setup.py" "$seeds/small.exe" "$seeds/image" "Uninstall.qsc=$seeds/image"
rm -f "$seeds/image"
echo "== fuzzing setup_archive for ${seconds}s"
"$out/setup_archive_fuzz" -max_total_time="$seconds" -rss_limit_mb=1024 -artifact_prefix="$out/setup_archive-" "$seeds" 2>&1 | tail -3
seeds="$out/setup_script_seeds"
rm -rf "$seeds" && mkdir -p "$seeds"
for s in Setup Uninstall; do sed 's/$/\r/' "$top/setup/scripts/$s.qsc" > "$seeds/$s.qsc"; done
printf 'PhaseBegin 1\r\nIf #A#, <=, 2, !, x\r\nSet #A#, "#SELF#^"\r\nElse\r\nStatus2 "a\\nb"\r\nEndif\r\n' > "$seeds/if.qsc"
echo "== fuzzing setup_script for ${seconds}s"
"$out/setup_script_fuzz" -max_total_time="$seconds" -rss_limit_mb=1024 -max_len=4096 -artifact_prefix="$out/setup_script-" "$seeds" 2>&1 | tail -3
