#!/usr/bin/env bash
# Prepares a Debian bookworm machine (as root) to build and test Vellumor Pro:
# Debian packages, then the cross-built static libraries (libpng, libjpeg,
# libtiff, OpenSSL, GoogleTest) in a cache folder keyed by version.
# Idempotent: a second run checks stamps and returns in seconds.
#
# The programs are 32-bit and run in 32-bit Wine (packages.sh). Where the
# kernel runs no 32-bit code (some virtual machines switch IA-32 emulation
# off), or the mirror lets no wine32 be installed, the libraries are built
# for x86_64 as well and 64-bit Wine is installed, so that the tests run in
# a 64-bit build (scripts/arch.sh).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
cache=${VELLUMOR_DEPS:-/var/cache/vellumor-deps}
jobs=$(nproc)
. "$here/arch.sh"
. "$here/packages.sh"

log() { printf '[setup] %s\n' "$*"; }

# --check: exits 0 when nothing is missing (the packages of this route, the
# deb-src entries, each library's stamp), without root and without apt.
if [ "${1:-}" = --check ]; then
    vp_setup_complete "$cache"
    exit $?
fi

if [ "$(id -u)" != 0 ]; then
    echo "setup.sh must run as root (it installs Debian packages)" >&2
    exit 1
fi

# One set-up at a time: builds of several checkouts may start it together.
mkdir -p "$cache"
exec 9>"$cache/.setup.lock"
flock 9
work="$cache/work-$$"

# --- Debian packages -------------------------------------------------------
vp_prepare_packages "$cache"

# --- cross-built libraries -------------------------------------------------
mkdir -p "$cache"

# Newest source version of a Debian source package known to apt.
src_version() {
    apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1
}

# Downloads the package's original tarball into $cache/src/$1 and prints its path.
fetch_orig() {
    local pkg=$1 dir="$cache/src/$1"
    mkdir -p "$dir"
    local tar
    tar=$(ls "$dir"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1 || true)
    if [ -z "$tar" ]; then
        # A newer security .dsc may be missing while the tarball downloads.
        (cd "$dir" && apt-get source --download-only -qq "$pkg" >/dev/null 2>&1) || true
        tar=$(ls "$dir"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1 || true)
    fi
    if [ -z "$tar" ]; then
        echo "could not download the source of $pkg" >&2
        exit 1
    fi
    echo "$tar"
}

# Unpacks a tarball into a fresh build folder and prints the source folder.
unpack() {
    local tar=$1 work=$2
    rm -rf "$work"
    mkdir -p "$work"
    tar -xf "$tar" -C "$work"
    find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1
}

# Stale or missing package lists: refresh once.
if [ -z "$(src_version libpng1.6)" ]; then
    log "apt-get update (no source lists)"
    vp_apt_update
fi
ver_png=$(src_version libpng1.6)
ver_jpeg=$(src_version libjpeg-turbo)
ver_tiff=$(src_version tiff)
ver_ssl=$(src_version openssl)
ver_gtest=$(dpkg-query -W -f='${Version}' googletest)
for v in ver_png ver_jpeg ver_tiff ver_ssl; do
    [ -n "${!v}" ] || { echo "apt knows no source version for $v" >&2; exit 1; }
done

cross_cmake() {
    cmake -S "$1" -B "$2" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$3" -DBUILD_SHARED_LIBS=OFF "${@:4}" >/dev/null
    cmake --build "$2" -j "$jobs" >/dev/null
    cmake --install "$2" >/dev/null
}

