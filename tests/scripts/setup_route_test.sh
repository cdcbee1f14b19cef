#!/usr/bin/env bash
# The package set-up's choice of route, driven by a stand-in for apt-get,
# dpkg and dpkg-query in each state a mirror can be in: healthy lists, the
# security suite's i386 list unusable (the resolver refuses wine32 until the
# security suite is pinned down for the install), wine32 refused whatever is
# tried, a kernel that runs no 32-bit code, and a fresh machine (no i386
# architecture, no deb-src entries: i386 packages are found only in lists
# fetched after the architecture was added). Last, the quick check that lets
# the builds skip set-up.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/vellumor-route-test.XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL [$scenario]: $*"; failures=$((failures + 1)); }
expect() { grep -q -- "$2" "$1" || fail "$3 (no \"$2\" in $(basename "$1"))"; }
expect_not() { ! grep -q -- "$2" "$1" || fail "$3 (\"$2\" in $(basename "$1"))"; }

# The stand-ins. State: $FAKE/installed (one package a line), $FAKE/arches,
# $FAKE/calls (every apt-get call with its pins' text). FAKE_MODE: healthy,
# stale or broken.
bin="$work/bin"
mkdir -p "$bin"
cat >"$bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
pins=""
sim=0
pkgs=()
while [ $# -gt 0 ]; do
    case "$1" in
    -o) case "$2" in Dir::Etc::PreferencesParts=*) pins=${2#*=} ;; esac; shift ;;
    -s) sim=1 ;;
    -*) ;;
    *) pkgs+=("$1") ;;
    esac
    shift
