# Sourced by the scripts: which Windows architecture the tests run in.
#
# The programs are 32-bit (i686) and always built so. Wine runs 32-bit
# programs only where the kernel runs 32-bit code; some virtual machines
# switch IA-32 emulation off (an i386 executable then fails with "Exec
# format error"). There, or where the mirror lets no 32-bit Wine be
# installed, the tests run in an x86_64 build of the same sources under
# 64-bit Wine, and the 32-bit tree is built but not run.

# True when a tiny static i386 Linux executable (exit(0) through int 0x80)
# runs on this kernel. The answer is kept for the rest of the script.
vp_host_runs_i386() {
    if [ -z "${VP_I386_OK:-}" ]; then
        local probe
        probe=$(mktemp /tmp/vellumor-i386.XXXXXX)
        printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
        printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
        printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
        printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' >>"$probe"
        printf '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00' >>"$probe"
        printf '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >>"$probe"
        chmod +x "$probe"
        if "$probe" >/dev/null 2>&1; then VP_I386_OK=1; else VP_I386_OK=0; fi
        rm -f "$probe"
        export VP_I386_OK
    fi
    [ "$VP_I386_OK" = 1 ]
}

# True when 32-bit Wine is installed (set-up installs it where the kernel
# runs 32-bit code and the mirror lets it).
vp_has_wine32() {
    dpkg-query -W -f='${Status}\n' wine32:i386 2>/dev/null | grep -q '^install ok installed'
}

# i686 where 32-bit programs run, else x86_64.
vp_test_arch() {
    if vp_host_runs_i386 && vp_has_wine32; then echo i686; else echo x86_64; fi
}

# One line: which build the Windows tests run in, and why.
vp_route_line() {
    local note="${VELLUMOR_DEPS:-/var/cache/vellumor-deps}/wine32-note"
    if [ "$(vp_test_arch)" = i686 ]; then
        echo "the Windows tests run in the 32-bit build (build/win) under 32-bit Wine"
    elif ! vp_host_runs_i386; then
        echo "this kernel runs no 32-bit code: the Windows tests run in the 64-bit build (build/win64)"
    elif [ -f "$note" ]; then
        echo "$(cat "$note"): the Windows tests run in the 64-bit build (build/win64)"
    else
        echo "wine32:i386 is not installed: the Windows tests run in the 64-bit build (build/win64)"
    fi
}
