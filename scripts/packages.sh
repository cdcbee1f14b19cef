# Sourced by setup.sh: installs the Debian packages that the build and the
# tests need, and Wine. vp_install_packages CACHE_DIR.
#
# Where the kernel runs 32-bit code, the programs run in 32-bit Wine
# (wine32:i386). A mirror may serve the security suite's i386 list stale or
# not at all; apt then ignores it, and the amd64 candidates of Multi-Arch
# "same" libraries (from the security suite) can no longer match their i386
# halves (main suite only): the resolver gives up. So a refused install is
# tried once more with the security suite at priority 100, for that one
# apt-get call only: the amd64 side then takes the main suite's versions,
# which match. Nothing lasting keeps the machine's security updates back.
#
# Only where wine32 still cannot be installed, or the kernel runs no 32-bit
# code, does 64-bit Wine serve, with the reason kept in CACHE_DIR/wine32-note
# for the scripts to print (arch.sh: vp_route_line).

vp_pkg_log() { printf '[setup] %s\n' "$*"; }

# Packages every route needs.
vp_common_packages=(
    g++-mingw-w64-i686 libz-mingw-w64-dev
    wine xvfb xauth x11-utils
    cmake make nasm pkg-config python3 zip unzip p7zip-full xz-utils dpkg-dev
    googletest libgtest-dev g++ zlib1g-dev clang-14 libclang-rt-14-dev
    imagemagick python3-pil python3-numpy netpbm
    libpng-dev libjpeg62-turbo-dev libjpeg-turbo-progs libimage-exiftool-perl giflib-tools pngcheck scrot
    libtiff-dev libtiff-tools icoutils
    fp-utils
)
# The update tests' TLS server makes its certificate at run time.
vp_common_packages+=(openssl)
# Printing tests: a PPD for the PostScript test printer, the page rasterised.
vp_common_packages+=(ghostscript)
# scripts/lint.sh: the formatter and the analyser (clang-14 is above).
vp_common_packages+=(clang-format-14 clang-tidy-14)
vp_wine32_packages=(wine32:i386)
# libwine:i386 needs it; without recommends the pinned resolver does not find it.
vp_wine32_pinned_extra=(libgstreamer-plugins-base1.0-0:i386)
vp_wine64_packages=(wine64 g++-mingw-w64-x86-64)
# VP_WIN64=1: the 64-bit tree is built too, to check that it compiles.
[ "${VP_WIN64:-0}" = 1 ] && vp_common_packages+=(g++-mingw-w64-x86-64)

# Prints those of the given packages that are not installed.
vp_missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || echo "$p"
    done
}

