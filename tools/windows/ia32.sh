# shellcheck shell=bash
# Sourced by the Windows scripts. CanRun32Bit succeeds when this machine's
# kernel runs 32-bit x86 programs (some kernels are built or booted without
# that), which 32-bit Wine needs. It runs a hand-made 93-byte i386 program
# that only exits with status 42: no 32-bit library is needed to find out.
CanRun32Bit() {
    local probe status=0
    probe=$(mktemp "${TMPDIR:-/tmp}/ia32-probe-XXXXXX")
    # ELF header, one loadable segment at 0x08048000, then the code at 0x54:
    # xor eax,eax; inc eax (exit); xor ebx,ebx; mov bl,42; int 0x80.
    {
        printf '\x7fELF\x01\x01\x01\x00\0\0\0\0\0\0\0\0'
        printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
        printf '\0\0\0\0\0\0\0\0\x34\x00\x20\x00\x01\x00\x00\x00\0\0\0\0'
        printf '\x01\x00\x00\x00\0\0\0\0\x00\x80\x04\x08\x00\x80\x04\x08'
        printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
        printf '\x31\xc0\x40\x31\xdb\xb3\x2a\xcd\x80'
    } >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    [ "$status" -eq 42 ]
}
