#!/usr/bin/env bash
# The fuzz targets: every parser of untrusted input as a libFuzzer target
# (clang, AddressSanitizer + UndefinedBehaviorSanitizer).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   each target for SECONDS (default 10):
#                                           the bounded run of scripts/test.sh
#   scripts/fuzz.sh --runs N [TARGET...]    the campaign: each target until N
#                                           executions (or its first finding)
#   scripts/fuzz.sh --diff                  the differential run: our PNG, BMP,
#                                           GIF, JPEG, TIFF, ICO, TGA and PCX
#                                           decoders against PIL on the seeds
#                                           and the kept corpora (the known
#                                           differences: tests/fuzz/differential.py)
#
# A target is tests/fuzz/NAME_fuzz.cpp plus its line in the table below. Its
# seeds are the lines "// seed: COMMAND" of that file: shell commands run in
# a fresh seed folder holding src.ppm (a 23x17 picture) and $top (the
# source tree), with ImageMagick, PIL, Info-ZIP and exiftool at hand.
#
# Everything made lives in the cache folder VP_FUZZ_CACHE (default
# ~/.cache/vellumor-fuzz), outside the tree: objects, targets, seeds (made
# again when the seed lines change), each target's corpus (grows from run
# to run) and findings (findings/NAME-crash-...). VP_FUZZ_JOBS targets run
# at once (default 1). Prints per target: executions, executions per
# second, coverage (edges and features), corpus size and findings; exits 1
# when any target found something.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# name            libFuzzer options of the target (after the common ones: a
#                 target's own -timeout or -malloc_limit_mb wins). The four
#                 decoders of pictures of any declared size run under tight
#                 limits: a small input that costs much is a finding. A GIF
#                 with every frame kept copies its whole screen per frame up
#                 to the memory limit (1.4 s alone under ASan): 5 s, so that
#                 four targets at once on a loaded machine stay clear of it.
targets_table='
png               -timeout=2 -malloc_limit_mb=256
gif               -timeout=5 -malloc_limit_mb=256
jpeg              -timeout=2 -malloc_limit_mb=256
bmp               -timeout=2 -malloc_limit_mb=256
exif
zip               -max_len=16384
options           -max_len=8192
records
setup_archive
setup_script
http_reply
config_archive    -max_len=16384
tiff
ico
tga
pcx
'

