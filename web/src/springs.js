// The spring-mass simulation: one run of the chosen scheme, its numbers in
// the engine's summary table, the engine's notes, the height, energy and
// error plots, and the playback of the motion in the 3-D view. The energy
// plot shows the energies of the schemes ticked to compare beside it.
import { $, shared, progressShower, pictureDrawn, engineFailed } from './page.js';
import { LatestOnly } from './engine-client.js';
import { readValues, ranValues, fieldsOf, showAdaptiveFields } from './fields.js';
import { tableColumns, fillHead, tableRow, showLines, precisionLines } from './tables.js';
import { Plot, align, thin } from './plots.js';
import { TextAlternative, readable, spread } from './alternative.js';
import { startSpringScheme, fieldValue } from './address.js';
import { energyBalance, sampleBefore } from './curves.js';

const springs = new LatestOnly(shared.client);
let plots = null;
let columns = null;
let view = null;
let viewWords = null; // the 3-D view's text alternative
export let lastSpring = null; // {result, values, scheme, run, compared}

let after = () => {};
export function setUpSprings(onShown) {
  after = onShown;
  columns = tableColumns(shared.tables.models.spring.summary, true);
  fillHead($('s-table'), columns);
  viewWords = new TextAlternative($('s-view'), $('s-view'), 'the 3-D view');
  plots = {
    height: new Plot($('s-height-plot'), { title: 'Height', xLabel: 't [s]', yLabel: 'y [m]' }),
    energy: new Plot($('s-energy-plot'), { title: 'Energy', xLabel: 't [s]', yLabel: 'E [J]' }),
    error: new Plot($('s-error-plot'), { title: 'Height error', xLabel: 't [s]', yLabel: '|y - exact| [m]', logY: true }),
  };
}

export function springPlots() {
  return Object.values(plots);
}

// The spring's fields: its parameters and the run's options.
export function parametersOfSpring() {
  return fieldsOf('spring');
}

export function checkedSpringScheme() {
  const box = document.querySelector('#s-schemes input:checked');
  return box ? box.value : startSpringScheme;
}

// The schemes ticked to compare energies with the chosen one (not itself),
// in the scheme table's order.
export function comparedSpringSchemes(scheme = checkedSpringScheme()) {
  return [...document.querySelectorAll('#s-compare input:checked')].map((box) => box.value).filter((name) => name !== scheme);
}

export function recomputeSpring() {
  const scheme = checkedSpringScheme();
  const compared = comparedSpringSchemes(scheme);
  showAdaptiveFields('s', parametersOfSpring(), [scheme, ...compared]);
  const values = readValues('s', parametersOfSpring());
  springs.submit(
    () => shared.client.request('study', { model: 'spring', values, schemes: [scheme, ...compared] }, progressShower('Computing')),
    (result) => showSpring(result, values, scheme, compared),
    engineFailed,
  );
}

