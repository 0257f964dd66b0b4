// Convergence studies: the error at a fixed time (or the flight's landing
// point's miss) as the time step halves, or as an adaptive scheme's rtol
// falls, on a worker of their own. A study takes seconds and a core: it follows a
// picture only once the page has been quiet for a while and is idle, and
// any new input stops it (it would study values no longer shown, and slow
// the runs that answer the input). Its table has the engine's convergence
// fields; its plots are the error against the step (with the engine's
// reference slopes), the evaluations against the error (every scheme), and
// the adaptive schemes' error against their rtol.
import { $, shared, metrics, simulations } from './page.js';
import { EngineClient, LatestOnly } from './engine-client.js';
import { tableColumns, fillHead, tableRow } from './tables.js';
import { Plot } from './plots.js';
import { studySeries, workSeries, toleranceSeries, schemesForSweep, kDoubleDash } from './studyseries.js';

// The page's words for the engine's quantities and sweeps.
const kQuantityWords = { at_time: 'the error at T', landing: 'the landing point' };
const kSweepWords = { auto: 'auto: dt or rtol', dt: 'dt (fixed-step schemes)', rtol: 'rtol (adaptive schemes)' };

// A study follows a picture once the page has been quiet this long (ms):
// while someone types, studies neither start nor keep running.
const kStudyQuiet = 600;

let studyClient = null;
let studies = null;
let studyTimer = null;
let studying = null; // the model whose study runs
let columns = null;
const stale = { flight: false, spring: false };
const last = { flight: null, spring: null }; // the study shown
const plots = {};
let latest = () => null; // the model's last run: {values, schemes}

const simulationOf = (model) => Object.values(simulations).find((s) => s.model === model);
const shown = (model) => simulations[shared.active].model === model;

// The legend of the studies' lines: solid single precision, dashed double
// (the dashes the plots draw).
function lineKey() {
  const key = document.createElement('span');
  key.className = 'line-key';
  const sample = (precision, dash, words) => {
    const item = document.createElement('span');
    item.className = 'line-sample';
    item.dataset.precision = precision;
    const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
    svg.setAttribute('width', '32');
    svg.setAttribute('height', '10');
    svg.setAttribute('aria-hidden', 'true');
    const line = document.createElementNS('http://www.w3.org/2000/svg', 'line');
    for (const [k, v] of Object.entries({ x1: 1, y1: 5, x2: 31, y2: 5, stroke: '#333', 'stroke-width': 2 })) line.setAttribute(k, String(v));
    if (dash) line.setAttribute('stroke-dasharray', dash.join(' '));
    svg.append(line);
    item.append(svg, ` ${words}`);
    return item;
  };
  key.append('Lines: ', sample('single', null, 'solid: single precision'), ', ', sample('double', kDoubleDash, 'dashed: double precision'), '.');
  return key;
}

// `lastRun(model)` gives the values and schemes a study of `model` takes
// ({values, schemes, every}: `every` for a study of every scheme, which
// then takes those that fit its sweep).
export function setUpStudies(lastRun) {
  latest = lastRun;
  const { fields, settings } = shared.tables.convergence;
  columns = tableColumns(fields, false);
  const unit = fields.find((f) => f.name === 'error')?.unit || '';
  const error = `error [${unit}]`;
  for (const { model, prefix } of Object.values(simulations)) {
    fillHead($(`${prefix}-conv-table`), columns);
    plots[model] = {
      step: new Plot($(`${prefix}-conv-plot`), { title: 'Convergence', xLabel: 'time step h [s]', yLabel: error, logX: true, logY: true }),
      work: new Plot($(`${prefix}-work-plot`), { title: 'Work against precision', xLabel: error, yLabel: 'evaluations', logX: true, logY: true }),
      tolerance: new Plot($(`${prefix}-tol-plot`), { title: 'Tolerance proportionality', xLabel: 'rtol', yLabel: error, logX: true, logY: true }),
    };
    for (const id of [`${prefix}-conv-plot`, `${prefix}-work-plot`]) $(id).closest('figure').querySelector('figcaption').append(' ', lineKey());
    const quantity = $(`${prefix}-quantity`);
    if (quantity) for (const q of settings.quantities) quantity.append(new Option(kQuantityWords[q] || q, q));
    for (const w of settings.sweeps) $(`${prefix}-sweep`).append(new Option(kSweepWords[w] || w, w));
  }
  // The engine's levels of rtol, in the words above the studies.
  for (const span of document.querySelectorAll('.convergence .rtol-levels')) span.textContent = `${settings.rtolLevels} values of rtol from ${settings.rtolStart} down by tenths (atol in the proportion of the fields' atol to rtol)`;
  fillStudySettings();
}

