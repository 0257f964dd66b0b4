#!/usr/bin/env bash
# Gathers what a course hands out into dist/: the browser page (one file that
# opens from anywhere), the Python wheel, the Debian package, the source
# archive, and SHA256SUMS over them. Every artifact carries the one version
# that CMakeLists.txt gives the project and comes from the commit checked
# out: a working tree with changes is refused, and so is a bundle whose
# artifacts disagree on the version. dist/ is replaced only when all is well.
#   scripts/release.sh              builds everything needed and writes dist/
#   scripts/release.sh --check DIR  checks a bundle: its files, their sums and versions
set -euo pipefail
cd "$(dirname "$0")/.."

die() {
  echo "release: $*" >&2
  exit 1
}

refuse_changes() {
  git rev-parse --is-inside-work-tree >/dev/null 2>&1 ||
    die "$PWD is not a git working tree: the release is made from a commit (git archive)"
  local changes
  changes=$(git status --porcelain --untracked-files=all)
  [[ -z $changes ]] || die "the working tree has changes that no commit holds; commit or stash them and run scripts/release.sh again:
$changes"
}

# The project's version as CMake reads it from project(... VERSION ...).
project_version() {
  cmake --preset dev >/dev/null || die "cmake --preset dev failed"
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/dev/CMakeCache.txt)
  [[ -n $version ]] || die "CMake gives the project no version (build/dev/CMakeCache.txt)"
  echo "$version"
}

# What each artifact says its version is: "artifact|version" lines.
artifact_versions() {
  local dir=$1 f
  if [[ -f $dir/pbsim.html ]]; then
    echo "the page's generator element (pbsim.html)|$(grep -o '<meta name="generator" content="pbsim [^"]*">' "$dir/pbsim.html" |
      sed -n '1s/.*content="pbsim \([^"]*\)".*/\1/p')"
  fi
  for f in "$dir"/pbsim-*.whl; do
    echo "the wheel's name ($(basename "$f"))|$(basename "$f" | cut -d- -f2)"
    echo "the wheel's METADATA ($(basename "$f"))|$(/usr/bin/python3 - "$f" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for name in z.namelist():
        if name.endswith(".dist-info/METADATA"):
            for line in z.read(name).decode().splitlines():
                if line.startswith("Version: "):
                    print(line[len("Version: "):])
                    break
EOF
)"
  done
  for f in "$dir"/pbsim_*.deb; do
    echo "the Debian package's name ($(basename "$f"))|$(basename "$f" | cut -d_ -f2)"
    echo "the Debian package's control file ($(basename "$f"))|$(dpkg-deb -f "$f" Version 2>/dev/null)"
  done
  for f in "$dir"/pbsim-*.tar.gz; do
    local name top
    name=$(basename "$f" .tar.gz)
    echo "the source archive's name ($(basename "$f"))|${name#pbsim-}"
    # (sed reads to the end: a reader that stopped early would fail tar with SIGPIPE)
    top=$(tar -tzf "$f" 2>/dev/null | sed -n '1s|/.*||p' || true)
    echo "the source archive's folder ($(basename "$f"))|${top#pbsim-}"
    echo "the source archive's CMakeLists.txt ($(basename "$f"))|$(tar -xOzf "$f" "$top/CMakeLists.txt" 2>/dev/null |
      sed -n 's/^ *project( *pbsim  *VERSION  *\([0-9.]*\).*/\1/p' | sed -n 1p)"
  done
}

