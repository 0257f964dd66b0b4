// The page: pbsim's two panels, the 3-D views, the numbers as pbsim-study
// prints them, the plots, and the settings kept in the address. Every
// number comes from the engine (in a worker); this script only reads the
// fields, shows what the engine answers, and draws.
import { EngineClient, LatestOnly, installScriptEngine } from './engine-client.js';
import { BallisticsView, SpringView } from './scene.js';
import { Plot, align, thin, cssColour, markerGlyph } from './plots.js';
import { flightFields, springFields, startFlightSchemes, startSpringScheme, fieldValue as valueOf } from './address.js';

installScriptEngine();

const $ = (id) => document.getElementById(id);
const page = {
  pictures: 0, // pictures drawn (both simulations)
  firstPictureMs: null, // from navigation start to the first picture
  lastInputToPictureMs: null, // from the last keystroke to its picture
  studies: 0, // convergence studies shown
};
window.pbsimPage = page;

const client = new EngineClient();
const flights = new LatestOnly(client);
const springs = new LatestOnly(client);
let studyClient = null;
let studies = null;
const studyStale = { flight: false, spring: false };
// A study follows a picture once the page has been quiet this long (ms):
// while someone types, studies neither start nor keep running.
const kStudyQuiet = 600;
let studyTimer = null;
let studying = null; // the model whose study runs

let info = null; // schemes and start-up values, from the engine
let schemeByName = {};
let bView = null;
let sView = null;
let webgl = true; // false once a view could not be made
let active = 'ballistics';
let inputStarted = null; // when the keystroke being answered happened
let lastFlight = null;
let lastSpring = null;
const lastStudy = { flight: null, spring: null };

// ---------- small helpers ----------

function status(text) {
  $('status').textContent = text;
}

function progressShower(prefix) {
  const started = performance.now();
  return (text) => {
    if (performance.now() - started > 150) status(`${prefix}: ${text} …`);
  };
}

// What a field holds, for the engine: a number, or the text itself when it
// is no number (the engine then says so).
function fieldValue(input) {
  return valueOf(input.value);
}

function readValues(prefix, names) {
  const values = {};
  for (const name of names) values[name] = fieldValue($(`${prefix}-${name}`));
  return values;
}

function showProblems(prefix, names, problems) {
  for (const name of names) {
    const input = $(`${prefix}-${name}`);
    const message = problems ? problems[name] : undefined;
    const field = input.closest('.field');
    field.classList.toggle('bad', !!message);
    input.setAttribute('aria-invalid', message ? 'true' : 'false');
    const label = field.querySelector('label').firstChild.textContent.trim();
    $(`${prefix}-${name}-msg`).textContent = message ? `${label} ${message}` : '';
  }
}

function glyphCell(scheme) {
  const td = document.createElement('td');
  td.className = 'scheme';
  const glyph = document.createElement('span');
  glyph.className = 'glyph';
  glyph.textContent = markerGlyph[scheme.marker] || '';
  glyph.style.color = cssColour(scheme.colour);
  glyph.setAttribute('aria-hidden', 'true');
  td.append(glyph, scheme.title);
  td.dataset.scheme = scheme.name;
  return td;
}

function row(cells, scheme) {
  const tr = document.createElement('tr');
  if (scheme) tr.append(glyphCell(scheme));
  for (const c of cells) {
    const td = document.createElement('td');
    td.textContent = c;
    tr.append(td);
  }
  return tr;
}

function warn(container, lines) {
  container.replaceChildren(
    ...lines.map((text) => {
      const p = document.createElement('p');
      p.textContent = text;
      return p;
    }),
  );
}

