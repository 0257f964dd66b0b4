#!/usr/bin/env bash
# Builds pbsim's browser page: the engine compiled to WebAssembly by CMake's
# `web` preset (Emscripten; web/CMakeLists.txt), bundled with the page's
# scripts into one self-contained file, build/web/pbsim.html, that opens from
# the file system or any static host. Installs what is missing (emscripten,
# Boost's headers, Node.js and npm), installs the page's pinned JavaScript
# dependencies with `npm ci`, and rebuilds only what changed (CMake knows
# every source and header the engine is made of).
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/web
mkdir -p "$out"

need=(emscripten libboost-dev cmake make)
# Any Node.js with npm will do; Debian's when there is none.
command -v npm >/dev/null 2>&1 || need+=(nodejs npm)
scripts/install-deps.sh "${need[@]}"

# The preset sets NODE_PATH for Debian's emscripten, whose JavaScript modules
# (acorn, ...) lie in Debian's module folder.
cmake --preset web >/dev/null
cmake --build --preset web -j2 | { grep -v '^\[.*Built target' || true; } >&2

# The page's JavaScript dependencies, exactly as the lockfile pins them.
lock=$(sha256sum web/package-lock.json | cut -d' ' -f1)
if [[ ! -d web/node_modules || "$(cat web/node_modules/.pbsim-lock 2>/dev/null)" != "$lock" ]]; then
  echo "pbsim web: npm ci" >&2
  (cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  echo "$lock" >web/node_modules/.pbsim-lock
fi

# The page embeds engine.wasm itself (build.mjs), and each worker takes the
# module compiled once.
node web/build.mjs "$out/engine/engine.js" "$out/pbsim.html"
echo "pbsim web: open $out/pbsim.html in a browser" >&2