// The study's settings as the engine starts them.
export function fillStudySettings() {
  const { levels, withDouble, quantity, sweep } = shared.tables.convergence.settings;
  for (const { prefix } of Object.values(simulations)) {
    $(`${prefix}-levels`).value = String(levels);
    $(`${prefix}-double`).checked = withDouble;
    if ($(`${prefix}-quantity`)) $(`${prefix}-quantity`).value = quantity;
    $(`${prefix}-sweep`).value = sweep;
  }
}

// The study's settings shown, for the address: {quantity, sweep, levels, double}.
export function studySettingsShown(prefix) {
  const shown = { sweep: $(`${prefix}-sweep`).value, levels: $(`${prefix}-levels`).value, double: $(`${prefix}-double`).checked ? '1' : '0' };
  if ($(`${prefix}-quantity`)) shown.quantity = $(`${prefix}-quantity`).value;
  return shown;
}

// The address's quantity and sweep, where they are among the choices; its
// levels and double twin.
export function setStudySettings(prefix, { quantity, sweep, levels, double }) {
  if (levels !== undefined) $(`${prefix}-levels`).value = levels;
  if (double !== undefined) $(`${prefix}-double`).checked = double === '1';
  for (const [name, value] of [['quantity', quantity], ['sweep', sweep]]) {
    const select = $(`${prefix}-${name}`);
    if (select && value !== undefined && [...select.options].some((o) => o.value === value)) select.value = value;
  }
}

export function studyPlots(model) {
  return Object.values(plots[model]);
}

export function lastStudy(model) {
  return last[model];
}

