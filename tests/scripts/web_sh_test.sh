#!/usr/bin/env bash
# Runs scripts/web.sh as a user runs it, from a copy of the repository's
# sources in a scratch tree where em++, npm, node and the dependency
# installer are stand-ins that record their calls. The page must be rebuilt
# after a change to any file the compiler reads for it (as the compiler
# itself lists them, g++ -MM), and not when nothing changed.
#   web_sh_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$(realpath "$1")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/tree/scripts"
export STANDIN=$work

# em++: records each compilation and writes engine.js and engine.wasm where
# -o says; --version prints a version line.
cat >"$work/bin/em++" <<'STANDIN'
#!/usr/bin/env bash
if [[ $1 == --version ]]; then echo "emcc (stand-in) 3.1.6"; exit 0; fi
echo "em++ $*" >>"$STANDIN/calls"
while [[ $# -gt 0 ]]; do
  if [[ $1 == -o ]]; then out=$2; fi
  shift
done
echo js >"$out" && echo wasm >"${out%.js}.wasm"
STANDIN
cat >"$work/bin/npm" <<'STANDIN'
#!/usr/bin/env bash
echo "npm $*" >>"$STANDIN/calls"
mkdir -p node_modules
STANDIN
cat >"$work/bin/node" <<'STANDIN'
#!/usr/bin/env bash
echo "node $*" >>"$STANDIN/calls"
STANDIN
chmod +x "$work/bin/"*
printf '#!/bin/sh\nexit 0\n' >"$work/tree/scripts/install-deps.sh"
chmod +x "$work/tree/scripts/install-deps.sh"
cp "$source_dir/scripts/web.sh" "$work/tree/scripts/"
for folder in core ballistics springmass engine study web; do
  mkdir -p "$work/tree/$folder"
  find "$source_dir/$folder" -maxdepth 1 -type f -exec cp {} "$work/tree/$folder/" \;
done

tree=$work/tree
compilations() { grep -c '^em++' "$work/calls" 2>/dev/null || true; }
webSh() {
  (cd "$tree" && PATH="$work/bin:$PATH" scripts/web.sh) >"$work/out" 2>&1 || {
    echo "FAIL: scripts/web.sh failed:" >&2
    cat "$work/out" >&2
    exit 1
  }
}

failures=0
webSh
if [[ $(compilations) -ne 1 ]]; then
  echo "FAIL: the first build compiled $(compilations) times, not once" >&2
  failures=$((failures + 1))
fi
webSh
if [[ $(compilations) -ne 1 ]]; then
  echo "FAIL: a build with nothing changed compiled the engine again" >&2
  failures=$((failures + 1))
fi

# The sources web.sh compiles, as it lists them, and every file of the
# tree that the compiler reads for them, with web.sh's include folders.
mapfile -t sources < <(sed -n '/^sources=(/,/^)/p' "$tree/scripts/web.sh" | sed '1d;$d' | tr ' ' '\n' | sed '/^$/d')
if [[ ${#sources[@]} -lt 2 ]]; then
  echo "FAIL: found no sources in scripts/web.sh" >&2
  exit 1
fi
mapfile -t read < <(cd "$tree" && g++ -MM -MG -std=c++17 -Icore -Iballistics -Ispringmass -Iengine \
  -Istudy "${sources[@]}" | tr ' \\' '\n\n' | grep -v ':$' | sed '/^$/d' | sort -u |
  while read -r f; do [[ -f $f ]] && echo "$f"; done)
headers=0
for file in "${read[@]}"; do
  [[ $file == *.h ]] && headers=$((headers + 1))
  before=$(compilations)
  echo "// changed" >>"$tree/$file"
  webSh
  if [[ $(compilations) -ne $((before + 1)) ]]; then
    echo "FAIL: a change to $file does not rebuild the page's engine" >&2
    failures=$((failures + 1))
  fi
done
if [[ $headers -lt 5 ]]; then
  echo "FAIL: the compiler listed only $headers headers of the tree" >&2
  failures=$((failures + 1))
fi

if [[ $failures -ne 0 ]]; then
  echo "$failures case(s) failed" >&2
  exit 1
fi
echo "scripts/web.sh: rebuilt after a change to each of the ${#read[@]} files the compiler reads"
