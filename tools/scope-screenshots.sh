#!/bin/sh
# Writes the README's two pictures of velmora-scope against the demo patch:
#   OUT/scope-echo.png      a tone burst and its echoes on the scope (2 s a screen): the
#                           front left output (yellow) and the delay line's input lw (cyan)
#   OUT/scope-frequencies.png  the chorus-echo's comb on white noise in the spectrum, with the controls
# Usage: tools/scope-screenshots.sh [BIN [OUT]]   (defaults: build/bin docs)
set -eu
BIN=$(cd "${1:-build/bin}" && pwd)
OUT=$(mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)
RUN=$(mktemp -d)
PID=
cleanup() {
    [ -n "$PID" ] && kill "$PID" 2>/dev/null && wait "$PID" 2>/dev/null
    rm -rf "$RUN"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$RUN" QT_QPA_PLATFORM=offscreen

python3 - "$RUN" <<'PY'
import math, random, struct, sys, wave
def write(name, frames):
    w = wave.open(sys.argv[1] + "/" + name, "wb")
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(48000)
    w.writeframes(b"".join(struct.pack("<hh", v, v) for v in frames))
# 60 ms of 440 Hz each 2 s, and silence between.
write("burst.wav", [int(16000 * math.sin(2 * math.pi * 440 * n / 48000)) if n < 2880 else 0
                    for n in range(96000)])
random.seed(1)
write("noise.wav", [int(random.uniform(-8000, 8000)) for n in range(96000)])
PY

# serve INPUT: the demo patch on INPUT, until the next serve or the end.
serve() {
    cleanup_service
    "$BIN/emuapsd" --image "$BIN/images/demo.chip" --patch "$BIN/images/demo-chorus-echo.emu10k1" \
        --names "$BIN/images/demo-chorus-echo.dbg" --input "$RUN/$1" --run 2>"$RUN/emuapsd.log" &
    PID=$!
    i=0
    until "$BIN/emuapsctl" status >/dev/null 2>&1; do
        i=$((i + 1)); [ $i -lt 100 ] || { cat "$RUN/emuapsd.log"; exit 1; }
        sleep 0.1
    done
}
cleanup_service() {
    if [ -n "$PID" ]; then kill "$PID"; wait "$PID" 2>/dev/null || true; PID=; fi
}

serve burst.wav
"$BIN/velmora-scope" --trace 0x020 --trace lw --time-base 2000 --spectrum 1 --grab "$OUT/scope-echo.png" --grab-after 5
serve noise.wav
"$BIN/velmora-scope" --trace mono --trace 0x020 --time-base 20 --spectrum 2 \
    --grab "$OUT/scope-frequencies.png" --grab-after 6
