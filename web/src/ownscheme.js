// A scheme of the user's own: a Butcher tableau (or an embedded pair, with
// a second weight row) typed in the page's format (tableau.js), judged by
// the engine in its own words, and once accepted a scheme of the page like
// the built-in ones: a toggle among the flight's schemes and the spring's,
// its runs, tables, plots and convergence rows, where its algebraic order
// (the engine's, by the order conditions) stands beside the measured one.
import { $, shared } from './page.js';
import { EngineClient } from './engine-client.js';
import { schemeToggle, kindGroup } from './toggles.js';
import { parseTableau, setOwnScheme, removeOwnScheme } from './tableau.js';

// The page's look for a user's scheme: the engine's table gives the
// built-in ones theirs.
const kOwnColour = [0.1, 0.1, 0.1];
const kOwnMarker = 'circle';
const kOwnKind = 'your own';

// RK4's tableau, as a start the user edits.
const kExample = `0   |
1/2 | 1/2
1/2 | 0   1/2
1   | 0   0   1
----+----------------
    | 1/6 1/3 1/3 1/6`;

let client = null;
let current = null; // the accepted scheme's entry of the scheme table

function say(text, bad = false) {
  const msg = $('own-msg');
  msg.textContent = text;
  msg.classList.toggle('bad', bad);
  $('own-tableau').setAttribute('aria-invalid', bad ? 'true' : 'false');
}

function group(container, entry, type, name) {
  const title = `${entry.kind}, algebraic order ${entry.order}, ${entry.evaluations} stages`;
  const div = kindGroup(kOwnKind, [schemeToggle(entry, type, name, title)], 'kind own');
  container.append(div);
  return div.querySelector('input');
}

// The user's scheme out of the scheme table and the toggles; `recompute`
// when one of its toggles was on.
function remove() {
  if (!current) return false;
  const on = [...document.querySelectorAll('.kind.own input')].some((b) => b.checked);
  for (const div of document.querySelectorAll('.kind.own')) div.remove();
  shared.tables.schemes = shared.tables.schemes.filter((s) => s !== current);
  delete shared.schemeByName[current.name];
  removeOwnScheme(current.name);
  current = null;
  return on;
}

function changed(container) {
  container.dispatchEvent(new Event('change', { bubbles: true }));
}

async function use() {
  let tableau;
  try {
    tableau = parseTableau($('own-tableau').value);
  } catch (error) {
    return say(`The tableau cannot be read: ${error.message}.`, true);
  }
  const scheme = { name: $('own-name').value.trim(), ...tableau };
  if (!client) client = new EngineClient();
  say('Checking …');
  const answer = await client.request('ownScheme', { scheme });
  if (answer.problem) {
    const where = answer.problem.parameter === 'scheme' ? '' : `${answer.problem.parameter} `;
    return say(`The engine refuses this scheme: ${where}${answer.problem.message}.`, true);
  }
  const springOn = current && $(`s-scheme-${current.name}`)?.checked;
  remove();
  current = {
    name: answer.name,
    title: answer.name,
    order: answer.algebraicOrder,
    evaluations: answer.stages,
    colour: kOwnColour,
    marker: kOwnMarker,
    kind: answer.adaptive ? 'adaptive' : 'explicit',
    adaptive: answer.adaptive,
    single: answer.single,
    defaultPrecision: answer.defaultPrecision,
    precisionNote: answer.precisionNote,
    own: true,
  };
  setOwnScheme(scheme);
  shared.tables.schemes = [...shared.tables.schemes, current];
  shared.schemeByName[current.name] = current;
  const flight = group($('b-schemes'), current, 'checkbox', 'b-scheme');
  const spring = group($('s-schemes'), current, 'radio', 's-scheme');
  flight.checked = true;
  changed($('b-schemes'));
  if (springOn) {
    spring.checked = true;
    changed($('s-schemes'));
  }
  const pair = answer.adaptive ? `; an embedded pair, its second row of order ${answer.embeddedOrder}${answer.fsal ? ', first same as last' : ''}` : '';
  say(`${answer.name}: ${answer.stages} stages, algebraic order ${answer.algebraicOrder} (${answer.orderReport})${pair}. It runs among the flight's schemes and the spring's, and in their convergence studies.`);
}

export function setUpOwnScheme() {
  $('own-tableau').value = kExample;
  $('own-use').addEventListener('click', () => use().catch((error) => say(`The engine failed: ${error.message}`, true)));
  $('own-remove').addEventListener('click', () => {
    const on = remove();
    say('');
    changed($('b-schemes'));
    if (on) {
      const first = document.querySelector('#s-schemes input');
      if (first && !document.querySelector('#s-schemes input:checked')) first.checked = true;
      changed($('s-schemes'));
    }
  });
}
