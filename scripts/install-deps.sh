#!/usr/bin/env bash
# Installs the Debian packages pbsim needs to build, run and test, if any is
# missing. Quiet when everything is present; safe to run again. With package
# names as arguments, installs those instead (scripts/web.sh and
# scripts/web-test.sh name what the browser page needs).
set -euo pipefail

packages=(
  g++ make cmake
  libfltk1.3-dev fluid freeglut3-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev libboost-dev
  libcli11-dev libplplot-dev plplot-driver-cairo pkg-config
  xvfb xauth xdotool imagemagick x11-utils time
  dpkg-dev file man-db lintian desktop-file-utils appstream
  clang-14 libclang-rt-14-dev  # the fuzz build: clang and its libFuzzer and sanitizer runtimes
  # the Python module, its tests and the lab notebook
  pybind11-dev python3-dev python3-numpy python3-pandas python3-pytest python3-mypy
  python3-matplotlib python3-nbformat python3-nbclient python3-ipykernel python3-scipy
  # pip's way in (pyproject.toml, setup.py) and its tests: builds offline, virtual environments
  python3-pip python3-setuptools python3-wheel python3-venv
  python3-scipy  # bench/python/dopri5_scipy.py: scipy's solve_ivp beside the module's adaptive flight
)

[[ $# -eq 0 ]] || packages=("$@")

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
# Another apt or dpkg (unattended upgrades, a second installer) may hold its
# locks for minutes on a fresh machine: wait up to ten minutes instead of
# failing. apt-get waits for dpkg's lock when given DPkg::Lock::Timeout, but
# (apt 2.6) not for the package lists' lock that `update` takes: retry that.
apt=("${sudo[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
waited=0
until log=$("${apt[@]}" update -qq 2>&1); do
  if [[ $log != *"Could not get lock"* || $waited -ge 600 ]]; then
    echo "$log" >&2
    exit 1
  fi
  [[ $waited -gt 0 ]] || echo "pbsim: waiting for another package manager to finish" >&2
  sleep 5
  waited=$((waited + 5))
done
[[ -z $log ]] || echo "$log" >&2
if fuser /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock >/dev/null 2>&1; then
  echo "pbsim: waiting for another package manager to finish" >&2
fi
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
