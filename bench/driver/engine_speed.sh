#!/bin/sh
# The fast engine against the reference one, as ratios of the medians of
# REPS repetitions, both engines built from this tree and run by one binary:
# the demo patch with the history off and on, the full, the kernel-style and
# the mixer's programs, the 60 s render and a watch; then emuapsd rendering
# 20 s of the mixer's program on each engine, timed by the processor time
# the whole process took.
#   bench/driver/engine_speed.sh [BIN_DIR [REPS]]
set -eu
bin=${1:-build-bench/bin}
reps=${2:-5}
uptime

# Prints "NAME_WITHOUT_THE_ENGINE ENGINE MEDIAN_CPU_TIME" for each median line:
# the processor time (a manual time is the whole process's already), which
# other work on a busy machine inflates less than the wall-clock time.
# The repetitions of all the benchmarks run in a random order, so that a
# machine whose load changes meanwhile weighs on both engines alike.
medians() {
    "$@" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
        --benchmark_enable_random_interleaving=true 2>/dev/null |
        awk '$1 ~ /_median$/ {
            name = $1; sub(/_median$/, "", name)
            engine = (name ~ /reference:1/) ? "reference" : "fast"
            gsub(/reference:[01]\/?/, "", name); sub(/\/$/, "", name)
            t = (name ~ /manual_time/) ? 2 : 4 # manual: the process CPU time
            print name, engine, $t * ($(t + 1) == "ms" ? 1000 : $(t + 1) == "s" ? 1e6 : $(t + 1) == "ns" ? 1e-3 : 1)
        }'
}

# The same line for emuapsd --render of 20 s of the mixer's program (made by
# mixer_chip) on each engine, the two taking turns so a busy machine weighs
# on both alike; says so on standard error when their recordings differ.
render() {
    dir=$(mktemp -d)
    "$bin/mixer_chip" "$dir/mixer.chip" >/dev/null
    i=0
    while [ "$i" -lt "$reps" ]; do
        for engine in fast reference; do
            /usr/bin/time -f "%U %S" -o "$dir/time" "$bin/emuapsd" --image "$dir/mixer.chip" \
                --engine="$engine" --render 20 --output "$dir/$engine.wav" 2>/dev/null
            awk '{ print ($1 + $2) * 1e6 }' "$dir/time" >>"$dir/$engine.times"
        done
        i=$((i + 1))
    done
    for engine in fast reference; do
        sort -n "$dir/$engine.times" | awk -v e="$engine" '{ t[NR] = $1 }
            END { print "emuapsd_render_20s_of_the_mixer_program", e, t[int((NR + 1) / 2)] }'
    done
    cmp -s "$dir/fast.wav" "$dir/reference.wav" || echo "the two engines' renders differ" >&2
    rm -rf "$dir"
}

{
    medians "$bin/bench_history" --benchmark_filter='BM_DemoPatch'
    medians "$bin/bench_fx8010" --benchmark_filter='BM_FullProgram/|BM_FullProgramThroughTheChipsLockWithHistory|BM_KernelStyleProgram|BM_MixerProgram'
    medians "$bin/bench_render" --benchmark_filter='BM_Render60s'
    medians "$bin/bench_debug" --benchmark_filter='BM_WatchRunsTheChip'
    render
} | awk '{ t[$1, $2] = $3; if (!seen[$1]++) order[n++] = $1 }
    END {
        printf "%-58s %12s %12s %8s\n", "benchmark (median of '"$reps"')", "fast cpu us", "ref. cpu us", "ratio"
        for (i = 0; i < n; ++i) {
            k = order[i]
            printf "%-58s %12.1f %12.1f %7.2fx\n", k, t[k, "fast"], t[k, "reference"], t[k, "reference"] / t[k, "fast"]
        }
    }'
uptime
