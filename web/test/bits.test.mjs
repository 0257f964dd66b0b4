// window.pbsimEngine against the native programs: the float32 positions and
// heights equal pbsim-study's CSV bit for bit (%.9g reads back exactly), the
// steps and stops are pbsim's, and the closed forms and errors lie within
// a few ulp of the native engine's (see kUlps). Quadratic drag's flights too,
// against pbsim-study --drag quadratic, their reference within its own error.
// The page's CSV download is pbsim-study's CSV, byte for byte. Refusals name
// the parameter each rule of the engine's table is broken for.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { launch, open, study, reference, type, waitForPicture } from './support.mjs';

const browser = await launch();
const { page, errors } = await open(browser);
after(() => browser.close());

const allSchemes = ['euler', 'midpoint', 'rk4', 'symplectic-euler', 'verlet'];
const shots = [
  {},
  { azimuth: -30, elevation: 70, mass: 10, power: 300, dt: 0.01 },
  { friction: 0, elevation: 20, dt: 0.05 },
  { gravity: -3, friction: 500, mass: 3000, powder: 2.5, dt: 0.001 },
];
const springs = [{}, { kd: 0, dt: 0.05 }, { mass: 1, ks: 100, kd: 0.5, rest: 2, gravity: -20, dt: 0.001 }];

function csvRows(text) {
  const [head, ...lines] = text.trim().split('\n');
  const names = head.split(',');
  return lines.map((l) => Object.fromEntries(l.split(',').map((v, i) => [names[i], v])));
}

function cli(values) {
  return Object.entries(values).flatMap(([k, v]) => [`--${k}`, String(v)]);
}

const view = new DataView(new ArrayBuffer(8));
function ordered(x) {
  view.setFloat64(0, x);
  const b = view.getBigInt64(0);
  return b < 0n ? -(b & 0x7fffffffffffffffn) : b;
}
// Units in the last place between two doubles; NaN (JSON null) only matches NaN.
function ulps(a, b) {
  if (a === null || b === null || Number.isNaN(a) || Number.isNaN(b)) return a === b || (Number.isNaN(a ?? NaN) && Number.isNaN(b ?? NaN)) ? 0 : Infinity;
  if (a === b) return 0;
  const d = ordered(a) - ordered(b);
  return Number(d < 0n ? -d : d);
}

// One unit in the last place of doubles of magnitude `scale`.
function ulpOf(scale) {
  return scale > 0 ? 2 ** (Math.floor(Math.log2(scale)) - 52) : Number.MIN_VALUE;
}

// The closed forms sum terms larger than their result (the height near the
// ground is the launch speed's rise minus gravity's fall), and the errors
// are differences of positions: both are compared in units in the last
// place of the quantities they are formed from, `scale` (the largest
// magnitude of the run's exact values). `worst` keeps the plain distance in
// ulp of each value too, for the report.
//
// The two builds share every formula but not the C library: glibc's and
// musl's exp, expm1, sin and cos differ by an ulp now and then, and a sum
// of such terms can carry a few of them (up to 2.6 ulp of the scale seen in
// the shots below, since the flight sums its weak-drag series instead of
// cancelling). The bound allows for that and no more.
const kUlps = 4;
const worst = { plain: 0, scaled: 0, where: '' };
function within4ulp(wasm, native, what, scale) {
  assert.equal(wasm.length, native.length, `${what}: length`);
  for (let k = 0; k < native.length; k++) {
    const plain = ulps(wasm[k], native[k]);
    worst.plain = Math.max(worst.plain, plain);
    if (plain === 0) continue;
    const scaled = Math.abs(wasm[k] - native[k]) / ulpOf(Math.max(scale, Math.abs(native[k])));
    if (scaled > worst.scaled) Object.assign(worst, { scaled, where: `${what}[${k}]` });
    assert.ok(scaled <= kUlps, `${what}[${k}]: ${wasm[k]} (WebAssembly) and ${native[k]} (native) lie ${scaled} ulp of ${scale} apart`);
  }
}

function largest(...columns) {
  let m = 0;
  for (const c of columns) for (const v of c) if (v !== null && Number.isFinite(v)) m = Math.max(m, Math.abs(v));
  return m;
}

