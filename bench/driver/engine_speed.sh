#!/bin/sh
# The fast engine against the reference one, as ratios of the medians of
# REPS repetitions, both engines built from this tree and run by one binary:
# the demo patch with the history off and on, the full and the kernel-style
# programs, the 60 s render and a watch.
#   bench/driver/engine_speed.sh [BIN_DIR [REPS]]
set -eu
bin=${1:-build-bench/bin}
reps=${2:-5}
uptime

# Prints "NAME_WITHOUT_THE_ENGINE ENGINE MEDIAN_TIME" for each median line.
medians() {
    "$@" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true 2>/dev/null |
        awk '$1 ~ /_median$/ {
            name = $1; sub(/_median$/, "", name)
            engine = (name ~ /reference:1/) ? "reference" : "fast"
            gsub(/reference:[01]\/?/, "", name); sub(/\/$/, "", name)
            print name, engine, $2 * ($3 == "ms" ? 1000 : $3 == "s" ? 1e6 : $3 == "ns" ? 1e-3 : 1)
        }'
}

{
    medians "$bin/bench_history" --benchmark_filter='BM_DemoPatch'
    medians "$bin/bench_fx8010" --benchmark_filter='BM_FullProgram/|BM_FullProgramThroughTheChipsLockWithHistory|BM_KernelStyleProgram'
    medians "$bin/bench_render" --benchmark_filter='BM_Render60s'
    medians "$bin/bench_debug" --benchmark_filter='BM_WatchRunsTheChip'
} | awk '{ t[$1, $2] = $3; if (!seen[$1]++) order[n++] = $1 }
    END {
        printf "%-58s %12s %12s %8s\n", "benchmark (median of '"$reps"')", "fast us", "reference us", "ratio"
        for (i = 0; i < n; ++i) {
            k = order[i]
            printf "%-58s %12.1f %12.1f %7.2fx\n", k, t[k, "fast"], t[k, "reference"], t[k, "reference"] / t[k, "fast"]
        }
    }'
uptime
