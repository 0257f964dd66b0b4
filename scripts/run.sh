#!/usr/bin/env bash
# Installs what is missing, builds pbsim and starts it. Arguments go to pbsim.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target pbsim -j"$(nproc)" >/dev/null

if [[ -z "${DISPLAY:-}" ]]; then
  echo "pbsim: no display (DISPLAY is unset); starting under a virtual X server (xvfb-run -a)" >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/dev/app/pbsim "$@"
fi
exec build/dev/app/pbsim "$@"
