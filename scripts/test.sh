#!/usr/bin/env bash
# Installs what is missing, builds everything (tests and benchmarks) and runs
# every test; the GUI tests run under a virtual X server when there is no
# display. Exits non-zero on any failure.
#   scripts/test.sh            the optimised build (build/dev)
#   scripts/test.sh sanitize   the AddressSanitizer + UBSan build (build/sanitize)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"

run=()
if [[ -z "${DISPLAY:-}" ]]; then
  run=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi
# Headless tests in parallel; the GUI tests one at a time, since they share
# one display (and its pointer, for the tests that click).
ctest --preset "$preset" -LE gui -j2
"${run[@]}" ctest --preset "$preset" -L gui --no-tests=ignore