export function scheduleStudy(model) {
  if (!shown(model)) {
    stale[model] = true;
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

// A model shown again: its study, if one is owed.
export function studyIfStale(model) {
  if (stale[model]) scheduleStudy(model);
}

export function cancelStudy() {
  if (studyTimer !== null && studyTimer !== -1) clearTimeout(studyTimer);
  studyTimer = null;
  if (studyClient && studyClient.busy()) {
    if (studying) stale[studying] = true;
    studying = null;
    studyClient.restart();
    for (const { prefix } of Object.values(simulations)) {
      const progress = $(`${prefix}-conv-progress`);
      if (progress.textContent.startsWith('Studying')) progress.textContent = '';
    }
  }
}

// The study of the simulation shown; the other one's waits until it is shown.
export function runStudy(model) {
  if (!shown(model)) {
    stale[model] = true;
    return;
  }
  stale[model] = false;
  if (studyTimer !== null && studyTimer !== -1) clearTimeout(studyTimer);
  studyTimer = null;
  if (!studyClient) {
    studyClient = new EngineClient();
    studies = new LatestOnly(studyClient, 0);
  }
  const { prefix } = simulationOf(model);
  const run = latest(model);
  if (!run) return;
  const levels = Number($(`${prefix}-levels`).value.trim());
  if (!Number.isInteger(levels)) {
    $(`${prefix}-levels-msg`).textContent = 'Levels must be a whole number';
    return;
  }
  $(`${prefix}-levels-msg`).textContent = '';
  const { quantity, sweep } = studySettingsShown(prefix);
  const settings = { levels, withDouble: $(`${prefix}-double`).checked, sweep, ...(quantity !== undefined ? { quantity } : {}) };
  const schemes = run.every ? schemesForSweep(run.schemes, settings.sweep, shared.schemeByName) : run.schemes;
  if (!schemes.length) return;
  const progress = $(`${prefix}-conv-progress`);
  progress.textContent = 'Studying …';
  studies.submit(
    () => {
      studying = model;
      return studyClient.request('convergence', { model, values: run.values, schemes, settings }, (text) => (progress.textContent = `Studying: ${text} …`));
    },
    (result) => {
      studying = null;
      // What the study was asked, for its CSV's settings line.
      result.asked = { values: run.values, schemes, settings };
      showStudy(model, result, run.values);
    },
    (error) => {
      studying = null;
      progress.textContent = `The study failed: ${error.message}`;
    },
  );
}

function showStudy(model, result, values) {
  const { prefix } = simulationOf(model);
  const progress = $(`${prefix}-conv-progress`);
  const table = $(`${prefix}-conv-table`).tBodies[0];
  const shown = plots[model];
  if (result.problem) {
    const where = ['levels', 'quantity'].find((name) => name === result.problem.parameter && $(`${prefix}-${name}-msg`));
    if (where) {
      $(`${prefix}-${where}-msg`).textContent = `${where === 'levels' ? 'Levels' : 'Error of'} ${result.problem.message}`;
      progress.textContent = '';
    } else {
      progress.textContent = result.problem.text;
    }
    table.replaceChildren();
    $(`${prefix}-conv-t`).textContent = '';
    for (const plot of Object.values(shown)) plot.clear();
    last[model] = null;
    return;
  }
  if ($(`${prefix}-quantity-msg`)) $(`${prefix}-quantity-msg`).textContent = '';
  last[model] = result;
  progress.textContent = studyLine(result, values);
  $(`${prefix}-conv-t`).textContent = tRule(model, result, values);
  table.replaceChildren(...result.rows.map((r) => tableRow(columns, r.readable, shared.schemeByName)));
  for (const [plot, series] of [
    [shown.step, studySeries(result, shared.schemeByName)],
    [shown.work, workSeries(result, shared.schemeByName)],
    [shown.tolerance, toleranceSeries(result, shared.schemeByName)],
  ]) {
    if (series.series.length) plot.show(series.xs, series.series, { every: true });
    else plot.clear();
  }
  metrics.studies++;
}

// How the study's T follows the time step (the engine's rule: a whole
// number of steps, three quarters of the exact flight or the spring's 4 s).
function tRule(model, result, values) {
  if (result.quantity === 'landing') return 'T = n·dt: not used here; the landing point is measured wherever each run lands.';
  const how = model === 'flight' ? `the whole steps of dt that fit in three quarters of the way to the ${result.judge || 'exact'} landing (10 when it never lands), so T moves with dt` : 'the whole steps of dt in 4 s: a dt that does not divide 4 s is refused';
  return `T = n·dt: ${how}; here n = ${result.at_steps} steps of dt = ${values.dt} s, T = ${result.at.toPrecision(6)} s.`;
}

// What the study measured and how its orders are read; what the errors
// are measured against where it is no closed form (the engine's note).
function studyLine(result, values) {
  const measured =
    result.quantity === 'landing' ? `Landing point misses, each ground point placed by the ${values.landing} landing rule` : `Errors at T = ${result.at.toPrecision(6)} s`;
  const steps = result.rows.some((r) => Number.isFinite(r.h)) ? '; order = log2(e(2h)/e(h))' : '';
  const tolerances = result.rows.some((r) => Number.isFinite(r.rtol)) ? "; an adaptive scheme's order = the slope of log error against log rtol (1: error proportional to rtol)" : '';
  const judged = (result.notes || []).map((n) => ` ${n.text}.`).join('');
  return `${measured}${steps}${tolerances}.${judged}`;
}