# A bundle: the five files, their sums right, every version the project's.
check_bundle() {
  local dir=$1 version=$2 problems=0
  problem() {
    echo "release: $*" >&2
    problems=$((problems + 1))
  }
  shopt -s nullglob
  local kind pattern found
  for kind in "page:pbsim.html" "wheel:pbsim-*.whl" "Debian package:pbsim_*.deb" \
    "source archive:pbsim-*.tar.gz" "sums:SHA256SUMS"; do
    pattern=${kind#*:}
    # shellcheck disable=SC2206
    found=("$dir"/$pattern)
    [[ ${#found[@]} -eq 1 ]] || problem "the bundle holds ${#found[@]} files $pattern (${kind%%:*}), not 1"
  done
  local f
  for f in "$dir"/*; do
    case $(basename "$f") in
      pbsim.html | pbsim-*.whl | pbsim_*.deb | pbsim-*.tar.gz | SHA256SUMS) ;;
      *) problem "the bundle holds a file that is none of its artifacts: $(basename "$f")" ;;
    esac
  done
  if [[ -f $dir/SHA256SUMS ]]; then
    local listed actual
    listed=$(sed 's/^[0-9a-f]\{64\} [ *]//' "$dir/SHA256SUMS" | sort)
    actual=$(for f in "$dir"/*; do [[ $f == */SHA256SUMS ]] || basename "$f"; done | sort)
    [[ $listed == "$actual" ]] ||
      problem "SHA256SUMS lists $(tr '\n' ' ' <<<"$listed")but the bundle holds $(tr '\n' ' ' <<<"$actual")"
    (cd "$dir" && sha256sum --check --strict --quiet SHA256SUMS >&2) ||
      problem "an artifact's SHA-256 sum differs from SHA256SUMS"
  fi
  local line what said lines=0
  while IFS= read -r line; do
    lines=$((lines + 1))
    what=${line%|*}
    said=${line##*|}
    if [[ -z $said ]]; then
      problem "version mismatch: $what gives no version; the project's is $version"
    elif [[ $said != "$version" ]]; then
      problem "version mismatch: $what says $said; the project's version is $version"
    fi
  done < <(artifact_versions "$dir")
  # One line for the page, two for the wheel and for the package, three for the source.
  [[ $lines -ge 8 ]] || problem "the versions of the artifacts could not all be read ($lines of 8)"
  [[ $problems -eq 0 ]] || die "the bundle in $dir is not a release of pbsim $version ($problems problem(s) above)"
}

if [[ ${1:-} == --check ]]; then
  [[ $# -eq 2 && -d $2 ]] || die "usage: scripts/release.sh --check DIR (a folder)"
  version=$(project_version)
  check_bundle "$2" "$version"
  echo "release: $2 holds pbsim $version, each sum right"
  exit 0
fi
[[ $# -eq 0 ]] || die "usage: scripts/release.sh, or scripts/release.sh --check DIR"

refuse_changes
scripts/install-deps.sh
version=$(project_version)
commit=$(git rev-parse HEAD)
echo "== pbsim $version, commit $commit =="

echo "== the browser page (scripts/web.sh) =="
scripts/web.sh

echo "== the Debian package (scripts/package.sh) =="
scripts/package.sh

# Beside the other builds (ignored by git) until every check has passed.
staging=build/dist.tmp
rm -rf "$staging"
mkdir -p "$staging"
trap 'rm -rf "$staging"' EXIT

cp build/web/pbsim.html "$staging/pbsim.html"
cp build/dev/package/pbsim_"$version"_*.deb "$staging/"

echo "== the Python wheel (pip wheel) =="
# The interpreter that the Debian package's module is built for.
python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' build/dev/CMakeCache.txt)
python=${python:-/usr/bin/python3}
"$python" -m pip --disable-pip-version-check wheel --quiet --no-index --no-build-isolation \
  --no-deps --no-cache-dir -w "$staging" .

echo "== the source archive (git archive $commit) =="
git archive --format=tar.gz --prefix="pbsim-$version/" -o "$staging/pbsim-$version.tar.gz" "$commit"

(cd "$staging" && sha256sum -- pbsim.html pbsim-*.whl pbsim_*.deb pbsim-*.tar.gz >SHA256SUMS)

# Nothing the builds did may have changed what the commit holds.
refuse_changes
[[ $(git rev-parse HEAD) == "$commit" ]] || die "HEAD moved from $commit during the release"
check_bundle "$staging" "$version"

rm -rf dist
mv "$staging" dist
trap - EXIT
echo "== dist: pbsim $version =="
ls -l dist
cat dist/SHA256SUMS
