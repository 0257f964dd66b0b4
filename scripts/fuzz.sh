#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan + UBSan) and fuzzes each
# model for a while, starting from the seed corpus in tests/fuzz/corpus.
# Exits non-zero when a target reports a crash, a sanitizer error, a broken
# bound, a timeout or too much memory; the input that did it is kept in
# build/fuzz/findings/ and the log names it.
#   scripts/fuzz.sh            60 seconds per target
#   scripts/fuzz.sh 600        10 minutes per target
# New inputs found along the way collect in build/fuzz/corpus/, so a later
# run goes on from there; the checked-in seeds are never written.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

# Per input: a flight at the step limit takes about 20 s in this build on a
# busy 2-core machine, so a hang is anything far beyond that. The one large
# allocation is a trajectory at the step limit, 48 MiB.
limits=(-timeout=300 -rss_limit_mb=2048 -malloc_limit_mb=49)

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

status=0
for model in ballistics springmass; do
  work=build/fuzz/corpus/$model
  findings=build/fuzz/findings/$model
  log=build/fuzz/$model.log
  mkdir -p "$work" "$findings"
  echo "== fuzz $model for ${seconds}s (log: $log) =="
  if build/fuzz/tests/fuzz/${model}_fuzz "${limits[@]}" -max_total_time="$seconds" \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "tests/fuzz/corpus/$model" \
    >"$log" 2>&1; then
    grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb))' "$log" || true
  else
    status=1
    echo "fuzz $model: FAILED; the end of $log:" >&2
    tail -n 40 "$log" >&2
  fi
done
exit $status
