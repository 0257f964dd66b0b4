// The page's engine for the lessons after fixed steps, without a browser:
// the run's own options (rtol, atol, a flight's landing rule) refused by
// every entry point in the engine's words; schemes without single precision
// in double; a convergence study's quantity and sweep and the engine's words
// where schemes do not fit the sweep; the spring's E + W_damping as the
// energy plot draws it; and what the study's plots and
// the spring's playback read of the engine's rows.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { loadEngine } from './engine.mjs';
import { energyBalance, sampleBefore } from '../../src/curves.js';
import { studySeries, workSeries, toleranceSeries, schemesForSweep } from '../../src/studyseries.js';

const engine = await loadEngine();
const schemes = engine.schemes();
const byName = Object.fromEntries(schemes.map((s) => [s.name, s]));
const adaptive = schemes.filter((s) => s.adaptive).map((s) => s.name);
const doubleOnly = schemes.filter((s) => !s.single).map((s) => s.name);

function refusalOf(answer) {
  if (typeof answer === 'string') return null;
  if (answer && answer.problem) return { parameter: answer.problem.parameter, message: answer.problem.message, text: answer.problem.text };
  if (answer && answer.problems) {
    const names = Object.keys(answer.problems);
    return names.length ? { parameter: names.join(','), message: names.map((n) => answer.problems[n]).join('; ') } : null;
  }
  return null;
}

// Every way into the engine, each with an adaptive scheme so that the
// tolerances matter to it.
const entryPoints = {
  run: (model, args) => refusalOf(engine.run(model, { ...args, scheme: 'dopri5' })),
  problems: (model, args) => refusalOf({ problems: engine.problems(model, args) }),
  study: (model, args) => refusalOf(engine.study(model, args, ['rk4', 'dopri5'], null)),
  convergence: (model, args) => refusalOf(engine.convergence(model, args, ['dopri5'], {}, null)),
  csv: (model, args) => refusalOf(engine.csv(model, args, ['dopri5'])),
};

test("rtol, atol and the landing rule: taken at the engine's start-up values, refused in the engine's words everywhere", () => {
  const tolerance = 'must be a finite number above 0';
  const cases = [
    ...['rtol', 'atol'].flatMap((name) => [
      [{ [name]: 0 }, name, tolerance],
      [{ [name]: -1e-6 }, name, tolerance],
      [{ [name]: NaN }, name, tolerance],
      [{ [name]: Infinity }, name, tolerance],
      [{ [name]: 'tight' }, name, 'must be a number'],
    ]),
    [{ landing: 'cubic' }, 'landing', "must be linear or interpolated, not 'cubic'", 'flight'],
    [{ landing: 'Linear' }, 'landing', "must be linear or interpolated, not 'Linear'", 'flight'],
    [{ landing: 1 }, 'landing', 'must be a string', 'flight'],
    [{ landing: 'linear' }, 'landing', /^is not an argument here/, 'spring'],
  ];
  let count = 0;
  for (const model of ['flight', 'spring']) {
    const options = engine.runOptions(model);
    assert.deepEqual(options.map((o) => o.name), model === 'flight' ? ['rtol', 'atol', 'landing'] : ['rtol', 'atol', 'until']);
    const startUp = Object.fromEntries(options.map((o) => [o.name, o.startUp]));
    for (const [entry, ask] of Object.entries(entryPoints)) assert.equal(ask(model, startUp), null, `${model} ${entry}: the start-up options ${JSON.stringify(startUp)}`);
    for (const [args, parameter, says, only] of cases) {
      if (only && only !== model) continue;
      for (const [entry, ask] of Object.entries(entryPoints)) {
        const what = `${model} ${JSON.stringify(args)} (${String(Object.values(args)[0])}): ${entry}`;
        const refusal = ask(model, args);
        assert.ok(refusal, `${what} taken`);
        assert.equal(refusal.parameter, parameter, what);
        if (typeof says === 'string') assert.equal(refusal.message, says, what);
        else assert.match(refusal.message, says, what);
        count++;
      }
    }
  }
  // rtol and atol refused together, each beside its own field.
  assert.deepEqual(engine.problems('spring', { rtol: 0, atol: 0 }), { rtol: tolerance, atol: tolerance });
  console.log(`run options: ${count} refusals`);
});

