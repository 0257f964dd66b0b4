// The browser page's speed and size, in headless Chromium (not a test: the
// figures depend on the machine). Run after scripts/web.sh and a dev build:
//   node bench/web/page_bench.mjs [runs] [PAGE]
// (PAGE: another build of the page to measure, build/web/pbsim.html by
// default; the machine's load average is printed before and after, since a
// shared machine's load moves these figures more than anything else.)
// Reports, as medians over the runs: opening the file to the first picture;
// a keystroke to its new picture at time step 1e-4; a fine flight (1e-5)
// in WebAssembly against the same flight in the native engine (each run's
// own wall time, as pbsim-study reports it); and the page's size.
import { createRequire } from 'node:module';
import { execFileSync } from 'node:child_process';
import { statSync } from 'node:fs';
import { loadavg } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const require = createRequire(join(root, 'web/package.json'));
const puppeteer = require('puppeteer-core');
const runs = Number(process.argv[2] || 7);
const pagePath = process.argv[3] || join(root, 'build/web/pbsim.html');
const load = () => loadavg().map((x) => x.toFixed(1)).join(' ');
const loadBefore = load();
const nativeBench = join(root, 'build/dev/bench/web/engine_flight_bench');
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const fmt = (xs) => `median ${median(xs).toFixed(1)} ms (min ${Math.min(...xs).toFixed(1)}, max ${Math.max(...xs).toFixed(1)}, ${xs.length} runs)`;

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--enable-unsafe-swiftshader'],
});

// Opening the file: from the navigation's start to the first picture drawn.
const open = [];
for (let i = 0; i < runs; i++) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  await page.goto(`file://${pagePath}`);
  await page.waitForFunction(() => window.pbsimPage && window.pbsimPage.firstPictureMs !== null, { timeout: 30000 });
  open.push(await page.evaluate(() => window.pbsimPage.firstPictureMs));
  await page.close();
}

// A keystroke at time step 1e-4: from the input event to the new picture
// (the three flights, the table, the 3-D view and the error plot).
const page = await browser.newPage();
await page.setViewport({ width: 1400, height: 1000 });
await page.goto(`file://${pagePath}#b.dt=0.0001`);
await page.waitForFunction(() => window.pbsimPage && window.pbsimPage.pictures >= 2, { timeout: 30000 });
const keys = [];
for (let i = 0; i < runs * 2; i++) {
  const before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.focus('#b-azimuth');
  await page.keyboard.press('End');
  await page.keyboard.press(i % 2 ? 'Backspace' : '5');
  await page.waitForFunction((n) => window.pbsimPage.pictures > n, { timeout: 30000 }, before);
  keys.push(await page.evaluate(() => window.pbsimPage.lastInputToPictureMs));
  await new Promise((r) => setTimeout(r, 300));
}

// The fine flight, each scheme, in WebAssembly and natively: the model's
// run (wall_ms), best of several runs in one warm process on both sides.
const report = JSON.parse(execFileSync(nativeBench, ['--benchmark_format=json', '--benchmark_min_time=0.5'], { encoding: 'utf8' }));
const fine = {};
for (const scheme of ['euler', 'midpoint', 'rk4']) {
  const wasm = [];
  for (let i = 0; i < runs * 3; i++) wasm.push(await page.evaluate((s) => window.pbsimEngine.flight({ dt: 1e-5, scheme: s }).then((r) => r.wall_ms), scheme));
  const native = report.benchmarks.find((b) => b.label === scheme).wall_ms;
  fine[scheme] = { wasm: Math.min(...wasm), native };
}
await browser.close();

console.log(`open the file to the first picture: ${fmt(open)}`);
console.log(`keystroke to the new picture at dt 1e-4: ${fmt(keys)}`);
for (const [scheme, t] of Object.entries(fine)) {
  console.log(`fine flight (dt 1e-5) ${scheme}: WebAssembly ${t.wasm.toFixed(1)} ms, native ${t.native.toFixed(1)} ms, ratio ${(t.wasm / t.native).toFixed(2)}`);
}
const size = statSync(pagePath).size;
console.log(`pbsim.html: ${size} bytes (${(size / 1048576).toFixed(2)} MiB)`);
console.log(`load average (1, 5, 15 min) at the start: ${loadBefore}, at the end: ${load()}`);
