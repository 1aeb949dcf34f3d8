#!/usr/bin/env bash
# run-fuzzer.sh <fuzzer> <seed corpus> <dictionary> <run folder>
# One bounded run: $TARNWELL_FUZZ_SECONDS seconds (30 by default) from the committed seeds.
# What the run finds goes into <run folder>/corpus (the seeds stay as they are); a crash
# leaves its input in <run folder> and fails the run.
set -euo pipefail
fuzzer=$1 seeds=$2 dict=$3 run=$4
mkdir -p "$run/corpus"
options=(-max_total_time="${TARNWELL_FUZZ_SECONDS:-30}" -timeout=20 -rss_limit_mb=3072
         -print_final_stats=1 -artifact_prefix="$run/")
[ -f "$dict" ] && options+=(-dict="$dict")
exec "$fuzzer" "${options[@]}" "$run/corpus" "$seeds"
