#!/usr/bin/env bash
# Start-up figures of the real program under a private virtual display:
# the time from launch (answer already typed) until both windows are shown,
# and the peak resident memory (/usr/bin/time) of a run that starts a mode
# and exits, and of a ballistics run that also recomputes at time step 1e-5.
#   bench/app/startup.sh [path/to/pbsim] [runs]   (default build/dev/app/pbsim, 5 runs)
# Not run by CI. "Time Taken" figures come from bench/app/app_bench.
set -euo pipefail
cd "$(dirname "$0")/../.."
pbsim=${1:-build/dev/app/pbsim}
runs=${2:-5}

if [[ -z "${PBSIM_BENCH_DISPLAY:-}" ]]; then
  PBSIM_BENCH_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$pbsim" "$runs"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
shown() { xdotool search --all --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

# run ANSWER PANEL-TITLE [STEP]: prints "seconds-until-shown max-rss-kB";
# with STEP, types it into "Time Step" and presses "Recompute" first.
run() {
  local answer=$1 title=$2 step=${3:-} start end panel viewer
  mkfifo "$work/in"
  start=$(now)
  /usr/bin/time -f "%M" -o "$work/rss" stdbuf -oL "$pbsim" <"$work/in" >"$work/out" &
  local pid=$!
  exec 3>"$work/in"
  echo "$answer" >&3
  until panel=$(shown "$title") && [[ -n "$panel" ]] &&
    viewer=$(shown "Physically Based Simulation") && [[ -n "$viewer" ]]; do
    sleep 0.005
  done
  end=$(now)
  xdotool windowmove --sync "$panel" 450 0
  if [[ -n "$step" ]]; then
    xdotool mousemove --window "$panel" 100 327 click 1 key ctrl+a type "$step"
    xdotool mousemove --window "$panel" 185 267 click 1
    timeout 120 bash -c "until grep -q 'callback complete' '$work/out'; do sleep 0.05; done"
  fi
  # "Exit" (the same place in both panels' coordinates is not guaranteed).
  if [[ "$answer" == 0 ]]; then
    xdotool mousemove --window "$panel" 255 267 click 1
  else
    xdotool mousemove --window "$panel" 130 97 click 1
  fi
  wait "$pid" || true
  exec 3>&-
  rm -f "$work/in"
  awk -v s="$start" -v e="$end" -v m="$(cat "$work/rss")" 'BEGIN { printf "%.4f %d\n", e - s, m }'
}

report() {
  local label=$1
  shift
  local results=()
  for ((i = 0; i < runs; i++)); do results+=("$(run "$@")"); done
  printf '%s\n' "${results[@]}" | sort -n | awk -v label="$label" '
    { t[NR] = $1; if ($2 > m) m = $2 }
    END { printf "%-34s start-up to both windows: median %.3f s (min %.3f, max %.3f); peak RSS %d kB\n",
          label, t[int((NR + 1) / 2)], t[1], t[NR], m }'
}

report "ballistics" 0 "Ballistics Simulation"
report "spring-mass" 1 "Spring Mass Simulation"
report "ballistics + recompute at 1e-5" 0 "Ballistics Simulation" 1e-5
