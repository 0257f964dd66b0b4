#!/usr/bin/env bash
# Builds the browser page (scripts/web.sh) and tests it in headless
# Chromium: web/test/*.test.mjs, one file at a time. Installs Chromium,
# Emscripten and Node.js where they are missing.
#   scripts/web-test.sh                          builds pbsim-study and the native
#                                                reference in build/dev first
#   scripts/web-test.sh PBSIM_STUDY REFERENCE    uses these programs (CTest passes them)
#   scripts/web-test.sh unit                     the page's own helpers and its engine in
#                                                Node.js, without a browser (web/test/unit)
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} == unit ]]; then
  scripts/web.sh
  cd web && exec npm test
fi

if [[ $# -ge 2 ]]; then
  study=$1
  reference=$2
else
  scripts/install-deps.sh
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target pbsim-study pbsim-web-reference -j2 >/dev/null
  study=build/dev/study/pbsim-study
  reference=build/dev/tests/web/pbsim-web-reference
fi

scripts/install-deps.sh chromium
scripts/web.sh

export PBSIM_STUDY=$(realpath "$study")
export PBSIM_WEB_REFERENCE=$(realpath "$reference")
export PBSIM_PAGE=$(realpath build/web/pbsim.html)
export PBSIM_SHOTS=$(realpath build/web)/test-shots
mkdir -p "$PBSIM_SHOTS"
failed=()
for test in web/test/*.test.mjs; do
  node --test "$test" || failed+=("$test")
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "pbsim web: failed: ${failed[*]}" >&2
  exit 1
fi
