// The ballistics simulation: its fields' values flown with every ticked
// scheme, the numbers in the engine's summary table, the engine's notes,
// the error plot and the 3-D view.
import { $, shared, progressShower, pictureDrawn, engineFailed } from './page.js';
import { LatestOnly } from './engine-client.js';
import { readValues, ranValues, fieldsOf, showUnits, showAdaptiveFields } from './fields.js';
import { tableColumns, fillHead, tableRow, showLines, precisionLines } from './tables.js';
import { Plot, align, thin } from './plots.js';
import { TextAlternative, readable, spread } from './alternative.js';

const flights = new LatestOnly(shared.client);
let errorPlot = null;
let columns = null;
let view = null;
let viewWords = null; // the 3-D view's text alternative
export let lastFlight = null; // {result, values, schemes}

// Set up once the engine's tables are there; `after(result)` runs after each picture.
let after = () => {};
export function setUpFlights(onShown) {
  after = onShown;
  columns = tableColumns(shared.tables.models.flight.summary, true);
  fillHead($('b-table'), columns);
  viewWords = new TextAlternative($('b-view'), $('b-view'), 'the 3-D view');
  errorPlot = new Plot($('b-error-plot'), { title: 'Error against time', xLabel: 't [s]', yLabel: 'error [m]', logY: true });
}

export function flightPlots() {
  return [errorPlot];
}

// The flight's fields: its parameters and its drag law.
export function parametersOfFlight() {
  return fieldsOf('flight');
}

export function checkedFlightSchemes() {
  return [...document.querySelectorAll('#b-schemes input')].filter((b) => b.checked).map((b) => b.value);
}

export function recomputeFlights() {
  const schemes = checkedFlightSchemes();
  showAdaptiveFields('b', parametersOfFlight(), schemes);
  const values = readValues('b', parametersOfFlight());
  submitFlights(() => shared.client.request('study', { model: 'flight', values, schemes }, progressShower('Computing')), values, schemes);
}

// Shows the answer of `make()` (a request made already or to make now).
export function submitFlights(make, values, schemes) {
  flights.submit(
    make,
    (result) => showFlights(result, values, schemes),
    engineFailed,
  );
}

// What the page's words about the flights' errors name: the engine's judge
// ("exact" for a closed form, "reference" where the drag law has none), in
// the text and labels of the elements marked data-judge.
const kJudgeWord = /\b(exact|reference)\b/g;
export function nameJudge(judge) {
  for (const e of document.querySelectorAll('#ballistics [data-judge]')) {
    for (const node of e.childNodes) if (node.nodeType === Node.TEXT_NODE) node.textContent = node.textContent.replace(kJudgeWord, judge);
    for (const a of ['aria-label', 'title']) if (e.hasAttribute(a)) e.setAttribute(a, e.getAttribute(a).replace(kJudgeWord, judge));
  }
}

// A gun below the horizon lands at once, whatever the step: the engine's
// advice for few steps (a smaller step) becomes the page's, to raise it.
const kSmallerStep = /\s*\(take a smaller [^)]*\)$/;
function intoTheGround(text, values) {
  if (!(values.elevation < 0) || !kSmallerStep.test(text)) return text;
  const label = parametersOfFlight().find((p) => p.name === 'elevation')?.label || 'elevation';
  return `${text.replace(kSmallerStep, '')}: the gun points into the ground (${label} ${values.elevation} below 0), so the shot lands at once; raise the ${label} above 0`;
}

function showFlights(result, values, schemes) {
  showUnits('b', parametersOfFlight(), values);
  const ran = ranValues('b', parametersOfFlight(), result);
  showAdaptiveFields('b', parametersOfFlight(), schemes);
  if (!ran) return after(null);
  lastFlight = { result, values, schemes };
  const runs = result.runs;
  nameJudge(result.judge);
  drawFlights();
  describeFlights(result);
  const body = $('b-table').tBodies[0];
  body.replaceChildren(...runs.map((r) => tableRow(columns, r.readable, shared.schemeByName)));
  // The exact (or reference) landing, its scheme cell naming it.
  if (result.exact) body.append(tableRow(columns, result.exact, shared.schemeByName));
  const lines = [...precisionLines(runs, shared.schemeByName), ...result.notes.map((n) => intoTheGround(n.text, values))];
  if (!runs.length) lines.push('No scheme is ticked: tick one to fly the shot.');
  showLines($('b-warnings'), lines);

  const curves = runs.map((r) => thin(r.t, r.path_error, 1500, true));
  const { xs, ys } = align(curves.length ? curves : [{ x: [0], y: [null] }]);
  errorPlot.show(
    xs,
    runs.map((r, i) => {
      const s = shared.schemeByName[r.scheme];
      return { label: s.title, colour: s.colour, marker: s.marker, values: ys[i] };
    }),
  );
  pictureDrawn();
  after(result);
}

// What the 3-D view shows, in words and numbers: each run's path at about
// a dozen times, beside the exact flight's.
function describeFlights(result) {
  const point = (x, y, z) => `(${readable(x)}, ${readable(y)}, ${readable(z)}) m`;
  const [tx, ty, tz] = result.runs.length ? result.runs[0].target : [NaN, NaN, NaN];
  const paths = result.runs.map((r) => {
    const n = r.t.length - 1;
    return `${shared.schemeByName[r.scheme].title} from ${point(r.x[0], r.y[0], r.z[0])} to ${point(r.x[n], r.y[n], r.z[n])} at t = ${readable(r.t[n])} s`;
  });
  const c = result.curve;
  const exact = c && c.x.length ? `; the ${result.judge} flight, dashed, to ${point(c.x[c.x.length - 1], c.y[c.y.length - 1], c.z[c.z.length - 1])}` : '';
  const sentence = result.runs.length
    ? `The trajectories from the gun towards the target at ${point(tx, ty, tz)}, y up: ${paths.join('; ')}${exact}.`
    : 'No scheme is ticked: the view shows the gun and the target only.';
  const rows = [];
  for (const r of result.runs) for (const k of spread(r.t.length, 12)) rows.push([shared.schemeByName[r.scheme].title, readable(r.t[k]), readable(r.x[k]), readable(r.y[k]), readable(r.z[k])]);
  if (c) for (const k of spread(c.x.length, 12)) rows.push([result.judge, readable(c.t ? c.t[k] : NaN), readable(c.x[k]), readable(c.y[k]), readable(c.z[k])]);
  viewWords.show(sentence, ['scheme', 't [s]', 'x [m]', 'y [m]', 'z [m]'], rows);
}

// The 3-D view the flights are drawn in (null without WebGL).
export function setFlightView(v) {
  view = v;
  drawFlights();
}

// The last flights in the 3-D view.
export function drawFlights() {
  if (!view || !lastFlight) return;
  const { result } = lastFlight;
  const runs = result.runs.map((r) => ({ x: r.x, y: r.y, z: r.z, colour: shared.schemeByName[r.scheme].colour }));
  // Without runs the target stays where it was.
  view.show(runs, result.curve, result.runs.length ? result.runs[0].target : view.target.position.toArray());
}