test('a scheme without single precision runs in double by default and refuses single in the engine\'s words', () => {
  assert.ok(doubleOnly.length >= 4, `double-only schemes: ${doubleOnly}`);
  for (const model of ['flight', 'spring']) {
    for (const s of schemes) {
      const run = engine.run(model, { scheme: s.name });
      assert.equal(run.precision, s.defaultPrecision, `${model} ${s.name}`);
      assert.equal(run.y.constructor.name, s.single ? 'Float32Array' : 'Float64Array', `${model} ${s.name}: y`);
      const single = refusalOf(engine.run(model, { scheme: s.name, precision: 'single' }));
      if (s.single) assert.equal(single, null, `${model} ${s.name} in single`);
      else assert.deepEqual(single, { parameter: '', message: s.precisionNote, text: s.precisionNote }, `${model} ${s.name} in single`);
    }
  }
});

test("a convergence study's quantity and sweep: the engine's names, and its words where the schemes do not fit", () => {
  const settings = engine.convergenceSettings();
  assert.deepEqual([settings.quantities, settings.sweeps], [['at_time', 'landing'], ['auto', 'dt', 'rtol']]);
  const refused = [
    ['flight', ['rk4', 'dopri5'], { sweep: 'dt' }, '', 'dopri5 is adaptive: it chooses its own steps, so its study sweeps rtol, not dt'],
    ['spring', ['bogacki-shampine'], { sweep: 'dt' }, '', 'bogacki-shampine is adaptive: it chooses its own steps, so its study sweeps rtol, not dt'],
    ['flight', ['euler', 'dopri5'], { sweep: 'rtol' }, '', 'euler steps with a fixed dt: it has no rtol to sweep'],
    ['spring', ['backward-euler'], { sweep: 'rtol' }, '', 'backward-euler steps with a fixed dt: it has no rtol to sweep'],
    ['flight', ['rk4'], { sweep: 'h' }, 'sweep', "must be auto, dt or rtol, not 'h'"],
    ['flight', ['rk4'], { quantity: 'apex' }, 'quantity', "must be at_time or landing, not 'apex'"],
    ['spring', ['rk4'], { quantity: 'landing' }, 'quantity', "landing is the flight's: a spring's study measures at a time T"],
    ['flight', ['rk4'], { levels: 2.5 }, 'levels', 'must be a whole number'],
  ];
  for (const [model, names, s, parameter, message] of refused) {
    const what = `${model} ${names} ${JSON.stringify(s)}`;
    assert.deepEqual(refusalOf(engine.convergence(model, {}, names, s, null)), { parameter, message, text: parameter ? `${parameter} ${message}` : message }, what);
  }
  // The page's study of every scheme takes those that fit the sweep.
  const names = schemes.map((s) => s.name);
  for (const sweep of settings.sweeps) {
    const fit = schemesForSweep(names, sweep, byName);
    const study = engine.convergence('spring', {}, fit, { sweep, levels: 2 }, null);
    assert.ok(!study.problem, `${sweep}: ${JSON.stringify(study.problem)}`);
    assert.deepEqual([...new Set(study.rows.map((r) => r.scheme))].sort(), [...fit].sort(), sweep);
  }
});

test('an rtol finer than double precision holds runs, with the engine\'s warning in the run and the notes', () => {
  const run = engine.run('spring', { scheme: 'dopri5', rtol: 1e-15, until: 0.5 });
  assert.match(run.warning, /^rtol 1e-15 is below what double precision can hold/);
  const study = engine.study('spring', { rtol: 1e-15, until: 0.5 }, ['dopri5'], null);
  assert.ok(study.notes.some((n) => n.text === `dopri5: ${run.warning}`), JSON.stringify(study.notes));
});

