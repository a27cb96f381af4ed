#!/usr/bin/env bash
# Starts the simulated driver service on the demo chip image, runs the viewer,
# and stops the service when the viewer ends.
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
image=${VELMORA_IMAGE:-$bin/images/demo.chip}

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No desktop (DISPLAY is unset): the viewer needs one. Try: xvfb-run make run" >&2
    exit 1
fi

"$bin/emuapsd" --image "$image" --patch "$bin/images/demo-chorus-echo.emu10k1" \
    --names "$bin/images/demo-chorus-echo.dbg" --run &
service=$!
trap 'kill "$service" 2>/dev/null; wait "$service" 2>/dev/null || true' EXIT

# The viewer opens the device once at start: wait until the service listens.
sock="${XDG_RUNTIME_DIR:-/tmp/emuaps-$(id -u)}/emuaps.vxd"
for _ in $(seq 100); do
    [ -S "$sock" ] && break
    kill -0 "$service" 2>/dev/null || { echo "emuapsd did not start" >&2; exit 1; }
    sleep 0.05
done
echo "Service pid $service; send it SIGHUP (kill -HUP $service) to reload $image."
"$bin/velmora"