# Builds the five libraries for one MinGW-w64 target (i686 or x86_64) and
# writes $cache/deps-ARCH.cmake, which the build reads.
build_libs() {
    local arch=$1
    local host=$arch-w64-mingw32 sfx="" ssl_target=mingw
    if [ "$arch" != i686 ]; then
        sfx="-$arch"
        ssl_target=mingw64
    fi
    toolchain="$top/cmake/mingw-$arch.cmake"
    local png_dir="$cache/libpng-${ver_png//[:~]/_}$sfx"
    local jpeg_dir="$cache/libjpeg-${ver_jpeg//[:~]/_}$sfx"
    local tiff_dir="$cache/libtiff-${ver_tiff//[:~]/_}-jpeg-${ver_jpeg//[:~]/_}$sfx"
    # "-sealed": built to read no configuration, module or engine from disk
    # (a changed build needs a new key, so every machine rebuilds it).
    local ssl_dir="$cache/openssl-${ver_ssl//[:~]/_}-sealed$sfx"
    local gtest_dir="$cache/googletest-${ver_gtest//[:~]/_}$sfx"
    local src

    if [ ! -f "$png_dir/.done" ]; then
        log "building libpng $ver_png ($arch)"
        src=$(unpack "$(fetch_orig libpng1.6)" "$work/png")
        (cd "$src" && ./configure --host="$host" --prefix="$png_dir" --disable-shared --enable-static \
            >/dev/null && make -j "$jobs" >/dev/null && make install >/dev/null 2>&1)
        touch "$png_dir/.done"
    fi

    # libjpeg-turbo's install folders are given as absolute paths: a relative
    # one is taken from the source tree's own defaults. The stamp is written
    # only when the static library is really there.
    if [ ! -f "$jpeg_dir/.done" ] || [ ! -f "$jpeg_dir/lib/libjpeg.a" ]; then
        log "building libjpeg-turbo $ver_jpeg ($arch)"
        src=$(unpack "$(fetch_orig libjpeg-turbo)" "$work/jpeg")
        cross_cmake "$src" "$work/jpeg/build" "$jpeg_dir" \
            -DWITH_JPEG8=ON -DWITH_SIMD=ON -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
            -DCMAKE_ASM_NASM_COMPILER=nasm -DCMAKE_INSTALL_LIBDIR="$jpeg_dir/lib" \
            -DCMAKE_INSTALL_INCLUDEDIR="$jpeg_dir/include"
        [ -f "$jpeg_dir/lib/libjpeg.a" ] || { echo "libjpeg.a was not installed in $jpeg_dir" >&2; exit 1; }
        touch "$jpeg_dir/.done"
    fi

    if [ ! -f "$tiff_dir/.done" ]; then
        log "building libtiff $ver_tiff ($arch)"
        src=$(unpack "$(fetch_orig tiff)" "$work/tiff")
        cross_cmake "$src" "$work/tiff/build" "$tiff_dir" \
            -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
            -Dzlib=ON -Djpeg=ON -Dold-jpeg=OFF -Djpeg12=OFF -Djbig=OFF -Dlzma=OFF -Dzstd=OFF \
            -Dwebp=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=ON \
            -DJPEG_INCLUDE_DIR="$jpeg_dir/include" -DJPEG_LIBRARY="$jpeg_dir/lib/libjpeg.a" \
            -DCMAKE_INSTALL_LIBDIR=lib
        touch "$tiff_dir/.done"
    fi

    if [ ! -f "$ssl_dir/.done" ]; then
        log "building OpenSSL $ver_ssl ($arch)"
        src=$(unpack "$(fetch_orig openssl)" "$work/openssl")
        # The library's compiled-in folders would be Unix paths, which Windows
        # roots on the current drive, where any user may create them. Nothing
        # is loaded from disk (no automatic configuration, no loadable
        # modules or engines), and the folders it still names lie in the
        # system folder, which only administrators can write.
        local sys_dir="C:/Windows/System32/vellumor-openssl"
        (cd "$src" && ./Configure "$ssl_target" no-shared no-tests no-autoload-config no-module no-dso \
            no-engine --cross-compile-prefix="$host-" --prefix="$ssl_dir" --libdir=lib >/dev/null &&
            make -j "$jobs" build_libs OPENSSLDIR="$sys_dir" ENGINESDIR="$sys_dir" MODULESDIR="$sys_dir" \
                >/dev/null 2>&1 &&
            make install_dev OPENSSLDIR="$sys_dir" ENGINESDIR="$sys_dir" MODULESDIR="$sys_dir" >/dev/null)
        touch "$ssl_dir/.done"
    fi

    if [ ! -f "$gtest_dir/.done" ]; then
        log "building GoogleTest $ver_gtest ($arch)"
        rm -rf "$work/gtest"
        cross_cmake /usr/src/googletest "$work/gtest" "$gtest_dir" -DINSTALL_GTEST=ON -DBUILD_GMOCK=OFF \
            -DCMAKE_INSTALL_LIBDIR=lib
        touch "$gtest_dir/.done"
    fi
    rm -rf "$work"

    # The build reads the library locations from here.
    {
        echo "# deps key $vp_deps_key"
        echo "set(VP_PNG_ROOT \"$png_dir\")"
        echo "set(VP_JPEG_ROOT \"$jpeg_dir\")"
        echo "set(VP_TIFF_ROOT \"$tiff_dir\")"
        echo "set(VP_SSL_ROOT \"$ssl_dir\")"
        echo "set(VP_GTEST_ROOT \"$gtest_dir\")"
    } >"$cache/deps-$arch.cmake.tmp"
    mv "$cache/deps-$arch.cmake.tmp" "$cache/deps-$arch.cmake"
}

build_libs i686
[ "$(vp_test_arch)" = i686 ] && [ "${VP_WIN64:-0}" != 1 ] || build_libs x86_64
log "ready ($cache); $(vp_route_line)"