test("the spring's E + W_damping: the damping's work added back leaves the integrator's drift, as the summary reports it", () => {
  for (const [scheme, args] of [['dopri5', { rtol: 1e-10, atol: 1e-12 }], ['rk4', {}], ['euler', {}], ['implicit-midpoint', {}]]) {
    const run = engine.run('spring', { scheme, ...args });
    const balance = energyBalance(run);
    const e0 = run.energy[0];
    assert.equal(balance.length, run.t.length);
    assert.equal(run.damping_work[0], 0, `${scheme}: no work at the start`);
    let drift = 0;
    let change = 0;
    for (let k = 0; k < balance.length; k++) {
      drift = Math.max(drift, Math.abs(balance[k] - e0) / e0);
      change = Math.max(change, Math.abs(run.energy[k] - e0) / e0);
    }
    assert.ok(Math.abs(drift - run.energy_balance_drift) <= 1e-12 * Math.max(drift, 1e-300), `${scheme}: the plot's drift ${drift}, the summary's ${run.energy_balance_drift}`);
    // The damped body loses nearly all its energy; the books balance.
    assert.ok(change > 0.9, `${scheme}: E changes by ${change} of E0`);
    if (scheme === 'dopri5') assert.ok(drift < 1e-6, `${scheme}: E + W drifts by ${drift} of E0`);
  }
  // Without damping there is no work to add back.
  const free = engine.run('spring', { scheme: 'rk4', kd: 0, until: 5 });
  assert.ok(free.damping_work.every((w) => w === 0));
});

test("the playback's sample before a time, over an adaptive run's uneven steps", () => {
  const run = engine.run('spring', { scheme: 'bogacki-shampine', until: 3 });
  const t = run.t;
  const steps = new Set(Array.from(run.h.slice(1), (h) => h.toPrecision(6)));
  assert.ok(steps.size > 5, `uneven steps: ${steps.size} step sizes`);
  const last = (time) => {
    let k = 0;
    while (k + 2 < t.length && t[k + 1] <= time) k++;
    return k;
  };
  for (const time of [-1, 0, ...Array.from(t.slice(0, 40)), ...Array.from({ length: 200 }, (_, i) => (i / 199) * 3.2)]) assert.equal(sampleBefore(t, time), last(time), `time ${time}`);
  assert.equal(sampleBefore([0], 5), 0);
});

test("the study's plots: each point is a row of the engine's, fixed-step and adaptive where each belongs", () => {
  const study = engine.convergence('spring', {}, ['euler', 'rk4', 'backward-euler', 'dopri5'], { levels: 5 }, null);
  const points = (series, xs) => series.values.flatMap((y, i) => (y === null || y === undefined ? [] : [[xs[i], y]]));
  const work = workSeries(study, byName);
  const step = studySeries(study, byName);
  const tol = toleranceSeries(study, byName);
  const keys = (rows) => [...new Set(rows.map((r) => `${byName[r.scheme].title} (${r.precision})`))];
  assert.deepEqual(work.series.map((s) => s.label), keys(study.rows));
  assert.deepEqual(step.series.filter((s) => s.marker).map((s) => s.label), keys(study.rows.filter((r) => !byName[r.scheme].adaptive)));
  assert.deepEqual(tol.series.filter((s) => s.marker).map((s) => s.label), keys(study.rows.filter((r) => byName[r.scheme].adaptive)));
  for (const s of work.series) {
    const rows = study.rows.filter((r) => `${byName[r.scheme].title} (${r.precision})` === s.label);
    assert.deepEqual(points(s, work.xs), rows.map((r) => [r.error, r.evaluations]).sort((a, b) => a[0] - b[0]), s.label);
  }
  for (const s of tol.series.filter((x) => x.marker)) {
    const rows = study.rows.filter((r) => `${byName[r.scheme].title} (${r.precision})` === s.label);
    assert.deepEqual(points(s, tol.xs), rows.map((r) => [r.rtol, r.error]).sort((a, b) => a[0] - b[0]), s.label);
  }
  // error = rtol, over the rtols studied.
  const line = tol.series.find((s) => !s.marker);
  assert.deepEqual(points(line, tol.xs).map(([x, y]) => x === y), [true, true]);
});
