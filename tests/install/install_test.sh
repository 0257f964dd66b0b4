#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# from there, as a user of the package would.
#   install_test.sh BUILD_DIR VERSION PROGRAM...
# PROGRAM: the programs the build installs (pbsim, pbsim-study).
# PBSIM_PYTHON, when set, is the interpreter the Python module is built for.
# pbsim's answer test needs an X display (run under xvfb-run).
set -uo pipefail

build_dir=$1
version=$2
shift 2
programs=("$@")

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
has() {
  local p
  for p in "${programs[@]}"; do [[ $p == "$1" ]] && return 0; done
  return 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
if ! cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install $build_dir" >&2
  exit 1
fi

# Every program with its manual page, rendered by man without a warning.
for program in "${programs[@]}"; do
  [[ -x $prefix/bin/$program ]] || fail "bin/$program is not installed"
  page=$prefix/share/man/man1/$program.1.gz
  if [[ ! -f $page ]]; then
    fail "share/man/man1/$program.1.gz is not installed"
    continue
  fi
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/page.txt")
  [[ -z $warnings ]] || fail "man warns about $program.1:"$'\n'"$warnings"
  name=${program^^}
  grep -q "^$name(1)" "$work/page.txt" || fail "$program.1 renders without its title line"
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS"; do
    grep -q "^$section" "$work/page.txt" || fail "$program.1 has no $section section"
  done
  # The installed binary must not reach back into the build tree.
  if readelf -d "$prefix/bin/$program" | grep -q "$build_dir"; then
    fail "bin/$program keeps a run path into the build tree"
  fi
done

for doc in copyright README.md changelog.gz; do
  [[ -f $prefix/share/doc/pbsim/$doc ]] || fail "share/doc/pbsim/$doc is not installed"
done

if has pbsim; then
  desktop=$(find "$prefix/share/applications" -name '*.desktop' 2>/dev/null)
  if [[ -z $desktop ]]; then
    fail "no desktop entry in share/applications"
  else
    id=$(basename "$desktop" .desktop)
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    [[ -x $prefix/bin/${exec_line%% *} ]] || fail "the desktop entry starts '$exec_line', not an installed program"
    grep -qx 'Terminal=true' "$desktop" || fail "the desktop entry does not start pbsim in a terminal"
    [[ -f $prefix/share/icons/hicolor/scalable/apps/$id.svg ]] || fail "no icon $id.svg"
    # Desktops look the entry's Icon= name up in the icon theme: without an
    # installed icon of that name the menu shows a blank.
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ -n $icon && -n $(find "$prefix/share/icons/hicolor" -path "*/apps/$icon.svg" 2>/dev/null) ]] ||
      fail "the desktop entry's icon '$icon' is not installed as share/icons/hicolor/*/apps/$icon.svg"
    [[ -f $prefix/share/metainfo/$id.metainfo.xml ]] || fail "no AppStream metadata $id.metainfo.xml"
  fi

  banner=$'Physically based simulation Velmora.\nWhich part do you wish to run? Enter 0 for Ballistics, 1 for SpringMass : '

  # No display: the banner, a message, status 1.
  out=$(cd / && env -u DISPLAY "$prefix/bin/pbsim" </dev/null 2>"$work/err")
  status=$?
  [[ $status -eq 1 ]] || fail "pbsim without a display exits $status, not 1"
  [[ $out == "Physically based simulation Velmora." ]] || fail "pbsim without a display printed: $out"
  grep -q '^pbsim: no display' "$work/err" || fail "pbsim without a display says: $(cat "$work/err")"

  # A reply that is not a number, on a pipe: banner, prompt, message, status 1.
  if [[ -z ${DISPLAY:-} ]]; then
    fail "no X display for pbsim's answer test (run it under xvfb-run)"
  else
    # This run ends before any window draws: in a sanitizer build, the GL
    # driver's leak at exit (some machines) needs the full unwinder to be
    # matched by tests/lsan.supp, as in the end-to-end tests.
    out=$(cd / && echo "zero" |
      ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0" \
        timeout 60 "$prefix/bin/pbsim" 2>"$work/err")
    status=$?
    [[ $status -eq 1 ]] || fail "pbsim answered 'zero' exits $status, not 1"
    [[ $out == "$banner" ]] || fail "pbsim answered 'zero' printed: $out"
    grep -qx 'pbsim: the answer is not a whole number; enter 0 for Ballistics or 1 for SpringMass.' \
      "$work/err" || fail "pbsim answered 'zero' says: $(cat "$work/err")"
  fi
fi

if has pbsim-study; then
  study=$prefix/bin/pbsim-study
  out=$(cd / && "$study" --version 2>&1)
  [[ $out == "pbsim-study $version" ]] || fail "pbsim-study --version prints '$out', not 'pbsim-study $version'"
  out=$(cd / && timeout 60 "$study" flight 2>"$work/err")
  status=$?
  [[ $status -eq 0 ]] || fail "pbsim-study flight exits $status: $(cat "$work/err")"
  # (Its table is checked in the build tree by cli_test.)
  grep -qE '^rk4 +15 ' <<<"$out" || fail "pbsim-study flight prints no RK4 row:"$'\n'"$out"
  # A figure through the installed PLplot drivers.
  (cd / && timeout 60 "$study" flight --plot "$work/flight.png" >/dev/null 2>"$work/err") ||
    fail "pbsim-study flight --plot flight.png fails: $(cat "$work/err")"
  file -b "$work/flight.png" 2>/dev/null | grep -q '^PNG image data' ||
    fail "pbsim-study flight --plot flight.png wrote no PNG image"
fi

# Nothing goes outside the prefix (cmake --install lists what it wrote).
outside=$(grep -v "^$prefix/" "$build_dir/install_manifest.txt")
[[ -z $outside ]] || fail "cmake --install wrote outside the prefix:"$'\n'"$outside"

# The Python module, when built (PBSIM_PYTHON names its interpreter): under the
# prefix's own site directory in Debian's layout, importable from there alone.
if [[ -n ${PBSIM_PYTHON:-} ]]; then
  site=$prefix/lib/python3/dist-packages
  modules=("$site"/pbsim/_pbsim.*.so)
  for f in __init__.py __init__.pyi _pbsim.pyi py.typed; do
    [[ -f $site/pbsim/$f ]] || fail "lib/python3/dist-packages/pbsim/$f is not installed"
  done
  if [[ ! -f ${modules[0]} ]]; then
    fail "no extension lib/python3/dist-packages/pbsim/_pbsim.*.so"
  elif readelf -d "${modules[0]}" | grep -q "$build_dir"; then
    fail "the extension keeps a run path into the build tree"
  fi
  out=$(cd / && PYTHONPATH=$site "$PBSIM_PYTHON" -c \
    'import pbsim; print(pbsim.__file__, pbsim.__version__, pbsim.flight().steps)' 2>&1)
  [[ $out == "$site/pbsim/__init__.py $version 15" ]] ||
    fail "the installed module, imported from the prefix, says: $out"
fi

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed ${programs[*]} into a temporary prefix and ran them from there: all checks passed"