# apt-get update. A list the mirror serves broken is a state, not a moment:
# one more try, then go on with the lists that did arrive and say which
# did not (a package that really needs them fails its install below).
vp_apt_update() {
    local log i
    log=$(mktemp /tmp/vellumor-apt-update.XXXXXX)
    for i in 1 2; do
        if apt-get update -qq >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        [ $i = 1 ] && sleep 5
    done
    local failed
    failed=$(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' "$log" | sed 's|^[a-z]*://[^/]*/||' | tr '\n' ' ' | sed 's/ *$//')
    vp_pkg_log "apt-get update: some lists could not be fetched (${failed:-see the messages of apt}); going on without them"
    rm -f "$log"
    return 0
}

# Tries an install: first as a simulation, so that a refusal changes
# nothing, then for real. apt's whole output goes to LOG. Extra apt options
# come before "--". Returns apt's status.
vp_apt_install() {
    local log=$1
    shift
    local opts=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        opts+=("$1")
        shift
    done
    shift
    {
        echo "== apt-get install ${opts[*]} $*"
        apt-get install -s -q --no-install-recommends --no-remove "${opts[@]}" "$@" &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends --no-remove \
                "${opts[@]}" "$@"
    } >>"$log" 2>&1
}

# The same install with the security suite at priority 100 for this call
# only. The machine's own preference parts are kept beside ours.
vp_apt_install_pinned() {
    local log=$1
    shift
    local pins status
    pins=$(mktemp -d /tmp/vellumor-pins.XXXXXX)
    cp /etc/apt/preferences.d/* "$pins/" 2>/dev/null || true
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pins/zz-vellumor-security.pref"
    vp_apt_install "$log" -o "Dir::Etc::PreferencesParts=$pins" -- "$@"
    status=$?
    rm -rf "$pins"
    return $status
}

# Last error line apt wrote to LOG, for a one-line report.
vp_apt_error() {
    grep -E '^E: ' "$1" | tail -n 1 | sed 's/^E: //'
}

# apt-get update once per set-up run, when something is to be installed.
vp_apt_update_once() {
    [ "${VP_APT_UPDATED:-0}" = 1 ] && return 0
    VP_APT_UPDATED=1
    vp_apt_update
}

vp_install_packages() {
    local cache=$1
    local note="$cache/wine32-note" log="$cache/apt-install.log"
    local missing
    mkdir -p "$cache"
    if vp_host_runs_i386; then
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            vp_pkg_log "adding the i386 architecture"
            dpkg --add-architecture i386
            # Lists fetched before this hold no i386 packages: fetch again.
            VP_APT_UPDATED=0
        fi
        mapfile -t missing < <(vp_missing_packages "${vp_common_packages[@]}" "${vp_wine32_packages[@]}")
        if [ ${#missing[@]} = 0 ]; then
            rm -f "$note"
            return 0
        fi
        vp_apt_update_once
        : >"$log"
        vp_pkg_log "installing: ${missing[*]}"
        if vp_apt_install "$log" -- "${missing[@]}"; then
            rm -f "$note" "$log"
            return 0
        fi
        vp_pkg_log "apt refused: $(vp_apt_error "$log")"
        vp_pkg_log "trying again with the security suite at priority 100 for this install only"
        if vp_apt_install_pinned "$log" "${missing[@]}" "${vp_wine32_pinned_extra[@]}"; then
            rm -f "$note" "$log"
            return 0
        fi
        local why
        why=$(vp_apt_error "$log")
        echo "wine32:i386 could not be installed ($why; the whole answer of apt is in $log)" >"$note"
        vp_pkg_log "$(cat "$note")"
        vp_pkg_log "going on with 64-bit Wine: the tests will run in a 64-bit build"
    fi

    mapfile -t missing < <(vp_missing_packages "${vp_common_packages[@]}" "${vp_wine64_packages[@]}")
    [ ${#missing[@]} = 0 ] && return 0
    vp_apt_update_once
    local log64="$cache/apt-install-64.log"
    : >"$log64"
    vp_pkg_log "installing: ${missing[*]}"
    if vp_apt_install "$log64" -- "${missing[@]}"; then
        rm -f "$log64"
        return 0
    fi
    local why64
    why64=$(vp_apt_error "$log64")
    vp_pkg_log "the packages could not be installed: $why64 (the whole answer of apt is in $log64)"
    return 1
}

# deb-src entries for the same mirrors that the machine's own sources name
# (the libraries are cross-built from Debian's sources), then the packages.
# VP_APT_SOURCES (default /etc/apt) lets the route test use a folder of its own.
vp_prepare_packages() {
    local cache=$1 etc=${VP_APT_SOURCES:-/etc/apt}
    local srcfile=$etc/sources.list.d/vellumor-src.sources
    local srclist=$etc/sources.list.d/vellumor-src.list
    if [ ! -f "$srcfile" ] && [ ! -f "$srclist" ]; then
        vp_pkg_log "enabling deb-src for the configured mirrors"
        if [ -f "$etc/sources.list.d/debian.sources" ]; then
            sed -e 's/^Types:.*/Types: deb-src/' "$etc/sources.list.d/debian.sources" >"$srcfile"
        elif [ -f "$etc/sources.list" ]; then
            grep -E '^deb ' "$etc/sources.list" | sed -e 's/^deb /deb-src /' >"$srclist"
        else
            echo "no apt sources found to derive deb-src entries from" >&2
            return 1
        fi
        vp_apt_update_once
    fi
    vp_install_packages "$cache"
}

# Written into deps-ARCH.cmake; raised whenever a library's build changes,
# so that the quick check sends an older cache back through set-up.
vp_deps_key=2

# True when a run of set-up would install nothing: the packages of the route
# this machine takes, the deb-src entries, and the libraries that each
# needed deps-ARCH.cmake names, with their stamps. A wine32 install that
# failed before counts as missing, so that set-up tries it again.
vp_setup_complete() {
    local cache=$1 etc=${VP_APT_SOURCES:-/etc/apt} arch roots root
    [ -f "$etc/sources.list.d/vellumor-src.sources" ] || [ -f "$etc/sources.list.d/vellumor-src.list" ] || return 1
    if vp_host_runs_i386; then
        [ -f "$cache/wine32-note" ] && return 1
        [ -z "$(vp_missing_packages "${vp_common_packages[@]}" "${vp_wine32_packages[@]}")" ] || return 1
    else
        [ -z "$(vp_missing_packages "${vp_common_packages[@]}" "${vp_wine64_packages[@]}")" ] || return 1
    fi
    local arches=(i686)
    { [ "$(vp_test_arch)" = x86_64 ] || [ "${VP_WIN64:-0}" = 1 ]; } && arches+=(x86_64)
    for arch in "${arches[@]}"; do
        [ -f "$cache/deps-$arch.cmake" ] || return 1
        grep -qx "# deps key $vp_deps_key" "$cache/deps-$arch.cmake" || return 1
        roots=$(sed -n 's/^set(VP_[A-Z]*_ROOT "\(.*\)")$/\1/p' "$cache/deps-$arch.cmake")
        [ "$(echo "$roots" | grep -c .)" = 5 ] || return 1
        for root in $roots; do
            [ -f "$root/.done" ] || return 1
        done
    done
    return 0
}