done
set -- "${pkgs[@]}"
cmd=$1
shift
pinned=0
if [ -n "$pins" ]; then
    echo "$cmd sim=$sim pins=$pins: $(cat "$pins"/*.pref 2>/dev/null | tr '\n' ' ') :: $*" >>"$FAKE/calls"
    grep -q 'l=Debian-Security' "$pins"/*.pref && grep -q 'Pin-Priority: 100' "$pins"/*.pref && pinned=1
else
    echo "$cmd sim=$sim :: $*" >>"$FAKE/calls"
fi
case "$cmd" in
update)
    # The lists fetched now hold the packages of the architectures known now.
    cp "$FAKE/arches" "$FAKE/list-arches" 2>/dev/null || : >"$FAKE/list-arches"
    [ "$FAKE_MODE" = healthy ] && exit 0
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
install)
    if printf '%s\n' "$@" | grep -q ':i386$' && ! grep -qx i386 "$FAKE/list-arches" 2>/dev/null; then
        echo "E: Unable to locate package $(printf '%s\n' "$@" | grep ':i386$' | head -n 1)"
        exit 100
    fi
    if printf '%s\n' "$@" | grep -q ':i386$'; then
        if [ "$FAKE_MODE" = broken ] || { [ "$FAKE_MODE" = stale ] && [ $pinned = 0 ]; }; then
            echo " liblzma5:i386 : Depends: libc6:i386 but it is not going to be installed"
            echo "E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."
            exit 100
        fi
    fi
    [ $sim = 1 ] || printf '%s\n' "$@" >>"$FAKE/installed"
    exit 0 ;;
esac
exit 0
FAKE
cat >"$bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
pkg=${!#}
grep -qx -- "$pkg" "$FAKE/installed" 2>/dev/null || exit 1
echo "install ok installed"
FAKE
cat >"$bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
case "$1" in
--print-foreign-architectures) cat "$FAKE/arches" 2>/dev/null ;;
--add-architecture) echo "$2" >>"$FAKE/arches"; echo "add-architecture $2" >>"$FAKE/calls" ;;
esac
FAKE
printf '#!/bin/sh\n' >"$bin/sleep"
chmod +x "$bin"/*

# Runs the package set-up once in a fresh state (or the current one with
# "again"), with the kernel answer $1 (1: runs 32-bit code). The machine's
# apt sources (a debian.sources) live in $FAKE/etc.
run_setup() {
    export FAKE="$work/$scenario"
    [ "${2:-}" = again ] || {
        rm -rf "$FAKE"
        mkdir -p "$FAKE/etc/sources.list.d"
        printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm\n' \
            >"$FAKE/etc/sources.list.d/debian.sources"
        # Lists fetched before this test: amd64 only.
        [ "${FAKE_FRESH:-0}" = 1 ] || printf 'i386\n' >"$FAKE/list-arches"
    }
    : >"$FAKE/calls"
    (
        export PATH="$bin:$PATH" VP_I386_OK=$1 VELLUMOR_DEPS="$FAKE/cache" VP_APT_SOURCES="$FAKE/etc"
        . "$top/scripts/arch.sh"
        . "$top/scripts/packages.sh"
        if [ "${FAKE_FRESH:-0}" = 1 ]; then vp_prepare_packages "$FAKE/cache"; else vp_install_packages "$FAKE/cache"; fi
        echo "status $?"
        echo "arch $(vp_test_arch)"
        echo "route $(vp_route_line)"
    ) >"$FAKE/out" 2>&1
}

scenario=healthy
FAKE_MODE=healthy run_setup 1
expect "$FAKE/out" "^status 0" "set-up succeeds"
expect "$FAKE/out" "^arch i686" "the 32-bit build is tested"
expect "$FAKE/out" "32-bit build (build/win) under 32-bit Wine" "the route line names the 32-bit build"
expect "$FAKE/installed" "^wine32:i386$" "wine32 is installed"
expect_not "$FAKE/installed" "^wine64$" "no 64-bit Wine is needed"
expect_not "$FAKE/calls" "pins=" "no pin is used when the lists are whole"
expect "$FAKE/arches" "^i386$" "the i386 architecture is added"
FAKE_MODE=healthy run_setup 1 again
[ -s "$FAKE/calls" ] && fail "a second run calls apt-get: $(cat "$FAKE/calls")"

scenario=stale
FAKE_MODE=stale run_setup 1
expect "$FAKE/out" "^status 0" "set-up succeeds"
expect "$FAKE/out" "^arch i686" "the 32-bit build is tested although the security i386 list is unusable"
expect "$FAKE/out" "some lists could not be fetched (debian-security/dists/bookworm-security/main/binary-i386/Packages.xz" \
    "the unusable list is named in one line"
expect "$FAKE/calls" "^install sim=1 :: .*wine32:i386" "the plain install is tried first"
expect "$FAKE/calls" "^install sim=0 pins=.*Pin: release l=Debian-Security Pin-Priority: 100 .*wine32:i386 .*libgstreamer-plugins-base1.0-0:i386" \
    "the pinned install runs with the security suite at 100 and the library libwine needs"
expect_not "$FAKE/calls" "^install sim=0 :: .*wine32" "the refused plain install never ran for real"
pindir=$(sed -n 's/.*pins=\([^:]*\):.*/\1/p' "$FAKE/calls" | head -n 1)
[ -n "$pindir" ] && [ -e "$pindir" ] && fail "the pin folder $pindir outlives the install"
ls /etc/apt/preferences.d 2>/dev/null | grep -q vellumor && fail "a lasting preference was left in /etc/apt/preferences.d"
[ -e "$FAKE/cache/wine32-note" ] && fail "a note of failure remains after success"

scenario=broken
FAKE_MODE=broken run_setup 1
expect "$FAKE/out" "^status 0" "set-up goes on"
expect "$FAKE/out" "^arch x86_64" "the 64-bit build is tested"
expect "$FAKE/installed" "^wine64$" "64-bit Wine is installed"
expect "$FAKE/installed" "^g++-mingw-w64-x86-64$" "the 64-bit compiler is installed"
expect "$FAKE/out" "route wine32:i386 could not be installed (Error, pkgProblemResolver::Resolve generated breaks" \
    "the route line says why"
