#!/usr/bin/env bash
# Writes the seed corpus of the model fuzz targets: the models' worked cases,
# each as the raw little-endian fields the target reads (floats, then the
# int32 scheme; see the layout at the top of each *_fuzz.cpp), then the
# inputs of past findings.
set -euo pipefail
cd "$(dirname "$0")/corpus"

# seed DIR NAME FLOAT... SCHEME
seed() {
  local file="$1/$2"
  shift 2
  perl -e 'my $s = pop @ARGV; print pack("f<*", @ARGV), pack("l<", $s)' -- "$@" >"$file"
}

# azimuth elevation mass amount power gravity friction target(x y z) timeStep time scheme
shot="-0.17453292 0.78539819 1000 1 10000"  # the start-up aim and charge
seed ballistics startup-euler $shot -9.8 50 0 0 10 0.1 0 0
seed ballistics startup-midpoint $shot -9.8 50 0 0 10 0.1 0 1
seed ballistics startup-rk4 $shot -9.8 50 0 0 10 0.1 0 2
level="-0.17453292 0 1000 1 10000"
seed ballistics level-euler $level -9.8 50 0 0 10 0.1 0 0
seed ballistics level-midpoint $level -9.8 50 0 0 10 0.1 0 1
seed ballistics level-rk4 $level -9.8 50 0 0 10 0.1 0 2
seed ballistics no-friction-rk4 $shot -9.8 0 0 0 10 0.1 0 2
seed ballistics record-defaults-euler 0 0 10 1 10000 -9.8 50 100 100 0 0.1 0 0
seed ballistics massless-euler -0.17453292 0.78539819 0 1 10000 -9.8 50 0 0 10 0.1 0 0
seed ballistics nan-gravity-rk4 $shot nan 50 0 0 10 0.1 0 2
seed ballistics time-step-zero-euler $shot -9.8 50 0 0 10 0 0 0
seed ballistics unknown-scheme-3 $shot -9.8 50 0 0 10 0.1 0 3
seed ballistics unknown-scheme-minus-1 $shot -9.8 50 0 0 10 0.1 0 -1
seed ballistics no-gravity-rests-midpoint $level 0 50 0 0 10 0.1 0 1
seed ballistics never-lands-rk4 $level 0 0 0 0 10 0.1 0 2
# Findings. A fine flight that lands 3% after the closed form's landing, past
# the room first taken for it, took room for 7.6 million points.
seed ballistics finding-past-estimated-landing-euler -0.17453292 0.78539819 1000 1 1e6 -9.8 500 0 0 10 2e-5 0 0

# mass gravity ks kd restLength timeStep time scheme
seed springmass defaults-euler 5 -9.8 15 1 1 0.1 0 0
seed springmass defaults-midpoint 5 -9.8 15 1 1 0.1 0 1
seed springmass defaults-rk4 5 -9.8 15 1 1 0.1 0 2
seed springmass critical-damping-rk4 5 -9.8 15 17.320508 1 0.01 0 2
seed springmass overdamped-rk4 5 -9.8 15 40 1 0.01 0 2
seed springmass no-stiffness-rk4 5 -9.8 0 1 1 0.1 0 2
seed springmass undamped-euler 5 -9.8 15 0 1 0.1 0 0
seed springmass undamped-rk4 5 -9.8 15 0 1 0.1 0 2
seed springmass no-gravity-midpoint 5 0 15 1 1 0.1 0 1
seed springmass above-anchor-rk4 1 0 15 0 -1 0.1 0 2
seed springmass massless-rk4 0 -9.8 15 1 2 0.1 0 2
seed springmass unknown-scheme-3 5 -9.8 15 1 1 0.1 0 3
