// The spring's stability limits, on demand: for each fixed-step scheme the
// largest stable time step the engine measures by bisection beside the
// limit its theory gives, for the spring's values in the fields. Its table
// has a column per field of the engine's stability rows, each cell as
// pbsim-study shows it, the engine's notes below it, and its CSV is the
// engine's (pbsim-study stability spring --summary).
import { $, shared, download } from './page.js';
import { EngineClient } from './engine-client.js';
import { readValues } from './fields.js';
import { parametersOfSpring } from './springs.js';
import { tableColumns, fillHead, tableRow, showLines } from './tables.js';

let client = null;
let columns = null;
let last = null; // the study shown

export function lastStability() {
  return last;
}

// Each cell holds its field's value too, as the engine computed it (the
// shortest text that reads back to it; nothing where it has none).
function valued(tr, row) {
  columns.forEach((c, i) => {
    const v = row[c.fields[0].name];
    tr.cells[i].dataset.value = typeof v === 'number' && Number.isNaN(v) ? '' : String(v);
  });
  return tr;
}

function show(result, values) {
  const progress = $('s-stab-progress');
  const body = $('s-stab-table').tBodies[0];
  if (result.problem) {
    last = null;
    body.replaceChildren();
    showLines($('s-stab-notes'), []);
    progress.textContent = `No stability limits for these values: ${result.problem.text}.`;
    return;
  }
  last = result;
  body.replaceChildren(...result.rows.map((r) => valued(tableRow(columns, r.readable, shared.schemeByName), r)));
  showLines($('s-stab-notes'), result.notes);
  const step = parametersOfSpring().find((p) => p.name === 'dt');
  progress.textContent = `Stability limits for the spring's values in the fields; "unstable at dt": unstable at its ${step ? step.label : 'dt'}, ${values.dt} ${step ? step.unit : ''}.`;
}

async function measure() {
  const progress = $('s-stab-progress');
  // A measurement asked for again stops the one running.
  if (client && client.busy()) client.restart();
  if (!client) client = new EngineClient();
  progress.textContent = 'Measuring …';
  const values = readValues('s', parametersOfSpring());
  try {
    show(await client.request('stability', { values }, (text) => (progress.textContent = `Measuring: ${text} …`)), values);
  } catch (error) {
    if (!error.superseded) progress.textContent = `The measurement failed: ${error.message}`;
  }
}

export function setUpStability() {
  columns = tableColumns(shared.tables.stability.fields, false);
  fillHead($('s-stab-table'), columns);
  $('s-stab-run').addEventListener('click', measure);
  $('s-stab-csv').addEventListener('click', () => {
    if (last) download('pbsim-stability-spring.csv', new Blob([last.csv], { type: 'text/csv' }));
    else $('s-stab-progress').textContent = 'No stability limits to download yet: measure them first.';
  });
}
