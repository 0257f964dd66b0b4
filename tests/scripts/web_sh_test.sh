#!/usr/bin/env bash
# The page's engine is rebuilt after a change to any file the compiler read
# for it, and not when nothing changed: for each such file (as the compiler
# itself listed them, in the .d files of the page's CMake build that
# scripts/web.sh made), the file is made newer than the build and `make -n`
# must want to compile; its time is then put back as it was.
#   web_sh_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$(realpath "$1")
build=$source_dir/build/web/engine
if [[ ! -f $build/CMakeCache.txt ]]; then
  echo "FAIL: no page build in $build: scripts/web.sh makes it (scripts/test.sh runs it first)" >&2
  exit 1
fi

compiles() { make -C "$build" -n pbsim_web_engine 2>/dev/null | grep -c 'Building CXX object'; }

failures=0
# A build that is up to date compiles nothing (also brings CMake's
# dependency lists up to date).
make -C "$build" pbsim_web_engine >/dev/null 2>&1
if [[ $(compiles) -ne 0 ]]; then
  echo "FAIL: with nothing changed the page's engine would compile again" >&2
  failures=$((failures + 1))
fi

mapfile -t read < <(find "$build" -name '*.o.d' -exec cat {} + | tr ' \\' '\n\n' |
  grep -v ':$' | sed '/^$/d' | grep "^$source_dir/" | grep -v "^$source_dir/build/" | sort -u)
headers=0
saved=$(mktemp)
current=""
trap '[[ -n $current ]] && touch -r "$saved" "$current"; rm -f "$saved"' EXIT
for file in "${read[@]}"; do
  [[ $file == *.h ]] && headers=$((headers + 1))
  touch -r "$file" "$saved"
  current=$file
  touch "$file"
  n=$(compiles)
  touch -r "$saved" "$file"
  current=""
  if [[ $n -lt 1 ]]; then
    echo "FAIL: a change to ${file#"$source_dir"/} does not rebuild the page's engine" >&2
    failures=$((failures + 1))
  fi
done
for folder in core ballistics springmass engine; do
  if ! printf '%s\n' "${read[@]}" | grep -q "^$source_dir/$folder/.*\.h$"; then
    echo "FAIL: the compiler read no header of $folder/ for the page" >&2
    failures=$((failures + 1))
  fi
done
if [[ $failures -ne 0 ]]; then
  echo "$failures case(s) failed" >&2
  exit 1
fi
echo "the page's engine is rebuilt after a change to each of the ${#read[@]} files ($headers headers) the compiler read"