// The engine's run in the page, its arrays as plain numbers (exact in JSON).
async function engine(model, args) {
  return page.evaluate(
    async (model, args) => {
      const r = await window.pbsimEngine[model](args);
      const out = {};
      for (const [k, v] of Object.entries(r)) out[k] = ArrayBuffer.isView(v) ? { type: v.constructor.name, values: Array.from(v, (x) => (Number.isNaN(x) ? null : x)) } : Number.isNaN(v) ? null : v;
      return out;
    },
    model,
    args,
  );
}

test('flights: float32 positions bit for bit, steps and stops, doubles within a few ulp', async () => {
  let points = 0;
  for (const shot of shots) {
    const printed = csvRows(study(['flight', ...cli(shot), '--schemes', allSchemes.join(','), '--csv', '-']));
    for (const scheme of allSchemes) {
      const what = `${scheme} ${JSON.stringify(shot)}`;
      const run = await engine('flight', { ...shot, scheme });
      assert.equal(run.x.type, 'Float32Array', 'x is the model float');
      assert.equal(run.t.type, 'Float64Array');
      assert.equal(run.exact_x.type, 'Float64Array');
      const rows = printed.filter((r) => r.scheme === scheme);
      assert.equal(run.steps, rows.length - 1, `${what}: steps`);
      for (const c of ['x', 'y', 'z']) {
        const expected = rows.map((r) => Math.fround(Number(r[c])));
        assert.deepEqual(run[c].values, expected, `${what}: ${c} bit for bit`);
      }
      points += rows.length;
      const native = reference('flight', scheme, shot);
      assert.equal(run.stop, native.stop);
      assert.equal(run.evaluations, native.evaluations);
      for (const c of ['x', 'y', 'z']) assert.deepEqual(run[c].values, native[c], `${what}: ${c} against the native engine`);
      const positions = largest(native.exact_x, native.exact_y, native.exact_z);
      // Times are k·h, exactly, but for the ground point's interpolated time.
      assert.deepEqual(run.t.values.slice(0, -1), native.t.slice(0, -1), `${what}: t`);
      for (const c of ['t', 'exact_x', 'exact_y', 'exact_z', 'path_error']) within4ulp(run[c].values, native[c], `${what}: ${c}`, c === 't' ? 0 : positions);
      for (const c of ['landing_x', 'landing_z', 'landing_miss', 'max_path_error']) within4ulp([run[c]], [native[c]], `${what}: ${c}`, positions);
      within4ulp([run.flight_time], [native.flight_time], `${what}: flight_time`, 0);
    }
  }
  console.log(`flights: ${points} points bit for bit; doubles at most ${worst.plain} ulp of their own, ${worst.scaled.toFixed(2)} ulp of their scale (${worst.where}) from the native engine`);
});

// Quadratic drag: the same shots' kind, each within quadratic drag's limits.
const quadraticShots = [
  {},
  { azimuth: -30, elevation: 70, mass: 10, power: 300, dt: 0.01, friction: 0.05 },
  { elevation: 89.5, friction: 5, dt: 0.02 },
  { gravity: -3, friction: 0.5, mass: 30, powder: 2.5, dt: 0.001 },
];

