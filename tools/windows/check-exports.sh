#!/usr/bin/env bash
# Checks a cross-built zendra.dll and the test program linked against it:
# - the export table names exactly the seven exports, undecorated, under the
#   module name zendra.dll;
# - the library imports from Windows itself only (kernel32 for the device,
#   msvcrt for the C runtime's start-up), so it ships alone;
# - the program imports the same seven names from zendra.dll;
# - in the 32-bit build every export returns with "ret $n", n being its
#   argument bytes: the callee pops its arguments (standard calling convention).
# usage: check-exports.sh OBJDUMP BITS zendra.dll program.exe
set -euo pipefail
objdump=$1 bits=$2 dll=$3 exe=$4

passed=0 failed=0
check() { # description, actual, expected
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
        echo "ok: $1"
    else
        failed=$((failed + 1))
        printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$3" "$2"
    fi
}

# Export name and argument bytes under the standard calling convention.
exports="ifGPRMemoryRead 8
ifGPRMemoryReadAll 12
ifGPRMemoryWrite 8
ifInitApsIo 0
ifInstrMemoryRead 8
ifInstrMemoryReadAll 8
ifInstrMemoryWrite 8"
names=$(echo "$exports" | cut -d' ' -f1 | tr '\n' ' ')

dump=$("$objdump" -p "$dll") || {
    echo "FAILED: $objdump cannot read $dll"
    exit 1
}
# "[   3] ifInitApsIo" lines of the name table: the ordinal index and the name.
name_table=$(echo "$dump" | awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
    on && NF == 0 {exit} on {gsub(/[][]/, ""); print $1, $2}')
check "$dll exports exactly the seven names" \
    "$(echo "$name_table" | cut -d' ' -f2 | sort | tr '\n' ' ')" "$names"
check "$dll names itself zendra.dll" \
    "$(echo "$dump" | awk '$1 == "Name" && NF == 3 {print $3}')" "zendra.dll"

# Imports, as "DLL symbol" lines.
imports() {
    "$objdump" -p "$1" | awk '/DLL Name:/ {dll = tolower($3); next}
        dll && NF == 0 {dll = ""} dll && $1 ~ /^[0-9a-f]+$/ && NF >= 3 {print dll, $3}'
}
dll_imports=$(imports "$dll")
check "$dll imports from kernel32.dll and msvcrt.dll only" \
    "$(echo "$dll_imports" | cut -d' ' -f1 | sort -u | tr '\n' ' ')" "kernel32.dll msvcrt.dll "
check "$dll opens and drives the device through kernel32.dll" \
    "$(echo "$dll_imports" | grep -E '^kernel32.dll (CreateFileA|DeviceIoControl)$' | sort |
        tr '\n' ' ')" "kernel32.dll CreateFileA kernel32.dll DeviceIoControl "
check "$exe imports the seven names from zendra.dll" \
    "$(imports "$exe" | awk '$1 == "zendra.dll" {print $2}' | sort | tr '\n' ' ')" "$names"

if [ "$bits" = 32 ]; then
    image_base=$(echo "$dump" | awk '$1 == "ImageBase" {print $2}')
    # "[   3] +base[   4] 14b0 Export RVA": ordinal index and RVA.
    rvas=$(echo "$dump" | awk '/^Export Address Table --/ {on = 1; next}
        on && NF == 0 {exit} on {gsub(/[][]/, ""); print $1, $4}')
    while read -r name bytes; do
        index=$(echo "$name_table" | awk -v n="$name" '$2 == n {print $1}')
        rva=$(echo "$rvas" | awk -v i="$index" '$1 == i {print $2}')
        if [ -z "$rva" ]; then
            check "$name is exported" "no" "yes"
            continue
        fi
        start=$(printf '0x%x' $((0x$image_base + 0x$rva)))
        # The first return from the export's entry onwards ends the function.
        ret=$("$objdump" -d --no-show-raw-insn --start-address="$start" "$dll" |
            awk -F'\t' '!found && $2 ~ /^ret/ {print $2; found = 1}' | tr -s ' ')
        want="ret \$0x$(printf '%x' "$bytes")"
        [ "$bytes" = 0 ] && want="ret"
        check "$name returns with $want" "$ret" "$want"
    done <<<"$exports"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