function download(name, blob) {
  const url = URL.createObjectURL(blob);
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

function pictureDrawn() {
  page.pictures++;
  if (page.firstPictureMs === null) page.firstPictureMs = performance.now();
  if (inputStarted !== null) {
    page.lastInputToPictureMs = performance.now() - inputStarted;
    inputStarted = null;
  }
}

// ---------- the address ----------

function saveAddress() {
  const p = new URLSearchParams();
  p.set('sim', active);
  for (const name of flightFields) p.set(`b.${name}`, $(`b-${name}`).value);
  p.set('b.schemes', checkedFlightSchemes().join(','));
  for (const name of springFields) p.set(`s.${name}`, $(`s-${name}`).value);
  p.set('s.scheme', checkedSpringScheme());
  p.set('s.speed', $('s-speed').value);
  history.replaceState(null, '', `#${p.toString()}`);
}

function loadAddress() {
  const p = new URLSearchParams(location.hash.slice(1));
  for (const name of flightFields) if (p.has(`b.${name}`)) $(`b-${name}`).value = p.get(`b.${name}`);
  for (const name of springFields) if (p.has(`s.${name}`)) $(`s-${name}`).value = p.get(`s.${name}`);
  if (p.has('b.schemes')) {
    const chosen = p.get('b.schemes').split(',');
    for (const box of document.querySelectorAll('#b-schemes input')) box.checked = chosen.includes(box.value);
  }
  if (p.has('s.scheme')) {
    const box = document.querySelector(`#s-schemes input[value="${CSS.escape(p.get('s.scheme'))}"]`);
    if (box) box.checked = true;
  }
  if (p.has('s.speed')) $('s-speed').value = p.get('s.speed');
  return p.get('sim') === 'spring' ? 'spring' : 'ballistics';
}

// ---------- start-up values ----------

function fillStartUp() {
  for (const name of flightFields) $(`b-${name}`).value = String(info.flightStartUp[name]);
  for (const name of springFields) $(`s-${name}`).value = String(info.springStartUp[name]);
  for (const box of document.querySelectorAll('#b-schemes input')) box.checked = startFlightSchemes.includes(box.value);
  for (const box of document.querySelectorAll('#s-schemes input')) box.checked = box.value === startSpringScheme;
  $('s-speed').value = '1';
  $('b-levels').value = $('s-levels').value = '8';
  $('b-double').checked = $('s-double').checked = false;
}

function schemeToggle(scheme, type, group) {
  const label = document.createElement('label');
  const input = document.createElement('input');
  input.type = type;
  input.name = group;
  input.value = scheme.name;
  input.id = `${group}-${scheme.name}`;
  const glyph = document.createElement('span');
  glyph.textContent = markerGlyph[scheme.marker] || '';
  glyph.style.color = cssColour(scheme.colour);
  glyph.setAttribute('aria-hidden', 'true');
  label.append(input, glyph, scheme.title);
  return label;
}

function checkedFlightSchemes() {
  return [...document.querySelectorAll('#b-schemes input')].filter((b) => b.checked).map((b) => b.value);
}

function checkedSpringScheme() {
  const box = document.querySelector('#s-schemes input:checked');
  return box ? box.value : startSpringScheme;
}

// ---------- ballistics ----------

const bErrorPlot = new Plot($('b-error-plot'), { title: 'Error against time', xLabel: 't [s]', yLabel: 'error [m]', logY: true });
const bConvPlot = new Plot($('b-conv-plot'), { title: 'Convergence', xLabel: 'time step h [s]', yLabel: 'error at T [m]', logX: true, logY: true });
const sHeightPlot = new Plot($('s-height-plot'), { title: 'Height', xLabel: 't [s]', yLabel: 'y [m]' });
const sEnergyPlot = new Plot($('s-energy-plot'), { title: 'Energy', xLabel: 't [s]', yLabel: 'E [J]' });
const sErrorPlot = new Plot($('s-error-plot'), { title: 'Height error', xLabel: 't [s]', yLabel: '|y - exact| [m]', logY: true });
const sConvPlot = new Plot($('s-conv-plot'), { title: 'Convergence', xLabel: 'time step h [s]', yLabel: 'error at T [m]', logX: true, logY: true });

function recomputeFlights() {
  const values = readValues('b', flightFields);
  const schemes = checkedFlightSchemes();
  flights.submit(
    () => client.request('flightSet', { values, schemes }, progressShower('Computing')),
    (result) => showFlights(result, values, schemes),
    (error) => status(`The engine failed: ${error.message}`),
  );
}

function showFlights(result, values, schemes) {
  showProblems('b', flightFields, result.problems);
  if (result.problems) {
    status('A value is not usable: see the message beside it. The picture shows the last usable values.');
    inputStarted = null;
    saveAddress();
    return;
  }
  status('');
  lastFlight = { result, values, schemes };
  const runs = result.runs.map((r) => ({ ...r, info: schemeByName[r.scheme] }));
  drawFlights();
  const body = $('b-table').tBodies[0];
  body.replaceChildren(
    ...runs.map((r) => {
      const s = r.shown;
      return row([s.steps, s.evaluations, s.landing_x, s.landing_z, s.flight_time, s.landing_miss, s.max_path_error, s.wall_ms], r.info);
    }),
  );
  if (result.exactShown) {
    const e = result.exactShown;
    const tr = row(['exact', '', '', e.landing_x, e.landing_z, e.flight_time, '', '', '']);
    tr.firstChild.dataset.scheme = 'exact';
    body.append(tr);
  }
  const lines = [];
  for (const r of runs) {
    if (r.stop === 'step_limit') lines.push(`${r.info.title}: still in the air after ${r.steps} steps, where pbsim stops a flight.`);
    else if (r.stop === 'stuck') lines.push(`${r.info.title}: stopped after ${r.steps} steps: the projectile no longer moves.`);
    if (r.few_steps) lines.push(`${r.info.title}: the flight ends within ${info.fewSteps} steps: the time step is as long as the motion, so these numbers say little about the scheme. Try a shorter Time Step.`);
  }
  if (result.exact.landing_time === null) lines.push('Exact: the projectile never comes down.');
  if (!runs.length) lines.push('No scheme is ticked: tick one to fly the shot.');
  warn($('b-warnings'), lines);

  const curves = runs.map((r) => thin(r.t, r.path_error, 1500, true));
  const { xs, ys } = align(curves.length ? curves : [{ x: [0], y: [null] }]);
  bErrorPlot.show(
    xs,
    runs.map((r, i) => ({ label: r.info.title, colour: r.info.colour, marker: r.info.marker, values: ys[i] })),
  );
  pictureDrawn();
  saveAddress();
  scheduleStudy('flight');
}

// The last flights in the 3-D view.
function drawFlights() {
  if (!bView || !lastFlight) return;
  const { result } = lastFlight;
  const runs = result.runs.map((r) => ({ x: r.x, y: r.y, z: r.z, colour: schemeByName[r.scheme].colour }));
  // Without runs the target stays where it was.
  bView.show(runs, result.exact, result.runs.length ? result.runs[0].target : bView.target.position.toArray());
}

// ---------- spring ----------

let playing = false;
let playTime = 0;

function recomputeSpring() {
  const values = readValues('s', springFields);
  const scheme = checkedSpringScheme();
  springs.submit(
    () => client.request('springSet', { values, scheme }, progressShower('Computing')),
    (result) => showSpring(result, values, scheme),
    (error) => status(`The engine failed: ${error.message}`),
  );
}

function showSpring(result, values, scheme) {
  showProblems('s', springFields, result.problems);
  if (result.problems) {
    status('A value is not usable: see the message beside it. The picture shows the last usable values.');
    inputStarted = null;
    saveAddress();
    return;
  }
  status('');
  const run = result.run;
  const s = schemeByName[run.scheme];
  lastSpring = { result, values, scheme };
  const sh = run.shown;
  $('s-table').tBodies[0].replaceChildren(row([sh.steps, sh.evaluations, sh.final_height, sh.resting_height, sh.max_height_error, sh.energy_drift, sh.wall_ms], s));
  const lines = [];
  if (run.stop === 'sample_limit') lines.push(`${s.title}: not at rest after ${run.steps} steps, where pbsim stops a run.`);
  if (run.stop === 'not_run') lines.push(`${s.title}: not run: the model refuses these values.`);
  if (run.few_steps) lines.push(`${s.title}: the run ends within ${info.fewSteps} steps: the time step is as long as the motion, so these numbers say little about the scheme. Try a shorter Time Step.`);
  if (!result.exact.closed_form) lines.push('Exact: no closed form for these values (it needs mass > 0 and ks > 0).');
  else if (Number.isFinite(result.exact.valid_until)) lines.push(`Exact: the body reaches the anchor at ${result.exact.valid_until.toPrecision(6)} s, where the force law changes; errors cover the time before it.`);
  warn($('s-warnings'), lines);

  const ex = result.exact;
  const runLine = { label: s.title, colour: s.colour, marker: s.marker };
  const exactLine = { label: 'exact', css: '#333', dash: [6, 4], marker: null };
  let a = align([thin(run.t, run.y), thin(ex.t, ex.y)]);
  sHeightPlot.show(a.xs, [{ ...runLine, values: a.ys[0] }, { ...exactLine, values: a.ys[1] }]);
  a = align([thin(run.t, run.energy), thin(ex.t, ex.energy)]);
  sEnergyPlot.show(a.xs, [{ ...runLine, values: a.ys[0] }, { ...exactLine, values: a.ys[1] }]);
  a = align([thin(run.t, run.height_error, 1500, true)]);
  sErrorPlot.show(a.xs, [{ ...runLine, values: a.ys[0] }]);

  const slider = $('s-time');
  const end = run.t[run.t.length - 1] || 0;
  slider.max = String(end);
  slider.step = String(run.t.length > 1 ? run.t[1] : 'any');
  pause();
  setPlayTime(0);
  pictureDrawn();
  saveAddress();
  scheduleStudy('spring');
}

// The body at time t, between the samples around it (as pbsim's view
// interpolates), and the exact height there.
function setPlayTime(t) {
  if (!lastSpring) return;
  const run = lastSpring.result.run;
  const n = run.t.length;
  const end = run.t[n - 1] || 0;
  playTime = Math.min(Math.max(t, 0), end);
  const h = run.t.length > 1 ? run.t[1] : 1;
  const pos = Math.min(playTime / h, n - 1);
  const b = Math.min(Math.floor(pos), Math.max(n - 2, 0));
  const f = n > 1 ? pos - b : 0;
  const lerp = (arr) => (n > 1 ? arr[b] + (arr[b + 1] - arr[b]) * f : arr[0]);
  const y = lerp(run.y);
  const exact = lerp(run.exact_y);
  $('s-time').value = String(playTime);
  $('s-time-out').textContent = `${playTime.toFixed(3)} s`;
  if (sView) sView.show(y, exact);
}

function speed() {
  const v = Number($('s-speed').value);
  const ok = Number.isFinite(v) && v > 0;
  $('s-speed-msg').textContent = ok ? '' : 'Speed must be a number greater than 0';
  return ok ? v : null;
}

function play() {
  if (!lastSpring || playing) return;
  const v = speed();
  if (v === null) return;
  const run = lastSpring.result.run;
  const end = run.t[run.t.length - 1] || 0;
  if (playTime >= end) setPlayTime(0);
  playing = true;
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

function pause() {
  playing = false;
}

// ---------- convergence ----------

// A study takes seconds and a core of its own: it follows a picture only
// once the page has been quiet for a while and is idle, and any new input
// stops it (it would study values no longer shown, and slow the flights
// that answer the input).
function scheduleStudy(model) {
  if ((model === 'flight') !== (active === 'ballistics')) {
    studyStale[model] = true;
    return;
  }
  cancelStudy();
  studyTimer = setTimeout(() => {
    studyTimer = -1;
    const idle = window.requestIdleCallback || ((f) => setTimeout(f, 0));
    idle(
      () => {
        if (studyTimer !== -1) return;
        studyTimer = null;
        runStudy(model);
      },
      { timeout: 1000 },
    );
  }, kStudyQuiet);
}

function cancelStudy() {
  if (studyTimer !== null && studyTimer !== -1) clearTimeout(studyTimer);
  studyTimer = null;
  if (studyClient && studyClient.busy()) {
    if (studying) studyStale[studying] = true;
    studying = null;
    studyClient.restart();
    for (const p of ['b', 's']) if ($(`${p}-conv-progress`).textContent.startsWith('Studying')) $(`${p}-conv-progress`).textContent = '';
  }
}

// The study of the simulation shown; the other one's waits until it is shown.
function runStudy(model) {
  if ((model === 'flight') !== (active === 'ballistics')) {
    studyStale[model] = true;
    return;
  }
  studyStale[model] = false;
  if (studyTimer !== null && studyTimer !== -1) clearTimeout(studyTimer);
  studyTimer = null;
  if (!studyClient) {
    studyClient = new EngineClient();
    studies = new LatestOnly(studyClient, 0);
  }
  const p = model === 'flight' ? 'b' : 's';
  const last = model === 'flight' ? lastFlight : lastSpring;
  if (!last) return;
  const levelsText = $(`${p}-levels`).value.trim();
  const levels = Number(levelsText);
  if (!Number.isInteger(levels)) {
    $(`${p}-levels-msg`).textContent = 'Levels must be a whole number';
    return;
  }
  $(`${p}-levels-msg`).textContent = '';
  const schemes = model === 'flight' ? last.schemes : info.schemes.map((s) => s.name);
  if (!schemes.length) return;
  const withDouble = $(`${p}-double`).checked;
  const progress = $(`${p}-conv-progress`);
  progress.textContent = 'Studying …';
  studies.submit(
    () => {
      studying = model;
      return studyClient.request('convergence', { model, values: last.values, schemes, levels, withDouble }, (text) => (progress.textContent = `Studying: ${text} …`));
    },
    (result) => {
      studying = null;
      showStudy(model, result);
    },
    (error) => {
      studying = null;
      progress.textContent = `The study failed: ${error.message}`;
    },
  );
}

function showStudy(model, result) {
  const p = model === 'flight' ? 'b' : 's';
  const progress = $(`${p}-conv-progress`);
  const table = $(`${p}-conv-table`).tBodies[0];
  const plot = model === 'flight' ? bConvPlot : sConvPlot;
  if (result.problem) {
    const where = result.problem.parameter === 'levels' ? $(`${p}-levels-msg`) : progress;
    where.textContent = result.problem.parameter === 'levels' ? `Levels ${result.problem.message}` : result.problem.text;
    if (result.problem.parameter === 'levels') progress.textContent = '';
    table.replaceChildren();
    plot.clear();
    lastStudy[model] = null;
    return;
  }
  lastStudy[model] = result;
  const f = (v, digits, style) => (Number.isFinite(v) ? (style === 'e' ? v.toExponential(digits) : v.toFixed(digits)) : '');
  progress.textContent = `Errors at T = ${result.at.toPrecision(6)} s; order = log2(e(2h)/e(h)).`;
  table.replaceChildren(
    ...result.rows.map((r) => row([r.precision, String(Number(r.h.toPrecision(6))), String(r.steps), String(r.evaluations), f(r.error, 3, 'e'), f(r.order, 2), r.floor ? 'floor' : ''], schemeByName[r.scheme])),
  );
  // Levels from the finest step (uPlot wants x ascending).
  const groups = [];
  for (const r of result.rows) {
    const key = `${r.scheme}/${r.precision}`;
    let g = groups.find((x) => x.key === key);
    if (!g) groups.push((g = { key, scheme: schemeByName[r.scheme], precision: r.precision, rows: [] }));
    g.rows.push(r);
  }
  if (!groups.length) return plot.clear();
  const xs = groups[0].rows.map((r) => r.h).reverse();
  const series = [];
  for (const g of groups) {
    const rows = [...g.rows].reverse();
    const single = g.precision === 'single';
    series.push({
      label: `${g.scheme.title} (${g.precision})`,
      colour: g.scheme.colour,
      marker: g.scheme.marker,
      dash: single ? undefined : [6, 4],
      values: rows.map((r) => (r.error > 0 ? r.error : null)),
      hollow: rows.map((r) => r.floor),
    });
    if (single) {
      // The slope h^order through the coarsest level.
      const h0 = rows[rows.length - 1].h;
      const e0 = rows[rows.length - 1].error;
      series.push({
        label: `h^${g.scheme.order}`,
        css: cssColour(g.scheme.colour, 0.45),
        dash: [2, 3],
        width: 1,
        marker: null,
        values: rows.map((r) => (e0 > 0 ? e0 * Math.pow(r.h / h0, g.scheme.order) : null)),
      });
    }
  }
  plot.show(xs, series, { every: true });
  page.studies++;
}

// ---------- set-up ----------

function selectTab(name, save = true) {
  active = name;
  for (const [tab, panel] of [['tab-ballistics', 'ballistics'], ['tab-spring', 'spring']]) {
    const on = panel === name;
    $(tab).setAttribute('aria-selected', String(on));
    $(panel).hidden = !on;
  }
  if (name === 'ballistics') pause();
  if (save) saveAddress();
  const model = name === 'ballistics' ? 'flight' : 'spring';
  if (studyStale[model]) scheduleStudy(model);
  viewOf(name)?.resize();
  for (const plot of name === 'ballistics' ? [bErrorPlot, bConvPlot] : [sHeightPlot, sEnergyPlot, sErrorPlot, sConvPlot]) plot.resize();
}

function onInput(recompute) {
  return () => {
    inputStarted = performance.now();
    cancelStudy();
    recompute();
  };
}

// A simulation's 3-D view, made when first shown: each costs a WebGL
// context and its shaders. Null without WebGL.
function viewOf(name) {
  if (!webgl) return null;
  try {
    if (name === 'ballistics' && !bView) {
      bView = new BallisticsView($('b-view'));
      drawFlights();
    } else if (name === 'spring' && !sView) {
      sView = new SpringView($('s-view'));
      setPlayTime(playTime);
    }
  } catch {
    webgl = false;
    bView = sView = null;
    $('no-webgl').hidden = false;
    for (const box of document.querySelectorAll('.view-box')) box.hidden = true;
    $('download-png').disabled = true;
  }
  return name === 'ballistics' ? bView : sView;
}

async function start() {
  status('Starting the engine …');
  // The page's first script asked for the first flights already: the values
  // in the address, the engine's start-up values for the others (the fields
  // get the same).
  const early = client.firstFlights();
  const ready = client.request('init');
  // The view shown first is made while the engine works.
  viewOf(new URLSearchParams(location.hash.slice(1)).get('sim') === 'spring' ? 'spring' : 'ballistics');
  info = await ready;
  schemeByName = Object.fromEntries(info.schemes.map((s) => [s.name, s]));
  const bSchemes = $('b-schemes');
  const sSchemes = $('s-schemes');
  for (const s of info.schemes) {
    bSchemes.append(schemeToggle(s, 'checkbox', 'b-scheme'));
    sSchemes.append(schemeToggle(s, 'radio', 's-scheme'));
  }
  fillStartUp();
  const shown = loadAddress();

  for (const name of flightFields) $(`b-${name}`).addEventListener('input', onInput(recomputeFlights));
  bSchemes.addEventListener('change', onInput(recomputeFlights));
  for (const name of springFields) $(`s-${name}`).addEventListener('input', onInput(recomputeSpring));
  sSchemes.addEventListener('change', onInput(recomputeSpring));
  for (const form of document.querySelectorAll('form')) form.addEventListener('submit', (e) => e.preventDefault());
  $('s-time').addEventListener('input', () => {
    pause();
    setPlayTime(Number($('s-time').value));
  });
  $('s-play').addEventListener('click', play);
  $('s-pause').addEventListener('click', pause);
  $('s-speed').addEventListener('input', () => {
    speed();
    saveAddress();
  });
  for (const p of ['b', 's']) {
    const model = p === 'b' ? 'flight' : 'spring';
    $(`${p}-conv-run`).addEventListener('click', () => runStudy(model));
    $(`${p}-levels`).addEventListener('change', () => runStudy(model));
    $(`${p}-double`).addEventListener('change', () => runStudy(model));
    $(`${p}-conv-csv`).addEventListener('click', () => {
      if (lastStudy[model]) download(`pbsim-convergence-${model}.csv`, new Blob([lastStudy[model].csv], { type: 'text/csv' }));
      else $(`${p}-conv-progress`).textContent = 'No study to download yet.';
    });
  }
  $('b-view-reset').addEventListener('click', () => bView?.reset());
  $('s-view-reset').addEventListener('click', () => sView?.reset());
  $('tab-ballistics').addEventListener('click', () => selectTab('ballistics'));
  $('tab-spring').addEventListener('click', () => selectTab('spring'));
  $('reset').addEventListener('click', () => {
    fillStartUp();
    bView?.reset();
    sView?.reset();
    inputStarted = performance.now();
    recomputeFlights();
    recomputeSpring();
  });
  $('download-csv').addEventListener('click', async () => {
    const flight = active === 'ballistics';
    const last = flight ? lastFlight : lastSpring;
    if (!last) return status('Nothing to download yet.');
    const schemes = flight ? last.schemes : [last.scheme];
    status('Writing the CSV …');
    const csv = await client.request('csv', { model: flight ? 'flight' : 'spring', values: last.values, schemes });
    if (typeof csv !== 'string') return status('The CSV could not be written for these values.');
    download(`pbsim-${flight ? 'flight' : 'spring'}.csv`, new Blob([csv], { type: 'text/csv' }));
    status('');
  });
  $('download-png').addEventListener('click', async () => {
    const view = active === 'ballistics' ? bView : sView;
    if (!view) return;
    view.render();
    view.renderer.domElement.toBlob((blob) => blob && download(`pbsim-${active}.png`, blob), 'image/png');
  });
  $('copy-link').addEventListener('click', async () => {
    saveAddress();
    try {
      await navigator.clipboard.writeText(location.href);
      status('The link to these settings is copied.');
    } catch {
      status(`The link to these settings: ${location.href}`);
    }
  });
  window.addEventListener('hashchange', () => {
    selectTab(loadAddress());
    recomputeFlights();
    recomputeSpring();
  });

  selectTab(shown, false);
  status('');
  const values = readValues('b', flightFields);
  const schemes = checkedFlightSchemes();
  const asked = {};
  for (const name of flightFields) asked[name] = early && name in early.values ? early.values[name] : valueOf(String(info.flightStartUp[name]));
  if (early && JSON.stringify([values, schemes]) === JSON.stringify([asked, early.schemes])) {
    flights.submit(() => early.promise, (result) => showFlights(result, values, schemes), (error) => status(`The engine failed: ${error.message}`));
  } else {
    recomputeFlights();
  }
  recomputeSpring();
}

start().catch((error) => status(`The page could not start: ${error.message}`));