expect "$FAKE/out" "^\[setup\] wine32:i386 could not be installed (Error, pkgProblemResolver" "set-up says in one line why"
grep -q -e '^ liblzma5' -e '^E:' "$FAKE/out" && fail "the resolver's dump reaches the output"
expect "$FAKE/cache/apt-install.log" "liblzma5:i386" "apt's whole output is kept in the log"
FAKE_MODE=healthy run_setup 1 again
expect "$FAKE/out" "^arch i686" "a later run whose mirror is whole goes back to 32-bit"
[ -e "$FAKE/cache/wine32-note" ] && fail "the note of failure outlives the install"

scenario=no-ia32
FAKE_MODE=healthy run_setup 0
expect "$FAKE/out" "^arch x86_64" "the 64-bit build is tested"
expect "$FAKE/out" "this kernel runs no 32-bit code" "the route line says why"
expect "$FAKE/installed" "^wine64$" "64-bit Wine is installed"
expect_not "$FAKE/calls" "i386" "nothing of i386 is asked for"
[ -e "$FAKE/arches" ] && fail "the i386 architecture is added on a kernel that cannot run it"

scenario=fresh
FAKE_MODE=healthy FAKE_FRESH=1 run_setup 1
expect "$FAKE/out" "^status 0" "set-up succeeds"
expect "$FAKE/out" "^arch i686" "a fresh machine reaches the 32-bit build"
expect "$FAKE/installed" "^wine32:i386$" "wine32 is installed"
expect_not "$FAKE/out" "Unable to locate" "the i386 packages are found"
expect "$FAKE/etc/sources.list.d/vellumor-src.sources" "^Types: deb-src" "the deb-src entries are added"
order=$(grep -n -e '^update' -e '^add-architecture i386' "$FAKE/calls" | cut -d: -f2 | cut -d' ' -f1-2 | tr '\n' ',')
case "$order" in
*"add-architecture i386,update"*) ;;
*) fail "no package lists fetched after the i386 architecture was added (calls: $order)" ;;
esac

# The quick check: complete only with the route's packages, the deb-src
# entries and every library stamped.
scenario=check
FAKE_MODE=healthy FAKE_FRESH=1 run_setup 1
check() {
    (
        export PATH="$bin:$PATH" VP_I386_OK=1 VP_APT_SOURCES="$FAKE/etc"
        . "$top/scripts/arch.sh"
        . "$top/scripts/packages.sh"
        vp_setup_complete "$FAKE/cache"
    )
}
check && fail "complete without the libraries"
key=$(sed -n 's/^vp_deps_key=//p' "$top/scripts/packages.sh")
echo "# deps key $key" >"$FAKE/cache/deps-i686.cmake"
for lib in PNG JPEG TIFF SSL GTEST; do
    mkdir -p "$FAKE/cache/$lib"
    touch "$FAKE/cache/$lib/.done"
    echo "set(VP_${lib}_ROOT \"$FAKE/cache/$lib\")" >>"$FAKE/cache/deps-i686.cmake"
done
check || fail "not complete with every package and library"
# Libraries of an older build (a changed library build raises the key).
sed -i "s/^# deps key .*/# deps key $((key - 1))/" "$FAKE/cache/deps-i686.cmake"
check && fail "complete with libraries of an older key"
sed -i "s/^# deps key .*/# deps key $key/" "$FAKE/cache/deps-i686.cmake"
rm "$FAKE/cache/TIFF/.done"
check && fail "complete with a library unstamped"
touch "$FAKE/cache/TIFF/.done"
grep -v '^xvfb$' "$FAKE/installed" >"$FAKE/installed.new" && mv "$FAKE/installed.new" "$FAKE/installed"
check && fail "complete with a package missing"

if [ $failures = 0 ]; then
    echo "setup route: all scenarios passed"
    exit 0
fi
exit 1