function showSpring(result, values, scheme, compared) {
  const ran = ranValues('s', parametersOfSpring(), result);
  showAdaptiveFields('s', parametersOfSpring(), [scheme, ...compared]);
  if (!ran) return after(null);
  const run = result.runs.find((r) => r.scheme === scheme);
  const others = result.runs.filter((r) => r !== run);
  const s = shared.schemeByName[run.scheme];
  lastSpring = { result, values, scheme, run, compared };
  $('s-table').tBodies[0].replaceChildren(tableRow(columns, run.readable, shared.schemeByName));
  showLines($('s-warnings'), [...precisionLines(result.runs, shared.schemeByName), ...result.notes.map((n) => n.text)]);

  const ex = result.curve;
  const runLine = { label: s.title, colour: s.colour, marker: s.marker };
  const exactLine = { label: 'exact', css: '#333', dash: [6, 4], marker: null };
  let a = align([thin(run.t, run.y), thin(ex.t, ex.y)]);
  plots.height.show(a.xs, [
    { ...runLine, values: a.ys[0] },
    { ...exactLine, values: a.ys[1] },
  ]);
  // E and E + W_damping: the damping's work added back, what is left of
  // the change is the integrator's own drift.
  // Each scheme compared: its E beside the chosen one's.
  const balance = energyBalance(run);
  a = align([thin(run.t, run.energy), thin(run.t, balance), thin(ex.t, ex.energy), ...others.map((r) => thin(r.t, r.energy))]);
  plots.energy.show(a.xs, [
    { ...runLine, label: `E, ${s.title}`, values: a.ys[0] },
    { label: `E + W_damping, ${s.title}`, colour: s.colour, dash: [2, 2], width: 2, marker: null, values: a.ys[1] },
    { ...exactLine, label: 'E, exact', values: a.ys[2] },
    ...others.map((r, i) => {
      const o = shared.schemeByName[r.scheme];
      return { label: `E, ${o.title}`, colour: o.colour, marker: o.marker, values: a.ys[3 + i] };
    }),
  ]);
  a = align([thin(run.t, run.height_error, 1500, true)]);
  plots.error.show(a.xs, [{ ...runLine, values: a.ys[0] }]);

  const ys = [...run.y].filter(Number.isFinite);
  const sentence = ys.length
    ? `The body (a block) hangs from the anchor on the spring, the exact body a dashed outline; played from 0 to ${readable(run.t[run.t.length - 1])} s, ${s.title}'s body moves between ${readable(Math.min(...ys))} and ${readable(Math.max(...ys))} m from the anchor.`
    : `${s.title}'s body has no height it can show.`;
  viewWords.show(
    sentence,
    ['t [s]', `${s.title}: y [m]`, 'exact: y [m]'],
    spread(run.t.length, 25).map((k) => [readable(run.t[k]), readable(run.y[k]), readable(run.exact_y[k])]),
  );

  const slider = $('s-time');
  const end = run.t[run.t.length - 1] || 0;
  slider.max = String(end);
  // An adaptive run's samples are its own steps' ends, unevenly spaced.
  slider.step = run.t.length > 1 && !s.adaptive ? String(run.t[1]) : 'any';
  pause();
  setPlayTime(0);
  pictureDrawn();
  after(result);
}

// ---------- playback ----------

let playing = false;
let playTime = 0;

export function setSpringView(v) {
  view = v;
  setPlayTime(playTime);
}

// The body at time t, between the samples around it (as pbsim's view
// interpolates), and the exact height there.
export function setPlayTime(t) {
  if (!lastSpring) return;
  const { run } = lastSpring;
  const n = run.t.length;
  const end = run.t[n - 1] || 0;
  playTime = Math.min(Math.max(t, 0), end);
  const b = sampleBefore(run.t, playTime);
  const f = n > 1 && run.t[b + 1] > run.t[b] ? Math.min(Math.max((playTime - run.t[b]) / (run.t[b + 1] - run.t[b]), 0), 1) : 0;
  const lerp = (arr) => (n > 1 ? arr[b] + (arr[b + 1] - arr[b]) * f : arr[0]);
  const y = lerp(run.y);
  const exact = lerp(run.exact_y);
  $('s-time').value = String(playTime);
  $('s-time-out').textContent = `${playTime.toFixed(3)} s`;
  // What a screen reader says of the slider: the time rounded, with its unit.
  $('s-time').setAttribute('aria-valuetext', `${playTime.toFixed(2)} s`);
  if (view) view.show(y, exact);
}

export function speed() {
  const v = fieldValue($('s-speed').value);
  const ok = typeof v === 'number' && Number.isFinite(v) && v > 0;
  $('s-speed-msg').textContent = ok ? '' : 'Speed must be a number greater than 0';
  return ok ? v : null;
}

// Whoever asks the system for less motion gets the playback as stills, one
// a second (each a second of the run at the speed asked for), instead of a
// moving picture.
const kStillEvery = 1000; // ms
export function reducedMotion() {
  return window.matchMedia('(prefers-reduced-motion: reduce)').matches;
}

let stills = null; // the timer of the stills, while they play

export function play() {
  if (!lastSpring || playing) return;
  const v = speed();
  if (v === null) return;
  const { run } = lastSpring;
  const end = run.t[run.t.length - 1] || 0;
  if (playTime >= end) setPlayTime(0);
  playing = true;
  if (reducedMotion()) {
    stills = setInterval(() => {
      const s = speed();
      if (!playing || s === null) return pause();
      setPlayTime(playTime + (kStillEvery / 1000) * s);
      if (playTime >= end) pause();
    }, kStillEvery);
    return;
  }
  let last = performance.now();
  const frame = (now) => {
    if (!playing) return;
    const s = speed();
    if (s === null) return pause();
    setPlayTime(playTime + ((now - last) / 1000) * s);
    last = now;
    if (playTime >= end) return pause();
    requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
}

export function pause() {
  playing = false;
  if (stills !== null) clearInterval(stills);
  stills = null;
}
