#!/usr/bin/env bash
# Runs a Windows test program under Debian's Wine with nothing that could
# wait for a person: no display, a throw-away prefix, no Mono or Gecko
# install prompts, no debug chatter. Passes on the program's exit status;
# 77 (skipped) when this machine cannot run 32-bit programs at all, or its
# 32-bit Wine could not be installed.
# usage: run-wine.sh 32|64 program.exe [arguments]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bits=$1
shift
case $bits in
32)
    loader=/usr/lib/wine/wine arch=win32
    . "$here/ia32.sh"
    if ! CanRun32Bit; then
        echo "skipped: this machine's kernel does not run 32-bit programs, so 32-bit Wine cannot start"
        exit 77
    fi
    if [ ! -x "$loader" ]; then
        echo "skipped: the 32-bit Wine is not installed (tools/windows/install-deps.sh says why)"
        exit 77
    fi
    ;;
64) loader=/usr/lib/wine/wine64 arch=win64 ;;
*)
    echo "usage: run-wine.sh 32|64 program.exe [arguments]" >&2
    exit 2
    ;;
esac
if [ ! -x "$loader" ]; then
    echo "$loader is missing: run tools/windows/install-deps.sh" >&2
    exit 1
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/zendra-wine-XXXXXX")
cleanup() {
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
"$loader" "$@" </dev/null
