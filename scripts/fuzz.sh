#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan + UBSan) and fuzzes each
# model, starting from the checked-in corpus in tests/fuzz/corpus: first every
# input there runs in full (the models' worked cases and the inputs of past
# findings, among them a flight to the step limit), then the fuzzer runs for
# the given time. Exits non-zero when a target reports a crash, a sanitizer
# error, a broken bound, a timeout or too much memory; the input that did it
# is kept in build/fuzz/findings/ and the log names it.
#   scripts/fuzz.sh            60 seconds of fuzzing per target
#   scripts/fuzz.sh 600        10 minutes per target
# New inputs found along the way collect in build/fuzz/corpus/, so a later
# run goes on from there; the checked-in corpus is never written.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

# Per input: a flight to the step limit takes some 20 s in this build on a
# busy 2-core machine, so a hang is anything far beyond that. The largest
# allocation is that flight's trajectory, 48 MiB.
limits=(-timeout=300 -rss_limit_mb=2048 -malloc_limit_mb=49)
# While fuzzing, ballistics flights are cut after this many steps (see
# tests/fuzz/ballistics_fuzz.cpp): a landing flight at a time step of 1e-4.
export PBSIM_FUZZ_STEP_BUDGET=20000
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

status=0
for model in ballistics springmass; do
  target=build/fuzz/tests/fuzz/${model}_fuzz
  seeds=tests/fuzz/corpus/$model
  work=build/fuzz/corpus/$model
  findings=build/fuzz/findings/$model
  log=build/fuzz/$model.log
  mkdir -p "$work" "$findings"
  echo "== fuzz $model: the checked-in corpus in full, then ${seconds}s (log: $log) =="
  if env -u PBSIM_FUZZ_STEP_BUDGET "$target" "${limits[@]}" -artifact_prefix="$findings/" "$seeds"/* \
    >"$log" 2>&1 &&
    "$target" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$findings/" "$work" "$seeds" >>"$log" 2>&1; then
    grep -E '^(Done|stat::(new_units_added|peak_rss_mb))' "$log" || true
  else
    status=1
    echo "fuzz $model: FAILED; the end of $log:" >&2
    tail -n 40 "$log" >&2
    echo "fuzz $model: the input: $(grep -oE '(^Running: |Test unit written to ).*' "$log" | tail -n 1)" >&2
  fi
done
exit $status