test('quadratic drag: float32 states bit for bit with pbsim-study, the reference within its own error', async () => {
  let points = 0;
  let worstReference = 0;
  let estimate = 0;
  for (const shot of quadraticShots) {
    const printed = csvRows(study(['flight', ...cli(shot), '--drag', 'quadratic', '--schemes', allSchemes.join(','), '--csv', '-']));
    for (const scheme of allSchemes) {
      const what = `quadratic ${scheme} ${JSON.stringify(shot)}`;
      const run = await engine('flight', { ...shot, drag: 'quadratic', scheme });
      assert.equal(run.judge, 'reference', what);
      assert.equal(run.exact_x, undefined, `${what}: no exact columns`);
      const rows = printed.filter((r) => r.scheme === scheme);
      assert.equal(run.steps, rows.length - 1, `${what}: steps`);
      for (const c of ['x', 'y', 'z', 'vx', 'vy', 'vz']) {
        assert.equal(run[c].type, 'Float32Array', `${what}: ${c} is the model float`);
        assert.deepEqual(run[c].values, rows.map((r) => Math.fround(Number(r[c]))), `${what}: ${c} bit for bit`);
      }
      points += rows.length;
      // The two references integrate in different long doubles (x87's 80 bits,
      // WebAssembly's 128): each lies within its own estimate of the truth.
      const tolerance = 2 * run.judge_error + 4 * ulpOf(largest(...['reference_x', 'reference_y', 'reference_z'].map((c) => run[c].values)));
      estimate = Math.max(estimate, run.judge_error);
      for (const c of ['reference_x', 'reference_y', 'reference_z', 'path_error']) {
        assert.equal(run[c].values.length, rows.length, `${what}: ${c}`);
        run[c].values.forEach((v, k) => {
          const d = Math.abs(v - Number(rows[k][c]));
          worstReference = Math.max(worstReference, d);
          assert.ok(d <= tolerance, `${what}: ${c}[${k}] ${v} (WebAssembly) and ${rows[k][c]} (pbsim-study) lie ${d} m apart, beyond ${tolerance}`);
        });
      }
    }
  }
  console.log(`quadratic flights: ${points} points bit for bit; references at most ${worstReference.toExponential(2)} m apart (their own estimate at most ${estimate.toExponential(2)} m)`);
});

test('springs: float32 heights bit for bit, steps and stops, doubles within a few ulp', async () => {
  let points = 0;
  Object.assign(worst, { plain: 0, scaled: 0, where: '' });
  for (const spring of springs) {
    const printed = csvRows(study(['spring', ...cli(spring), '--schemes', allSchemes.join(','), '--csv', '-']));
    for (const scheme of allSchemes) {
      const what = `${scheme} ${JSON.stringify(spring)}`;
      const run = await engine('spring', { ...spring, scheme });
      assert.equal(run.y.type, 'Float32Array');
      const rows = printed.filter((r) => r.scheme === scheme);
      assert.equal(run.steps, rows.length - 1, `${what}: steps`);
      assert.deepEqual(run.y.values, rows.map((r) => Math.fround(Number(r.y))), `${what}: y bit for bit`);
      assert.deepEqual(run.v.values, rows.map((r) => Math.fround(Number(r.v))), `${what}: v bit for bit`);
      points += rows.length;
      const native = reference('spring', scheme, spring);
      assert.equal(run.stop, native.stop);
      assert.equal(run.evaluations, native.evaluations);
      assert.deepEqual(run.t.values, native.t, `${what}: t`);
      const heights = largest(native.exact_y);
      const energies = largest(native.energy);
      for (const c of ['exact_y', 'height_error', 'energy']) within4ulp(run[c].values, native[c], `${what}: ${c}`, c === 'energy' ? energies : heights);
      for (const c of ['final_height', 'resting_height', 'max_height_error']) within4ulp([run[c]], [native[c]], `${what}: ${c}`, heights);
      // A relative drift, max |E - E0|/E0: in units of its own size.
      within4ulp([run.energy_drift], [native.energy_drift], `${what}: energy_drift`, 0);
    }
  }
  console.log(`springs: ${points} samples bit for bit; doubles at most ${worst.plain} ulp of their own, ${worst.scaled.toFixed(2)} ulp of their scale (${worst.where}) from the native engine`);
});

