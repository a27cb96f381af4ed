#!/bin/sh
# What --capture costs the running chip: the processor time of a second of
# the demo patch with --capture=null --play=null against --play=null alone,
# in one run, the two taking turns so a busy machine weighs on both alike.
# Fails when capturing costs more than 5 % more.
#   bench/driver/capture_cost.sh [BIN_DIR [SECONDS_A_TURN [TURNS]]]
set -eu
bin=${1:-build-bench/bin}
turn=${2:-10}
turns=${3:-3}
images=$(dirname "$0")/../../driver/images
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"

# Prints "CPU_NANOSECONDS SAMPLES" for one turn of emuapsd with the given
# options: the time its threads ran, from the scheduler, whose nanoseconds
# resolve what a turn costs the chip (some tens of milliseconds a second)
# where processor ticks of 10 ms would not.
measure() {
    "$bin/emuapsd" --image "$images/demo.chip" --patch "$images/demo-chorus-echo.emu10k1" \
        --run "$@" 2>"$runtime/log" &
    pid=$!
    until [ -S "$runtime/emuaps.ctl" ]; do sleep 0.05; done
    sleep "$turn"
    samples=$("$bin/emuapsctl" status | sed -n 's/^running; \([0-9]*\) samples.*/\1/p')
    ticks=$(cat /proc/"$pid"/task/*/schedstat | awk '{ns += $1} END {printf "%d", ns}')
    kill -TERM "$pid"
    wait "$pid" || true
    echo "$ticks $samples"
}

played_ticks=0 played_samples=0 captured_ticks=0 captured_samples=0
i=0
while [ "$i" -lt "$turns" ]; do
    set -- $(measure --play=null)
    played_ticks=$((played_ticks + $1)) played_samples=$((played_samples + $2))
    set -- $(measure --capture=null --play=null)
    captured_ticks=$((captured_ticks + $1)) captured_samples=$((captured_samples + $2))
    i=$((i + 1))
done
hz=1000000000
awk -v pt="$played_ticks" -v ps="$played_samples" -v ct="$captured_ticks" \
    -v cs="$captured_samples" -v hz="$hz" 'BEGIN {
    p = pt / hz / (ps / 48000); c = ct / hz / (cs / 48000)
    printf "--play=null:                  %.4f s of processor a second of sound (%d samples)\n", p, ps
    printf "--capture=null --play=null:   %.4f s of processor a second of sound (%d samples)\n", c, cs
    printf "capturing costs %+.1f %%\n", (c / p - 1) * 100
    exit (c > p * 1.05) ? 1 : 0
}'
