#!/usr/bin/env bash
# Installs what `make test-windows` needs beyond `make test`: the mingw-w64
# cross compilers and Debian's Wine. The 32-bit Wine is only of use where the
# kernel runs 32-bit programs; there the i386 architecture is added to dpkg
# once (and the package lists fetched again) and wine32 comes with it.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tools/windows/ia32.sh

packages=(g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine wine64)

if CanRun32Bit; then
    packages+=(wine32:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding the i386 architecture for the 32-bit Wine"
        if [ "$(id -u)" -eq 0 ]; then
            as_root=()
        elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            as_root=(sudo)
        else
            echo "The 32-bit Wine needs the i386 architecture. Run:" >&2
            echo "  sudo dpkg --add-architecture i386 && sudo apt-get update" >&2
            exit 1
        fi
        "${as_root[@]}" dpkg --add-architecture i386
        # tools/install-deps.sh updates the lists (retrying) when wine32 is missing.
    fi
else
    echo "This machine does not run 32-bit programs: the 32-bit build is checked, not run under Wine."
fi

# The 32-bit Wine is a nicety: when its packages cannot be had (an i386 list
# that a mirror is still syncing), the 32-bit build is checked and its Wine
# run skipped, as on a machine that runs no 32-bit programs.
if ! tools/install-deps.sh "${packages[@]}"; then
    echo "The 32-bit Wine could not be installed; the 32-bit Wine run will be skipped." >&2
    exec tools/install-deps.sh "${packages[@]/wine32:i386/}"
fi