// The schemes without single-precision arithmetic (implicit and adaptive)
// run in double: every model column and count is pbsim-study's CSV value
// (the shortest decimal reads back to the double) and the native engine's,
// bit for bit, the points an adaptive run's own accepted steps with their h;
// the columns measured against the closed form within a few ulp; the
// ground point on the interpolant and tolerances of one's own too (pbsim-study
// --landing, --rtol, --atol).
//
// The step controller's factor safety·norm^(-1/(q+1)) is computed in the
// basic operations only (musl's and glibc's pow round about one argument in
// 1700 apart), so an adaptive run is the same bits in WebAssembly: a run that
// parted from the native one would fail here at the step where it parts.
test('the double-only schemes: states, steps and h bit for bit with pbsim-study and the native engine, the landing on the interpolant too', async () => {
  const table = await page.evaluate(() => window.pbsimEngine.schemes());
  const doubles = table.filter((s) => !s.single).map((s) => s.name);
  const adaptive = new Set(table.filter((s) => s.adaptive).map((s) => s.name));
  assert.ok(doubles.length >= 4, `${doubles}`);
  Object.assign(worst, { plain: 0, scaled: 0, where: '' });
  let points = 0;
  let identical = 0;
  let doubleValues = 0;
  const runs = { whole: 0, parted: 0, partedAt: [] };
  const summaryBits = ['steps', 'evaluations', 'rejected', 'stop', 'landing_x', 'landing_z', 'flight_time', 'final_height'];
  // The first point where an array differs from the other, or -1.
  const firstDifference = (a, b) => {
    for (let k = 0; k < Math.max(a.length, b.length); k++) if (a[k] !== b[k]) return k;
    return -1;
  };
  // The values against another program's: every model column and count bit
  // for bit (up to the first h that pow rounded differently, for an adaptive
  // run), the closed form's columns within a few ulp.
  const sameColumns = (run, other, columns, what, scale) => {
    const model = columns.filter((c) => c.kind !== 'double');
    let parted = -1;
    if (adaptive.has(run.scheme)) {
      const firsts = model.map((c) => firstDifference(run[c.name].values, other[c.name]));
      parted = firsts.filter((k) => k >= 0).reduce((a, b) => Math.min(a, b), Infinity);
      if (parted === Infinity) parted = -1;
      if (parted >= 0) {
        const h = firstDifference(run.h.values, other.h);
        assert.equal(h, parted, `${what}: the runs part at point ${parted}, not at a step h (${h})`);
        assert.ok(ulps(run.h.values[h], other.h[h]) <= 2, `${what}: h[${h}] ${run.h.values[h]} and ${other.h[h]}`);
      }
    }
    const upTo = (values) => (parted >= 0 ? values.slice(0, parted) : values);
    for (const c of columns) {
      assert.ok(other[c.name], `${what}: ${c.name} given`);
      if (parted < 0) assert.equal(run[c.name].values.length, other[c.name].length, `${what}: ${c.name} length`);
      if (c.kind === 'double') {
        within4ulp(upTo(run[c.name].values), upTo(other[c.name]), `${what}: ${c.name}`, scale);
        doubleValues += upTo(other[c.name]).length;
        identical += upTo(run[c.name].values).filter((v, k) => v === other[c.name][k]).length;
      } else {
        assert.deepEqual(upTo(run[c.name].values), upTo(other[c.name]), `${what}: ${c.name} bit for bit`);
      }
    }
    return parted;
  };
  const compare = async (model, args, native, printedRows, what) => {
    const run = await engine(model, args);
    assert.equal(run.precision, 'double', what);
    const columns = await page.evaluate((m) => window.pbsimEngine.columns(m), model);
    const scale = largest(...columns.filter((c) => c.kind === 'double').map((c) => native[c.name]));
    const parted = sameColumns(run, native, columns, `${what} against the native engine`, scale);
    if (printedRows) {
      const printed = Object.fromEntries(columns.filter((c) => c.kind !== 'double').map((c) => [c.name, printedRows.map((r) => (r[c.name] === '' ? null : Number(r[c.name])))]));
      sameColumns(run, printed, columns.filter((c) => c.kind !== 'double'), `${what} against pbsim-study`, scale);
    }
    assert.equal(parted, -1, `${what}: parts from the native run at point ${parted}`);
    if (parted < 0) {
      runs.whole++;
      for (const f of summaryBits) if (f in native) assert.equal(run[f], native[f], `${what}: ${f}`);
    } else {
      runs.parted++;
      runs.partedAt.push(`${what} at ${parted} of ${native.t.length}`);
      assert.equal(run.stop, native.stop, `${what}: stop`);
    }
    points += parted < 0 ? run.t.values.length : parted;
    return { run, parted };
  };
  for (const [model, cases] of [['flight', shots.slice(0, 3)], ['spring', springs]]) {
    for (const shot of cases) {
      const printed = csvRows(study([model, ...cli(shot), '--schemes', doubles.join(','), '--csv', '-']));
      for (const scheme of doubles) {
        const what = `${model} ${scheme} ${JSON.stringify(shot)}`;
        const rows = printed.filter((r) => r.scheme === scheme);
        assert.ok(rows.length > 1, `${what}: pbsim-study's rows`);
        await compare(model, { ...shot, scheme }, reference(model, scheme, shot), rows, what);
      }
    }
  }
  // The ground point on the interpolant, tolerances of one's own.
  const landed = [];
  for (const shot of shots.slice(0, 3)) {
    for (const options of [{ landing: 'interpolated' }, { landing: 'interpolated', rtol: 1e-9, atol: 1e-12 }, { rtol: 1e-3, atol: 1e-3 }]) {
      const args = { ...shot, ...options };
      const printed = csvRows(study(['flight', ...cli(args), '--schemes', doubles.join(','), '--csv', '-']));
      for (const scheme of doubles) {
        const what = `flight ${scheme} ${JSON.stringify(args)}`;
        const rows = printed.filter((r) => r.scheme === scheme);
        const { run, parted } = await compare('flight', { ...args, scheme }, reference('flight', scheme, args), rows, what);
        // dopri5's flights, landed on its dense output: whole, every number the native engine's.
        if (scheme === 'dopri5') assert.equal(parted, -1, `${what}: whole`);
        if (scheme === 'dopri5' && options.rtol === 1e-9) landed.push(run.landing_miss.toExponential(2));
      }
    }
  }
  // And a stiff spring.
  for (const options of [{ rtol: 1e-9, atol: 1e-12 }, { rtol: 1e-3, atol: 1e-6, ks: 1e4, mass: 1, dt: 0.001 }]) {
    const printed = csvRows(study(['spring', ...cli(options), '--schemes', doubles.join(','), '--csv', '-']));
    for (const scheme of doubles) {
      const rows = printed.filter((r) => r.scheme === scheme);
      await compare('spring', { ...options, scheme }, reference('spring', scheme, options), rows, `spring ${scheme} ${JSON.stringify(options)}`);
    }
  }
  console.log(`double-only schemes: ${points} points, every model column bit for bit with pbsim-study and the native engine; ${identical} of ${doubleValues} closed-form values identical, the rest at most ${worst.scaled.toFixed(2)} ulp of their scale (${worst.where}); ${runs.whole} runs whole, ${runs.parted} parted at a step whose pow rounds differently (${runs.partedAt.join('; ')}); dopri5's interpolated landing misses at rtol 1e-9: ${landed.join(', ')} m`);
});

