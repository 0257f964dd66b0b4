#!/usr/bin/env bash
# Two builds of app_bench measured in turn (A, B, A, B, ...), so that both
# see the same load of a shared machine: every repetition of every run is
# kept, and the median and the spread (lowest..highest) of each build's
# repetitions are printed per benchmark, with the load average before and
# after.
#   bench/app/alternate.sh A/app_bench B/app_bench [rounds] [filter] [repetitions]
# (default 6 rounds, the keystroke benchmark, 3 repetitions a run). Not run
# by CI.
set -euo pipefail
a=${1:?first app_bench}
b=${2:?second app_bench}
rounds=${3:-6}
filter=${4:-keystrokeBallistics}
repetitions=${5:-3}

if [[ -z "${PBSIM_BENCH_DISPLAY:-}" ]]; then
  PBSIM_BENCH_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$a" "$b" "$rounds" \
    "$filter" "$repetitions"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((r = 1; r <= rounds; ++r)); do
  for build in A B; do
    bench=$a
    [[ $build == B ]] && bench=$b
    # CSV rows: name,iterations,real_time,cpu_time,time_unit,...
    "$bench" --benchmark_filter="$filter" --benchmark_repetitions="$repetitions" \
      --benchmark_format=csv 2>/dev/null |
      awk -F, -v build="$build" '$1 ~ /^"/ && $1 !~ /_(mean|median|stddev|cv)"$/ {
        gsub(/"/, "", $1); print build, $1, $3, $4 }' >>"$work/rows"
  done
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo "A = $a"
echo "B = $b"
echo "$rounds rounds of $repetitions repetitions each; real and CPU time in the benchmark's unit"

# Median and spread of one column of the rows of one build and benchmark.
stats() {
  sort -g | awk '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "median %8.2f  spread %8.2f..%-8.2f n=%d", m, v[1], v[NR], NR }'
}
awk '{ print $2 }' "$work/rows" | sort -u | while read -r name; do
  for build in A B; do
    real=$(awk -v b="$build" -v n="$name" '$1 == b && $2 == n { print $3 }' "$work/rows" | stats)
    cpu=$(awk -v b="$build" -v n="$name" '$1 == b && $2 == n { print $4 }' "$work/rows" | stats)
    printf '%-52s %s  real %s\n%-52s %s  cpu  %s\n' "$name" "$build" "$real" "" "" "$cpu"
  done
done
