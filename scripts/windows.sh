#!/usr/bin/env bash
# Cross-builds pbsim for 64-bit Windows with Debian's mingw-w64, FLTK and
# freeglut built from their source archives (checked against their SHA-256),
# and writes build/windows/pbsim-windows-x86_64.zip: pbsim.exe, statically
# linked (it runs with nothing installed), a README and the licences.
# Installs what is missing.
#   scripts/windows.sh [--vendor DIR]        build the zip
#   scripts/windows.sh [--vendor DIR] test   and run the Windows tests: the real
#                                            pbsim.exe under Wine (a virtual X
#                                            server when there is no display),
#                                            beside the Linux pbsim
# DIR holds fltk-1.3.8-source.tar.gz and freeglut-3.4.0-source.tar.gz; the
# default is ../shared/vendor beside this repository.
set -euo pipefail
cd "$(dirname "$0")/.."

vendor=()
test=false
while [[ $# -gt 0 ]]; do
  case $1 in
    --vendor)
      [[ $# -ge 2 ]] || { echo "windows.sh: --vendor needs a folder" >&2; exit 2; }
      vendor=(-DPBSIM_VENDOR_DIR="$(realpath -m "$2")")
      shift 2
      ;;
    test) test=true; shift ;;
    *)
      echo "usage: scripts/windows.sh [--vendor DIR] [test]" >&2
      exit 2
      ;;
  esac
done

# The cross compiler (its POSIX-threads variant), Boost's headers, and what
# the zip's licence of the mingw-w64 runtime comes from.
scripts/install-deps.sh cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libboost-dev
cmake --preset windows "${vendor[@]}" >/dev/null
cmake --build --preset windows -j"$(nproc)"
echo "windows.sh: wrote build/windows/pbsim-windows-x86_64.zip"
$test || exit 0

# Wine (its 64-bit loader), the Linux pbsim's build, the virtual display and
# the tools the tests drive the windows with.
scripts/install-deps.sh wine wine64 g++ libfltk1.3-dev fluid freeglut3-dev libgl1-mesa-dev \
  libglu1-mesa-dev libgl1-mesa-dri libx11-dev libgtest-dev libgmock-dev libboost-dev \
  xvfb xauth xdotool imagemagick x11-utils
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test -j"$(nproc)"
run=()
if [[ -z "${DISPLAY:-}" ]]; then
  run=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi
"${run[@]}" ctest --preset windows