test('the engine refuses bad arguments with the parameter named', async () => {
  const refusal = (model, args) => page.evaluate((m, a) => window.pbsimEngine[m](a).then(() => null, (e) => [e.parameter, e.message]), model, args);
  assert.deepEqual(await refusal('flight', { drag: 'cubic' }), ['drag', "drag must be linear or quadratic, not 'cubic'"]);
  assert.equal((await refusal('spring', { drag: 'linear' }))[0], 'drag');
  assert.deepEqual(await refusal('flight', { dt: 0 }), ['dt', 'dt must be greater than 0']);
  assert.deepEqual(await refusal('spring', { mass: 'five' }), ['mass', 'mass must be a number']);
  const names = (await page.evaluate(() => window.pbsimEngine.schemes())).map((s) => s.name);
  assert.deepEqual(await refusal('flight', { scheme: 'leapfrog' }), ['scheme', `scheme must be one of ${names.join(', ')}, not 'leapfrog'`]);
  assert.equal((await refusal('flight', { speed: 3 }))[0], 'speed');
});

// Each parameter of the engine's table, given a value its rule forbids, is
// refused by window.pbsimEngine's flight and spring, naming it; its
// start-up value runs. Values are made in the page: NaN and Infinity do not
// pass through JSON.
test("window.pbsimEngine refuses every parameter by its rule", async () => {
  const bad = { 'a finite number': ['"ten"', 'Infinity', 'NaN', '1e39'], 'a number greater than 0': ['"ten"', 'Infinity', '1e39', '0', '-1', '1e-50'] };
  let cases = 0;
  for (const model of ['flight', 'spring']) {
    const parameters = await page.evaluate((m) => window.pbsimEngine.parameters(m), model);
    for (const p of parameters) {
      assert.ok(bad[p.rule], `${model} ${p.name}: the rule ${p.rule}`);
      for (const value of [String(p.startUp), ...bad[p.rule]]) {
        const refused = await page.evaluate(
          (m, name, text) => window.pbsimEngine[m]({ [name]: new Function(`return ${text}`)() }).then(() => null, (e) => [e.parameter, e.message]),
          model,
          p.name,
          value,
        );
        const what = `${model} ${p.name} = ${value}`;
        if (value === String(p.startUp)) {
          assert.equal(refused, null, `${what}: the start-up value refused`);
          continue;
        }
        assert.ok(refused, `${what}: taken`);
        assert.equal(refused[0], p.name, what);
        assert.ok(refused[1].startsWith(`${p.name} must `), `${what}: ${refused[1]}`);
        cases++;
      }
    }
  }
  console.log(`window.pbsimEngine: ${cases} refusals`);
});

