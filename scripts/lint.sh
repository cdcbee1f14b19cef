#!/usr/bin/env bash
# The lint: the formatter check (every tracked C++ file against
# .clang-format) and the static analyser (clang-tidy with the checks of
# .clang-tidy) over the native tree and the 32-bit Windows tree: every
# source of the native tree there, the others and the shared ones with
# code of their own for Windows (_WIN32) in the Windows tree. Prints
# what it finds and exits 1 when anything is found (2 on a usage error or
# a missing tool).
#
#   scripts/lint.sh               both parts
#   scripts/lint.sh --format      the formatter check only
#   scripts/lint.sh --tidy        the analyser only
#   scripts/lint.sh --fix-format  formats every tracked C++ file in place
#   scripts/lint.sh --in-test     both parts for scripts/test.sh: the trees
#                                 are those it just built (nothing is
#                                 configured that is missing), output ends
#                                 with one summary line
#   -j N                          parallel jobs (default: the cores, or $VP_LINT_JOBS)
#
# The trees are below $VP_BUILD_DIR (default <checkout>/build): native and
# win. A tree that is missing is configured (not built: the analyser needs
# only its compile_commands.json, which a configure run exports).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VP_BUILD_DIR:-$top/build}
jobs=${VP_LINT_JOBS:-$(nproc)}
do_format=1 do_tidy=1 fix=0 in_test=0

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
}
while [ $# -gt 0 ]; do
    case $1 in
    --format) do_tidy=0 ;;
    --tidy) do_format=0 ;;
    --fix-format) fix=1 ;;
    --in-test) in_test=1 ;;
    -j) [ $# -ge 2 ] || usage; jobs=$2; shift ;;
    -j*) jobs=${1#-j} ;;
    -h | --help) usage ;;
    *) echo "lint.sh: unknown argument $1" >&2; usage ;;
    esac
    shift
done

format_bin=clang-format-14
tidy_bin=clang-tidy-14
for tool in $format_bin $tidy_bin; do
    if ! command -v "$tool" >/dev/null; then
        echo "lint.sh: $tool is missing (scripts/setup.sh installs it)" >&2
        exit 2
    fi
done

