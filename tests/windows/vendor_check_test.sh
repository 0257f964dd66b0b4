#!/usr/bin/env bash
# The Windows build refuses toolkit archives that are missing or not the
# releases it was made for, with a message that names the file and the
# option to point at another folder, before it builds anything.
#   vendor_check_test.sh SOURCE_DIR VENDOR_DIR
set -euo pipefail
source_dir=$1
vendor=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# configure FOLDER EXPECTED...: the Windows configure with archives from
# FOLDER fails and its output holds every EXPECTED text.
configure() {
  local folder=$1
  shift
  local out status=0
  rm -rf "$work/build"
  out=$(cmake -S "$source_dir" -B "$work/build" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DPBSIM_STUDY=OFF -DPBSIM_BENCH=OFF -DPBSIM_PYTHON=OFF -DPBSIM_WEB_TESTS=OFF \
    -DPBSIM_VENDOR_DIR="$folder" 2>&1) || status=$?
  if [[ $status -eq 0 ]]; then
    echo "FAIL: configuring with $folder succeeded" >&2
    failures=$((failures + 1))
  fi
  # CMake wraps long messages: compare with the line breaks taken out.
  local flat
  flat=$(tr -s ' \n' ' ' <<<"$out")
  for text in "$@"; do
    if [[ $flat != *"$text"* ]]; then
      echo "FAIL: no \"$text\" in:" >&2
      echo "$out" >&2
      failures=$((failures + 1))
    fi
  done
  if [[ -e $work/build/toolkits/src/fltk-1.3.8 || -e $work/build/toolkits/src/freeglut-3.4.0 ]]; then
    echo "FAIL: a refused archive was unpacked" >&2
    failures=$((failures + 1))
  fi
}

mkdir -p "$work/missing" "$work/altered"
cp "$vendor/fltk-1.3.8-source.tar.gz" "$work/missing/"
configure "$work/missing" "$work/missing/freeglut-3.4.0-source.tar.gz does not exist" \
  "PBSIM_VENDOR_DIR"

cp "$vendor/freeglut-3.4.0-source.tar.gz" "$work/altered/"
cp "$vendor/fltk-1.3.8-source.tar.gz" "$work/altered/"
printf 'x' >>"$work/altered/fltk-1.3.8-source.tar.gz"
configure "$work/altered" "$work/altered/fltk-1.3.8-source.tar.gz has SHA-256" \
  "not e30db0c7670ca4852d33cb5ee6690f7e975aaab4c1b6a03e2222eec7155efb13" "PBSIM_VENDOR_DIR"

if [[ $failures -ne 0 ]]; then
  echo "vendor_check_test: $failures check(s) failed" >&2
  exit 1
fi
echo "vendor_check_test: missing and altered archives refused"
