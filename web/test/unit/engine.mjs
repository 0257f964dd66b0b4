// The page's engine (build/web/engine/engine.js, which scripts/web.sh builds) in
// Node.js, and the scheme table as core/schemes.h writes it.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../../..');
const enginePath = process.env.PBSIM_WEB_ENGINE || join(root, 'build/web/engine/engine.js');

export async function loadEngine() {
  const create = createRequire(import.meta.url)(enginePath);
  // Given its bytes: Emscripten's loader would fetch() the file by a path.
  return create({ wasmBinary: readFileSync(enginePath.replace(/\.js$/, '.wasm')) });
}

// The rows of kSchemes: {name, title, order, evaluations, colour, marker,
// kind} (a row that names no kind is explicit, SchemeInfo's default).
export function schemeTable() {
  const text = readFileSync(join(root, 'core/schemes.h'), 'utf8');
  // Each row's description is its `info{...}`, in the order the rows are defined (their
  // values are their places in the table).
  const row = /info\{\s*\w+,\s*"([^"]+)",\s*"([^"]+)",\s*(\d+),\s*(\d+),\s*\{([^}]*)\},\s*"([^"]+)"\s*(?:,\s*SchemeKind::(\w+)\s*)?\}/g;
  return [...text.matchAll(row)].map((m) => ({
    name: m[1],
    title: m[2],
    order: Number(m[3]),
    evaluations: Number(m[4]),
    colour: m[5].split(',').map((v) => Math.fround(Number(v.trim().replace(/f$/, '')))),
    marker: m[6],
    kind: (m[7] || 'Explicit').toLowerCase(),
  }));
}