work=$(mktemp -d /tmp/vellumor-lint.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$top"

# The tracked C++ files, NUL-separated (a copy without git: every file).
cxx_files() {
    if git -C "$top" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$top" ls-files -z -- '*.cpp' '*.h'
    else
        find base zip settings framework image update capture setup tests bench \
            \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z
    fi
}

if [ $fix = 1 ]; then
    cxx_files | xargs -0 -r -n 20 -P "$jobs" $format_bin -i
    changed=$(git -C "$top" diff --name-only -- '*.cpp' '*.h' 2>/dev/null | wc -l || true)
    echo "formatted the tracked C++ files ($changed differ from the last commit now)"
    exit 0
fi

status=0
format_count=0 tidy_count=0
now_ms() { echo $(($(date +%s%N) / 1000000)); }
started=$(now_ms)
seconds_since() { # $1 a now_ms value; prints the seconds since with one decimal
    local ms=$(($(now_ms) - $1))
    printf '%d.%d' $((ms / 1000)) $((ms % 1000 / 100))
}

if [ $do_format = 1 ]; then
    t0=$(now_ms)
    # One line per spot that differs; the file names are what we report.
    # Each batch writes a file of its own: parallel writers would mix their lines.
    mkdir "$work/format"
    export work format_bin
    # shellcheck disable=SC2016
    cxx_files | xargs -0 -r -n 20 -P "$jobs" bash -c \
        '$format_bin --dry-run --Werror "$@" 2>"$(mktemp "$work/format/out.XXXXXX")" || true' lint
    cat "$work"/format/out.* >"$work/format.out" 2>/dev/null || true
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' "$work/format.out" |
        sed "s|^$top/||" | sort | uniq -c | awk '{print $2 " (" $1 ($1 == 1 ? " spot)" : " spots)")}' >"$work/format.list"
    # Anything else it said (an unreadable file, a bad .clang-format) is a finding too.
    grep -v 'code should be clang-formatted' "$work/format.out" | grep -E '(^|: )error:' >"$work/format.other" || true
    format_count=$(($(wc -l <"$work/format.list") + $(wc -l <"$work/format.other")))
    total=$(cxx_files | tr -cd '\0' | wc -c)
    if [ "$format_count" -gt 0 ]; then
        echo "== formatter: $format_count of $total files differ from .clang-format (scripts/lint.sh --fix-format applies it)"
        cat "$work/format.list" "$work/format.other"
        status=1
    else
        echo "== formatter: all $total files as .clang-format has them"
    fi
    echo "   ($(seconds_since "$t0") s)"
fi

# The compile_commands.json of a tree, exported by a configure run when it
# has none. $1 tree name, $2 toolchain file or "".
compile_db() {
    local dir=$build/$1 toolchain=$2
    if [ ! -f "$dir/compile_commands.json" ]; then
        if [ $in_test = 1 ] && [ ! -f "$dir/CMakeCache.txt" ]; then
            echo "lint.sh: no tree in $dir (scripts/build.sh makes it)" >&2
            return 1
        fi
        local args=(-S "$top" -B "$dir" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
        if [ -n "$toolchain" ]; then
            args+=(-DCMAKE_TOOLCHAIN_FILE="$top/$toolchain")
        else
            args+=(-DCMAKE_BUILD_TYPE=Debug)
        fi
        cmake "${args[@]}" >"$work/configure-$1.log" 2>&1 || {
            cat "$work/configure-$1.log" >&2
            return 1
        }
    fi
    echo "$dir/compile_commands.json"
}

# The source files of a compile database that are ours (not generated).
db_sources() {
    python3 - "$1" "$top" <<'EOF'
import json, os, sys
top = sys.argv[2] + "/"
for e in json.load(open(sys.argv[1])):
    f = os.path.normpath(os.path.join(e["directory"], e["file"]))
    if f.startswith(top) and not f[len(top):].startswith("build"):
        print(f)
EOF
}

# The compiler of a compile database's first command. $1 the database.
db_compiler() {
    python3 - "$1" <<'EOF'
import json, shlex, sys
e = json.load(open(sys.argv[1]))[0]
args = e.get("arguments") or shlex.split(e["command"])
print(args[0])
EOF
}

if [ $do_tidy = 1 ]; then
    t0=$(now_ms)
    : >"$work/jobs"
    native_db=$(compile_db native "") || exit 2
    win_db=$(compile_db win cmake/mingw-i686.cmake) || exit 2
    # For the MinGW tree: its target, and the C++ library of its cross g++
    # (in a folder named like "12-posix", which clang's search passes over).
    cxx=$(db_compiler "$win_db")
    triple=$(basename "$cxx" | sed 's/-g++.*//')
    gcc_dir=$(dirname "$("$cxx" -print-libgcc-file-name)")
    win_extra=(--extra-arg=--target="$triple")
    for d in "$gcc_dir/include/c++" "$gcc_dir/include/c++/$triple" "$gcc_dir/include/c++/backward"; do
        win_extra+=(--extra-arg=-isystem"$d")
    done
    printf '%s\n' "${win_extra[@]}" >"$work/win.args"
    # Each file once where it parses fastest: the sources of both trees in
    # the native one (no <windows.h>), the rest in the Windows tree, and
    # there too the shared files that have code of their own for Windows.
    db_sources "$native_db" | sort -u >"$work/native.files"
    db_sources "$win_db" | sort -u >"$work/win.files"
    comm -13 "$work/native.files" "$work/win.files" >"$work/win.only"
    comm -12 "$work/native.files" "$work/win.files" | xargs -r grep -lE '_WIN32|__MINGW32__|_MSC_VER' >>"$work/win.only" || true
    # The Windows files first: they take longest.
    sort -u "$work/win.only" | sed 's/^/win /' >>"$work/jobs"
    sed 's/^/native /' "$work/native.files" >>"$work/jobs"
    header_filter="^$top/(base|zip|settings|framework|image|update|capture|setup|tests|bench)/"
    # One clang-tidy per file and tree, each writing a file of its own.
    export work top build tidy_bin header_filter
    # shellcheck disable=SC2016
    xargs -P "$jobs" -L 1 bash -c '
        tree=$1 file=$2
        extra=()
        [ "$tree" = win ] && mapfile -t extra <"$work/win.args"
        out="$work/tidy-$tree-$(echo "${file#$top/}" | tr / _).txt"
        # -Wno-error: a compiler warning of clang is no finding; an error is.
        rc=0
        $tidy_bin --quiet -p "$build/$tree" --header-filter="$header_filter" --extra-arg=-Wno-error \
            "${extra[@]}" "$file" >"$out" 2>"$out.err" || rc=$?
        # A run that failed without naming an error (a crash, a missing
        # compile command) is reported as a finding of its own.
        if [ $rc != 0 ] && ! grep -qE "^/.*:[0-9]+:[0-9]+: error: " "$out"; then
            echo "${file#$top/}: clang-tidy failed ($tree tree, exit $rc): $(grep -v "warnings* generated" "$out.err" | tail -n 1)" \
                >"$work/failed-$tree-$(basename "$out")"
        fi
    ' lint <"$work/jobs"
    # The finding lines, each once, with the trees it was found in.
    for f in "$work"/tidy-*.txt; do
        [ -e "$f" ] || continue
        tree=$(basename "$f" | cut -d- -f2)
        grep -E '^/.*:[0-9]+:[0-9]+: (warning|error): ' "$f" | sed "s|^$top/||; s|\$|\t$tree|" || true
    done | sort -u | awk -F'\t' '{ trees[$1] = trees[$1] ? trees[$1] ", " $2 : $2 }
        END { for (k in trees) print k " (" trees[k] ")" }' | sort -V >"$work/findings"
    cat "$work"/failed-* >"$work/failed" 2>/dev/null || true
    tidy_count=$(($(wc -l <"$work/findings") + $(wc -l <"$work/failed")))
    files=$(wc -l <"$work/jobs")
    if [ "$tidy_count" -gt 0 ]; then
        echo "== analyser: $tidy_count findings in $files runs over the native and Windows trees (checks: .clang-tidy)"
        cat "$work/findings" "$work/failed"
        status=1
    else
        echo "== analyser: no findings in $files runs over the native and Windows trees"
    fi
    echo "   ($(seconds_since "$t0") s)"
fi

if [ $in_test = 1 ]; then
    echo "lint: $format_count files to format, $tidy_count analyser findings ($(seconds_since "$started") s)"
fi
exit $status