test("the page's CSV download is pbsim-study's CSV", async () => {
  const folder = mkdtempSync(join(tmpdir(), 'pbsim-web-'));
  const cdp = await page.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
  const before = await type(page, '#b-dt', '0.02');
  await waitForPicture(page, before);
  await page.click('#download-csv');
  const file = join(folder, 'pbsim-flight.csv');
  for (let i = 0; i < 200 && !readdirSync(folder).includes('pbsim-flight.csv'); i++) await new Promise((r) => setTimeout(r, 50));
  // The same text but for the last digits of doubles the closed forms and
  // hypot compute (the page's C library is not glibc): those within 4 ulp.
  // Its first line records the settings, as a comment; the rest is pbsim-study's.
  const [settings, ...rest] = readFileSync(file, 'utf8').split('\n');
  assert.match(settings, /^# pbsim [0-9.]+ flight, settings: .*\bdt=0\.02\b.*, schemes=euler midpoint rk4$/);
  const downloaded = rest.join('\n');
  const printed = study(['flight', '--dt', '0.02', '--csv', '-']);
  assert.equal(downloaded.split('\n')[0], printed.split('\n')[0]);
  const [a, b] = [csvRows(downloaded), csvRows(printed)];
  assert.equal(a.length, b.length);
  const doubles = ['exact_x', 'exact_y', 'exact_z', 'path_error'];
  for (let i = 0; i < a.length; i++)
    for (const [column, value] of Object.entries(b[i]))
      if (doubles.includes(column) && value !== '') assert.ok(ulps(Number(a[i][column]), Number(value)) <= 4, `row ${i} ${column}: ${a[i][column]} ${value}`);
      else assert.equal(a[i][column], value, `row ${i} ${column}`);

  // Under quadratic drag: reference_x where linear drag has exact_x, the
  // model's floats as pbsim-study writes them, the reference within its error.
  const picture = await page.evaluate(() => window.pbsimPage.pictures);
  await page.select('#b-drag', 'quadratic');
  await waitForPicture(page, picture);
  rmSync(file);
  await page.click('#download-csv');
  for (let i = 0; i < 200 && !readdirSync(folder).includes('pbsim-flight.csv'); i++) await new Promise((r) => setTimeout(r, 50));
  const quadratic = readFileSync(file, 'utf8').split('\n').filter((l) => !l.startsWith('#')).join('\n');
  const printedQuadratic = study(['flight', '--dt', '0.02', '--drag', 'quadratic', '--csv', '-']);
  assert.equal(quadratic.split('\n')[0], printedQuadratic.split('\n')[0]);
  assert.match(quadratic.split('\n')[0], /reference_x,reference_y,reference_z/);
  const [c, d] = [csvRows(quadratic), csvRows(printedQuadratic)];
  assert.equal(c.length, d.length);
  const judged = ['reference_x', 'reference_y', 'reference_z', 'path_error'];
  for (let i = 0; i < c.length; i++)
    for (const [column, value] of Object.entries(d[i]))
      if (judged.includes(column)) assert.ok(Math.abs(Number(c[i][column]) - Number(value)) <= 1e-12, `quadratic row ${i} ${column}: ${c[i][column]} ${value}`);
      else assert.equal(c[i][column], value, `quadratic row ${i} ${column}`);
  assert.deepEqual(errors, []);
});
