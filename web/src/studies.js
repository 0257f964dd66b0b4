// Convergence studies: the error at a fixed time as the time step halves,
// on a worker of their own. A study takes seconds and a core: it follows a
// picture only once the page has been quiet for a while and is idle, and
// any new input stops it (it would study values no longer shown, and slow
// the runs that answer the input). Its table has the engine's convergence
// fields; its plot the engine's reference slopes.
import { $, shared, metrics, simulations } from './page.js';
import { EngineClient, LatestOnly } from './engine-client.js';
import { tableColumns, fillHead, tableRow } from './tables.js';
import { Plot, align, cssColour } from './plots.js';

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

// `lastRun(model)` gives the values and schemes a study of `model` takes.
export function setUpStudies(lastRun) {
  latest = lastRun;
  columns = tableColumns(shared.tables.convergence.fields, false);
  for (const { model, prefix } of Object.values(simulations)) {
    fillHead($(`${prefix}-conv-table`), columns);
    plots[model] = new Plot($(`${prefix}-conv-plot`), { title: 'Convergence', xLabel: 'time step h [s]', yLabel: 'error at T [m]', logX: true, logY: true });
  }
  fillStudySettings();
}

// The study's settings as the engine starts them.
export function fillStudySettings() {
  const { levels, withDouble } = shared.tables.convergence.settings;
  for (const { prefix } of Object.values(simulations)) {
    $(`${prefix}-levels`).value = String(levels);
    $(`${prefix}-double`).checked = withDouble;
  }
}

export function studyPlot(model) {
  return plots[model];
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
  if (!run.schemes.length) return;
  const withDouble = $(`${prefix}-double`).checked;
  const progress = $(`${prefix}-conv-progress`);
  progress.textContent = 'Studying …';
  studies.submit(
    () => {
      studying = model;
      return studyClient.request('convergence', { model, values: run.values, schemes: run.schemes, levels, withDouble }, (text) => (progress.textContent = `Studying: ${text} …`));
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
  const { prefix } = simulationOf(model);
  const progress = $(`${prefix}-conv-progress`);
  const table = $(`${prefix}-conv-table`).tBodies[0];
  const plot = plots[model];
  if (result.problem) {
    const levels = result.problem.parameter === 'levels';
    if (levels) {
      $(`${prefix}-levels-msg`).textContent = `Levels ${result.problem.message}`;
      progress.textContent = '';
    } else {
      progress.textContent = result.problem.text;
    }
    table.replaceChildren();
    plot.clear();
    last[model] = null;
    return;
  }
  last[model] = result;
  // What the errors are measured against, where it is no closed form: the engine's note.
  const judged = (result.notes || []).map((n) => ` ${n.text}.`).join('');
  progress.textContent = `Errors at T = ${result.at.toPrecision(6)} s; order = log2(e(2h)/e(h)).${judged}`;
  table.replaceChildren(...result.rows.map((r) => tableRow(columns, r.readable, shared.schemeByName)));
  const { xs, series } = studySeries(result, shared.schemeByName);
  if (!series.length) return plot.clear();
  plot.show(xs, series, { every: true });
  metrics.studies++;
}

// The plot's series: each scheme and precision's errors from the finest
// step (hollow at the floor), and the engine's reference slopes, on x
// values shared by all.
export function studySeries(result, schemeByName) {
  const groups = [];
  for (const r of result.rows) {
    const key = `${r.scheme}/${r.precision}`;
    let g = groups.find((x) => x.key === key);
    if (!g) groups.push((g = { key, scheme: schemeByName[r.scheme], precision: r.precision, rows: [] }));
    g.rows.push(r);
  }
  // uPlot wants x ascending: levels from the finest step.
  const curves = groups.map((g) => {
    const rows = [...g.rows].reverse();
    return { x: rows.map((r) => r.h), y: rows.map((r) => (r.error > 0 ? r.error : null)) };
  });
  const slopes = result.slopes.map((s) => ({ x: [s.hEnd, s.h0], y: [s.eEnd, s.e0] }));
  if (!curves.length) return { xs: [], series: [] };
  const { xs, ys } = align([...curves, ...slopes]);
  const series = groups.map((g, i) => {
    const floorAt = new Map(g.rows.map((r) => [r.h, r.floor]));
    return {
      label: `${g.scheme.title} (${g.precision})`,
      colour: g.scheme.colour,
      marker: g.scheme.marker,
      dash: g.precision === 'single' ? undefined : [6, 4],
      values: ys[i],
      hollow: xs.map((h) => floorAt.get(h) || false),
    };
  });
  result.slopes.forEach((s, i) => {
    series.push({ label: `h^${s.order}`, css: cssColour([0.5, 0.5, 0.5], 0.8), dash: [2, 3], width: 1, marker: null, values: ys[groups.length + i] });
  });
  return { xs, series };
}
