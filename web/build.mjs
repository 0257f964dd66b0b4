// Bundles the page into one self-contained HTML file: the page's markup and
// styles, the engine's WebAssembly as base64 text, the worker's script (the
// engine's JavaScript glue from Emscripten, followed by the worker's own
// script), the page's script, and a first small script that starts the
// worker from a Blob URL and, at the end of the page, runs the page's
// script, so that the page needs no server. The page names the version of
// the project it was built from (CMakeLists.txt's project VERSION) in a
// generator meta element.
//   node build.mjs ENGINE_JS OUTPUT_HTML      (ENGINE_WASM beside ENGINE_JS)
import { build } from 'esbuild';
import { readFileSync, writeFileSync, renameSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const [engineJs, output] = process.argv.slice(2);
if (!engineJs || !output) {
  console.error('usage: node build.mjs ENGINE_JS OUTPUT_HTML');
  process.exit(2);
}

async function bundle(entry, define = {}) {
  const result = await build({
    entryPoints: [join(here, 'src', entry)],
    bundle: true,
    minify: true,
    format: 'iife',
    target: ['es2020'],
    write: false,
    define,
    legalComments: 'none',
  });
  return result.outputFiles[0].text;
}

const version = readFileSync(join(here, '..', 'CMakeLists.txt'), 'utf8').match(
  /^\s*project\(\s*pbsim\s+VERSION\s+([0-9]+(?:\.[0-9]+)*)\b/im,
);
if (!version) {
  console.error('build.mjs: CMakeLists.txt has no project(pbsim VERSION ...)');
  process.exit(1);
}
const generator = `<meta name="generator" content="pbsim ${version[1]}">`;

const engine = readFileSync(engineJs, 'utf8');
const wasm = readFileSync(engineJs.replace(/\.js$/, '.wasm')).toString('base64');
const workerScript = await bundle('worker.js');
// The engine's module defines createPbsimEngine; the worker's script uses it.
const workerSource = `${engine}\n;${workerScript}`;
const page = await bundle('main.js');
// The sources sit in script elements of their own types, which the browser
// keeps as text without parsing them; starter.js starts them.
const starter = await bundle('starter.js');
const css =
  readFileSync(join(here, 'node_modules/uplot/dist/uPlot.min.css'), 'utf8') +
  readFileSync(join(here, 'src/style.css'), 'utf8');
const template = readFileSync(join(here, 'src/index.html'), 'utf8');

// A script may not contain "</script"; esbuild's output escapes it in
// strings, and this keeps any other occurrence from closing the element.
const safe = (js) => js.replace(/<\/script/gi, '<\\/script');
const html = template
  .replace('</head>', () => `${generator}\n</head>`)
  .replace('/*STYLE*/', () => css)
  .replace('/*WASM*/', () => wasm)
  .replace('/*WORKER*/', () => safe(workerSource))
  .replace('/*STARTER*/', () => safe(starter))
  .replace('/*SCRIPT*/', () => safe(page));
const temporary = `${output}.tmp`;
writeFileSync(temporary, html);
renameSync(temporary, output);
console.log(`${output}: ${(html.length / 1024).toFixed(0)} KiB`);
