#!/usr/bin/env bash
# Runs scripts/test.sh as a user runs it, from a copy of the script in a
# scratch tree where cmake, ctest, xvfb-run and the dependency installer are
# stand-ins: each ctest run plays the next outcome of a list and records the
# display it ran on. The GUI tests run on the user's display when there is
# one, and under xvfb-run only when there is none. CI and users
# trust the script's exit status, so every way the tests can fail must make
# it exit non-zero, and a LeakSanitizer crash at exit (and only that) earns
# the failed tests a second run.
#   test_sh_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# ctest: takes the first line of $STANDIN/outcomes (none left: a failure),
# records its arguments in $STANDIN/calls and writes the log that ctest
# writes, build/PRESET/Testing/Temporary/LastTest.log. Exit status 8 is
# ctest's for failed tests.
cat >"$work/bin/ctest" <<'EOF'
#!/usr/bin/env bash
outcome=$(head -n 1 "$STANDIN/outcomes")
sed -i 1d "$STANDIN/outcomes"
echo "$*" >>"$STANDIN/calls"
echo "DISPLAY=${DISPLAY:-} $*" >>"$STANDIN/displays"
preset=dev
while [[ $# -gt 0 ]]; do
  [[ $1 == --preset ]] && preset=$2
  shift
done
log=build/$preset/Testing/Temporary/LastTest.log
mkdir -p "$(dirname "$log")"
case $outcome in
  pass) echo "1/1 Test: a_test ... Passed" >"$log" && exit 0 ;;
  lsan)
    printf '%s\n' "==123==LeakSanitizer has encountered a fatal error." \
      "1/1 Test: a_test ... Failed" >"$log"
    exit 8
    ;;
  *) echo "1/1 Test: a_test ... Failed: expected 1, got 2" >"$log" && exit 8 ;;
esac
EOF
printf '#!/bin/sh\nexit 0\n' >"$work/bin/cmake"
# xvfb-run: records that it ran, drops its own options and runs the
# command on a display of its own, as the real one does.
cat >"$work/bin/xvfb-run" <<'EOF'
#!/usr/bin/env bash
echo "xvfb-run $*" >>"$STANDIN/xvfb"
while [[ $1 == -* ]]; do [[ $1 == -s ]] && shift; shift; done
DISPLAY=:virtual exec "$@"
EOF
chmod +x "$work/bin/"*

failures=0
# check PRESET "OUTCOME..." EXPECTED_STATUS(0 or nonzero) EXPECTED_RERUNS WHAT
check() {
  local preset=$1 outcomes=$2 expected=$3 reruns=$4 what=$5
  local tree=$work/tree
  rm -rf "$tree" && mkdir -p "$tree/scripts"
  cp "$source_dir/scripts/test.sh" "$tree/scripts/"
  # The installer and the browser page's build stand in as no-ops.
  for helper in install-deps.sh web.sh; do
    printf '#!/bin/sh\nexit 0\n' >"$tree/scripts/$helper"
    chmod +x "$tree/scripts/$helper"
  done
  tr ' ' '\n' <<<"$outcomes" >"$tree/outcomes"
  : >"$tree/calls"
  : >"$tree/displays"
  : >"$tree/xvfb"
  local args=()
  [[ $preset == dev ]] || args=("$preset")
  local display=()
  [[ -n ${DISPLAY_GIVEN:-} ]] && display=(DISPLAY="$DISPLAY_GIVEN")
  env -u DISPLAY "${display[@]}" STANDIN="$tree" PATH="$work/bin:$PATH" \
    "$tree/scripts/test.sh" "${args[@]}" >"$tree/out" 2>&1
  local status=$?
  local got
  got=$(grep -c -- '--rerun-failed' "$tree/calls")
  if [[ $expected == 0 && $status -ne 0 || $expected != 0 && $status -eq 0 || $got -ne $reruns ]]; then
    echo "FAIL: $what (ctest outcomes: $outcomes): test.sh $preset exits $status" \
      "(expected $expected) after $got rerun(s) (expected $reruns); ctest calls:" >&2
    sed 's/^/  /' "$tree/calls" "$tree/out" >&2
    failures=$((failures + 1))
  fi
  # The GUI tests run on the display there is, or on a virtual one when
  # there is none; the headless tests need none.
  local want=${DISPLAY_GIVEN:-:virtual} line
  while read -r line; do
    local seen=${line%% *}
    if [[ $line == *"-L gui"* && $seen != "DISPLAY=$want" ]]; then
      echo "FAIL: $what (DISPLAY '${DISPLAY_GIVEN:-}'): the GUI tests ran with $seen, not" \
        "DISPLAY=$want: $line" >&2
      failures=$((failures + 1))
    fi
  done <"$tree/displays"
  if [[ $expected == 0 ]] && ! grep -q -- "-L gui" "$tree/displays"; then
    echo "FAIL: $what: the GUI tests did not run" >&2
    failures=$((failures + 1))
  fi
  if [[ -n ${DISPLAY_GIVEN:-} && -s $tree/xvfb ]]; then
    echo "FAIL: $what: a virtual display started beside DISPLAY=$DISPLAY_GIVEN:" \
      "$(cat "$tree/xvfb")" >&2
    failures=$((failures + 1))
  fi
}

check dev "pass pass" 0 0 "every test passes"
check dev "fail pass" nonzero 0 "a headless test fails"
check dev "pass fail" nonzero 0 "a GUI test fails"
check sanitize "fail pass pass" nonzero 0 "a real failure is not run again"
check sanitize "lsan pass pass" 0 1 "LeakSanitizer crashes in a headless test, which then passes"
check sanitize "pass lsan pass" 0 1 "LeakSanitizer crashes in a GUI test, which then passes"
check sanitize "lsan fail pass" nonzero 1 "a test that LeakSanitizer crashed fails again"
# With a display of the user's own.
DISPLAY_GIVEN=:7 check dev "pass pass" 0 0 "every test passes on the user's display"
DISPLAY_GIVEN=:7 check dev "pass fail" nonzero 0 "a GUI test fails on the user's display"
DISPLAY_GIVEN=:7 check sanitize "pass lsan pass" 0 1 \
  "LeakSanitizer crashes in a GUI test on the user's display, which then passes"

if [[ $failures -ne 0 ]]; then
  echo "$failures case(s) failed" >&2
  exit 1
fi
echo "scripts/test.sh: exit status right for every outcome of the tests"
