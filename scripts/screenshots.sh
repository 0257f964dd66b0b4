#!/usr/bin/env bash
# Makes the screenshots of README from the real program under a virtual X
# server: docs/ballistics.png and docs/springmass.png, each showing the viewer
# window with the control panel beside it, right after start-up.
#   scripts/screenshots.sh [path/to/pbsim]     (default: build/dev/app/pbsim, built if missing)
set -euo pipefail
cd "$(dirname "$0")/.."

pbsim=${1:-build/dev/app/pbsim}
if [[ ! -x "$pbsim" ]]; then
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target pbsim -j"$(nproc)" >/dev/null
fi

if [[ -z "${PBSIM_SCREENSHOT_DISPLAY:-}" ]]; then
  # Re-run this script inside a private virtual display just large enough for
  # the two windows side by side.
  PBSIM_SCREENSHOT_DISPLAY=1 exec xvfb-run -a -s "-screen 0 730x410x24" "$0" "$pbsim"
fi

# drag WINDOW X Y DX DY: a left-button drag in small steps, as a hand does.
drag() {
  local win=$1 x=$2 y=$3 dx=$4 dy=$5 i
  xdotool mousemove --window "$win" "$x" "$y" mousedown 1
  for i in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove --window "$win" $((x + dx * i / 10)) $((y + dy * i / 10))
    sleep 0.05
  done
  xdotool mouseup 1
}

# shot ANSWER PANEL-TITLE OUTPUT [ZOOM-CLICK-X]
# With ZOOM-CLICK-X the "Zoom" slider is clicked at that x (window
# coordinates) to zoom out, and the view is turned with the "H Rotation" and
# "V Rot" rollers, before the picture is taken.
shot() {
  local answer=$1 title=$2 out=$3 zoomx=${4:-} fifo pid viewer panel
  fifo=$(mktemp -u) && mkfifo "$fifo"
  "$pbsim" <"$fifo" >/dev/null &
  pid=$!
  exec 3>"$fifo"
  echo "$answer" >&3
  viewer=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$pid" --name '^Physically Based Simulation$')
  panel=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$pid" --name "^$title\$")
  # Without a window manager both windows open at the corner; put the panel
  # beside the viewer and give the GL view time to paint.
  xdotool windowmove --sync "$viewer" 0 0
  xdotool windowmove --sync "$panel" 425 0
  if [[ -n "$zoomx" ]]; then
    xdotool mousemove --window "$viewer" "$zoomx" 12 click 1
    drag "$viewer" 215 391 40 0   # "H Rotation": turn about the vertical axis
    drag "$viewer" 13 190 0 12    # "V Rot": tilt towards the viewer
  fi
  sleep 2
  import -window root "$out"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  exec 3>&-
  rm -f "$fifo"
  echo "wrote $out"
}

shot 0 "Ballistics Simulation" docs/ballistics.png 160
shot 1 "Spring Mass Simulation" docs/springmass.png
