#!/usr/bin/env bash
# Installs the Debian packages pbsim needs to build, run and test, if any is
# missing. Quiet when everything is present; safe to run again.
set -euo pipefail

packages=(
  g++ make cmake
  libfltk1.3-dev fluid freeglut3-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev libboost-dev
  libcli11-dev libplplot-dev plplot-driver-cairo pkg-config
  xvfb xauth xdotool imagemagick x11-utils time
  dpkg-dev file man-db lintian desktop-file-utils appstream
  clang-14 libclang-rt-14-dev  # the fuzz build: clang and its libFuzzer and sanitizer runtimes
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "pbsim: installing ${missing[*]}" >&2
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
