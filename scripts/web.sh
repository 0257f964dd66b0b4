#!/usr/bin/env bash
# Builds pbsim's browser page: the engine compiled to WebAssembly with
# Emscripten, bundled with the page's scripts into one self-contained file,
# build/web/pbsim.html, that opens from the file system or any static host.
# Installs what is missing (emscripten, Boost's headers, Node.js and npm),
# installs the page's pinned JavaScript dependencies with `npm ci`, and
# rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/web
mkdir -p "$out"

need=(emscripten libboost-dev)
# Any Node.js with npm will do; Debian's when there is none.
command -v npm >/dev/null 2>&1 || need+=(nodejs npm)
scripts/install-deps.sh "${need[@]}"

# Debian's emscripten finds its JavaScript modules (acorn, ...) in Debian's
# module folder, which a Node.js from elsewhere does not search.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# Boost's headers alone on the include path: /usr/include as a whole would
# put the host's C library headers before Emscripten's.
mkdir -p "$out/include"
ln -sfn /usr/include/boost "$out/include/boost"

sources=(
  web/engine_bindings.cpp
  core/vector3f.cpp
  ballistics/ballisticsparams.cpp ballistics/ballisticsexact.cpp ballistics/ballisticssim.cpp
  springmass/springmassparams.cpp springmass/springmassexact.cpp springmass/springmasssim.cpp
  engine/runs.cpp engine/convergence.cpp engine/validation.cpp engine/studies.cpp engine/tables.cpp
  engine/reference.cpp
  study/report.cpp
)
# The flags that matter for the bits are the native build's: no fused
# multiply-add. The engine catches Boost's exceptions inside its closed
# forms, hence WebAssembly's own exception handling.
flags=(
  -O2 -std=c++17 -Wall -Wextra -ffp-contract=off -fwasm-exceptions
  -isystem "$out/include" -Icore -Iballistics -Ispringmass -Iengine -Istudy
)
link=(
  -lembind -s MODULARIZE=1 -s EXPORT_NAME=createPbsimEngine
  -s ALLOW_MEMORY_GROWTH=1 -s MAXIMUM_MEMORY=2GB -s ENVIRONMENT=web,worker,node
)

# Rebuild the engine when a source, a header or a flag changed.
stamp=$( (cat "${sources[@]}" core/*.h ballistics/*.h springmass/*.h engine/*.h study/*.h
  echo "${flags[*]} ${link[*]}"; em++ --version | sed -n 1p) | sha256sum | cut -d' ' -f1)
# The page embeds engine.wasm itself (build.mjs), and each worker takes the
# module compiled once.
if [[ ! -f "$out/engine.js" || ! -f "$out/engine.wasm" ||
  "$(cat "$out/engine.stamp" 2>/dev/null)" != "$stamp" ]]; then
  echo "pbsim web: compiling the engine to WebAssembly" >&2
  rm -rf "$out/engine.tmp"
  mkdir -p "$out/engine.tmp"
  em++ "${flags[@]}" "${sources[@]}" "${link[@]}" -o "$out/engine.tmp/engine.js"
  mv "$out/engine.tmp/engine.wasm" "$out/engine.wasm"
  mv "$out/engine.tmp/engine.js" "$out/engine.js"
  rmdir "$out/engine.tmp"
  echo "$stamp" >"$out/engine.stamp"
fi

# The page's JavaScript dependencies, exactly as the lockfile pins them.
lock=$(sha256sum web/package-lock.json | cut -d' ' -f1)
if [[ ! -d web/node_modules || "$(cat web/node_modules/.pbsim-lock 2>/dev/null)" != "$lock" ]]; then
  echo "pbsim web: npm ci" >&2
  (cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  echo "$lock" >web/node_modules/.pbsim-lock
fi

node web/build.mjs "$out/engine.js" "$out/pbsim.html"
echo "pbsim web: open $out/pbsim.html in a browser" >&2
