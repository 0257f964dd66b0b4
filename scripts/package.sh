#!/usr/bin/env bash
# Builds the Debian package from the optimised build (build/dev) and checks
# it: its contents, lintian (no errors; warnings are listed), the desktop
# entry and AppStream validators and man on the files inside the package.
#   scripts/package.sh    ->  build/dev/package/pbsim_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$(nproc)" >/dev/null
rm -f build/dev/package/*.deb
(cd build/dev && cpack -G DEB >/dev/null)
debs=(build/dev/package/pbsim_*_amd64.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "package: no single .deb in build/dev/package" >&2; exit 1; }
deb=${debs[0]}
echo "== $deb =="
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work"
programs=(pbsim)
[[ -d study ]] && programs+=(pbsim-study)
for program in "${programs[@]}"; do
  [[ -x $work/usr/bin/$program ]] || fail "the package has no usr/bin/$program"
  page=$work/usr/share/man/man1/$program.1.gz
  if [[ -f $page ]]; then
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man warns about $program.1: $warnings"
  else
    fail "the package has no manual page $program.1.gz"
  fi
done
for doc in copyright changelog.gz README.md; do
  [[ -f $work/usr/share/doc/pbsim/$doc ]] || fail "the package has no usr/share/doc/pbsim/$doc"
done
shopt -s nullglob
# The Python module, imported from the package's own files.
if [[ -d python ]]; then
  site=$work/usr/lib/python3/dist-packages
  modules=("$site"/pbsim/_pbsim.*.so)
  [[ ${#modules[@]} -eq 1 && -f $site/pbsim/__init__.py ]] ||
    fail "the package has no Python module in usr/lib/python3/dist-packages/pbsim"
  out=$(cd / && PYTHONPATH=$site /usr/bin/python3 -c 'import pbsim; print(pbsim.flight().steps)' 2>&1)
  [[ $out == 15 ]] || fail "the packaged Python module, imported, says: $out"
fi
desktops=("$work"/usr/share/applications/*.desktop)
metainfos=("$work"/usr/share/metainfo/*.metainfo.xml)
icons=("$work"/usr/share/icons/hicolor/scalable/apps/*.svg)
[[ ${#desktops[@]} -eq 1 ]] || fail "the package holds ${#desktops[@]} desktop entries, not 1"
[[ ${#metainfos[@]} -eq 1 ]] || fail "the package holds ${#metainfos[@]} AppStream files, not 1"
[[ ${#icons[@]} -eq 1 ]] || fail "the package holds ${#icons[@]} scalable icons, not 1"
for f in "${desktops[@]}"; do
  icon=$(sed -n 's/^Icon=//p' "$f")
  [[ -n $icon && -n $(find "$work/usr/share/icons/hicolor" -path "*/apps/$icon.svg" 2>/dev/null) ]] ||
    fail "the desktop entry's icon '$icon' is not in the package as usr/share/icons/hicolor/*/apps/$icon.svg"
done

echo "== desktop-file-validate =="
for f in "${desktops[@]}"; do
  desktop-file-validate "$f" || fail "desktop-file-validate ${f#"$work"}"
done
echo "== appstreamcli validate =="
for f in "${metainfos[@]}"; do
  appstreamcli validate --no-net "$f" || fail "appstreamcli validate ${f#"$work"}"
done
echo "== lintian =="
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

if [[ $failures -ne 0 ]]; then
  echo "package: $failures check(s) failed" >&2
  exit 1
fi
echo "package: $deb checked"