cache=${VP_FUZZ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vellumor-fuzz}
jobs=${VP_FUZZ_JOBS:-1}
mode=time seconds=10 runs=0
case "${1:-}" in
--runs) mode=runs runs=${2:?--runs N}; shift 2 ;;
--diff) mode=diff; shift ;;
[0-9]*) seconds=$1; shift ;;
esac
wanted=("$@")
if [ ${#wanted[@]} = 0 ]; then
    read -r -a wanted <<< "$(echo "$targets_table" | awk 'NF {printf "%s ", $1}')"
fi
mkdir -p "$cache/obj" "$cache/bin" "$cache/seeds" "$cache/corpus" "$cache/findings" "$cache/logs"
# The targets' scratch files (fuzz_support.h): in memory where there is a
# memory file system, as a file write per execution is most of the cost.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then TMPDIR=/dev/shm/vellumor-fuzz.$$; else TMPDIR="$cache/tmp.$$"; fi
export TMPDIR
mkdir -p "$TMPDIR"
trap 'rm -rf "$TMPDIR"' EXIT

cxx=clang++-14
san="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
cflags="-std=c++17 -g -O2 -fno-omit-frame-pointer $san -I$top"
# The libraries the sources call (a codec on a library of its own adds it here).
libs="-ltiff -lpng -ljpeg -lz"

# The platform-neutral sources the targets link with: every source of these
# folders but the Windows-only ones.
sources() {
    ls "$top"/base/*.cpp "$top"/zip/*.cpp "$top"/settings/*.cpp "$top"/image/*.cpp \
        "$top"/update/http_reply.cpp "$top"/update/base64.cpp "$top"/update/schedule_records.cpp |
        grep -v -e os_file_win32.cpp -e raster_win.cpp -e image_gdi.cpp -e raster_wmf.cpp
    local s
    for s in setup_state archive_core script_lex script_vars script_run; do echo "$top/setup/$s.cpp"; done
}

# Compiles the sources (again when a source or header is newer than its
# object, or the flags changed) into libvp_fuzz.a.
build_library() {
    local lib="$cache/obj/libvp_fuzz.a" newest_header stale=() src obj
    if [ "$(cat "$cache/obj/flags" 2>/dev/null)" != "$cxx $cflags" ]; then
        rm -f "$cache"/obj/*.o "$lib" "$cache"/bin/*
        echo "$cxx $cflags" > "$cache/obj/flags"
    fi
    newest_header=$(find "$top"/base "$top"/zip "$top"/settings "$top"/image "$top"/setup "$top"/update -name '*.h' -newer "$lib" 2>/dev/null | head -1 || true)
    for src in $(sources); do
        obj="$cache/obj/$(echo "${src#"$top"/}" | tr / _).o"
        if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] || [ -n "$newest_header" ] || [ ! -f "$lib" ]; then
            stale+=("$src")
        fi
    done
    if [ ${#stale[@]} -gt 0 ]; then
        # shellcheck disable=SC2086
        printf '%s\n' "${stale[@]}" | xargs -P "${VP_FUZZ_BUILD_JOBS:-4}" -I{} sh -c \
            'o="$0/obj/$(echo "${1#$2/}" | tr / _).o"; '"$cxx $cflags"' -fsanitize=fuzzer-no-link -c "$1" -o "$o"' \
            "$cache" {} "$top"
        rm -f "$lib"
        # shellcheck disable=SC2046
        ar rcs "$lib" $(for src in $(sources); do echo "$cache/obj/$(echo "${src#"$top"/}" | tr / _).o"; done)
    fi
}

# Builds tests/fuzz/NAME_fuzz.cpp, with the targets' helpers
# tests/fuzz/fuzz_*.cpp, into bin/NAME.
build_target() {
    local name=$1 bin="$cache/bin/$1" f stale=0
    for f in "$top/tests/fuzz/${name}_fuzz.cpp" "$top"/tests/fuzz/fuzz_*.* "$cache/obj/libvp_fuzz.a"; do
        [ "$f" -nt "$bin" ] && stale=1
    done
    if [ ! -f "$bin" ] || [ $stale = 1 ]; then
        # shellcheck disable=SC2086
        $cxx $cflags -fsanitize=fuzzer -o "$bin" "$top/tests/fuzz/${name}_fuzz.cpp" "$top"/tests/fuzz/fuzz_*.cpp \
            "$cache/obj/libvp_fuzz.a" $libs
    fi
}

# Makes the target's seeds from its "// seed:" lines, unless the seeds of
# exactly these lines are there already.
make_seeds() {
    local name=$1 dir="$cache/seeds/$1" recipe sum
    recipe=$(sed -n 's|^// seed: ||p' "$top/tests/fuzz/${name}_fuzz.cpp")
    sum=$(printf '%s' "$recipe" | md5sum | cut -c1-32)
    [ -f "$dir/.recipe" ] && [ "$(cat "$dir/.recipe")" = "$sum" ] && return 0
    rm -rf "$dir" && mkdir -p "$dir"
    convert -size 23x17 plasma:fractal -seed 1 "$dir/src.ppm"
    (cd "$dir" && export top && PATH=/usr/bin:$PATH bash -euo pipefail -c "$recipe") >"$cache/logs/$name-seeds.log" 2>&1 ||
        { echo "$name: seed recipe failed, see $cache/logs/$name-seeds.log" >&2; return 1; }
    rm -f "$dir/src.ppm"
    echo "$sum" > "$dir/.recipe"
}

# Runs one target; writes its log and a summary line to logs/NAME.sum.
run_target() {
    local name=$1 opts=$2 log="$cache/logs/$1.log" limit corpus="$cache/corpus/$1"
    mkdir -p "$corpus"
    if [ "$mode" = runs ]; then limit="-runs=$runs"; else limit="-max_total_time=$seconds"; fi
    local before after rc=0
    before=$(find "$cache/findings" -name "$name-*" | wc -l)
    # shellcheck disable=SC2086
    "$cache/bin/$name" $limit -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=700 $opts -print_final_stats=1 \
        -artifact_prefix="$cache/findings/$name-" "$corpus" "$cache/seeds/$name" >"$log" 2>&1 || rc=$?
    after=$(find "$cache/findings" -name "$name-*" | wc -l)
    local execs speed cov ft
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
    local found=$((after - before))
    [ "$rc" != 0 ] && [ "$found" = 0 ] && found="exit $rc"
    printf '%-14s %12s %9s %7s %7s %7s   %s\n' "$name" "${execs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" \
        "$(find "$corpus" -type f | wc -l)" "$found" > "$cache/logs/$name.sum"
}

if [ "$mode" = diff ]; then
    build_library
    bin="$cache/bin/raster_dump"
    # shellcheck disable=SC2086
    $cxx $cflags -o "$bin" "$top/tests/fuzz/raster_dump.cpp" "$cache/obj/libvp_fuzz.a" $libs -fsanitize=fuzzer-no-link
    for name in png bmp gif jpeg tiff ico tga pcx; do make_seeds "$name"; done
    status=0
    /usr/bin/python3 "$top/tests/fuzz/differential.py" "$bin" "$cache" || status=$?
    exit $status
fi

build_library
for name in "${wanted[@]}"; do
    echo "$targets_table" | awk -v n="$name" '$1 == n {f = 1} END {exit !f}' || { echo "no target $name" >&2; exit 2; }
    build_target "$name"
    make_seeds "$name"
done
echo "== fuzzing ${wanted[*]}: $([ "$mode" = runs ] && echo "$runs executions" || echo "${seconds}s") each, $jobs at once"
running=0
for name in "${wanted[@]}"; do
    opts=$(echo "$targets_table" | awk -v n="$name" '$1 == n {$1 = ""; print}')
    run_target "$name" "$opts" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then wait -n || true; running=$((running - 1)); fi
done
wait
printf '%-14s %12s %9s %7s %7s %7s   %s\n' target executions exec/s edges features corpus findings
status=0
for name in "${wanted[@]}"; do
    cat "$cache/logs/$name.sum"
    if [ "$(awk '{print $7}' "$cache/logs/$name.sum")" != 0 ]; then
        status=1
        grep -m1 -B2 -A25 -E '^==[0-9]+==ERROR|runtime error|ERROR: libFuzzer' "$cache/logs/$name.log" || tail -20 "$cache/logs/$name.log"
        ls "$cache/findings/$name-"* 2>/dev/null || true
    fi
done
exit $status
