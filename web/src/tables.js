// The page's tables, made from the engine's field descriptors: a column per
// field with the engine's heading, each cell as pbsim-study shows it (the
// engine's readable cells); the scheme's column shows the scheme's marker
// and title. A summary gathers its flags into a last column, "note", as
// pbsim-study's tables do. And the notes below a table, worded by the engine.
import { plotColour, markerGlyph } from './plots.js';

// The field that names a row's scheme, joining it to the scheme table.
const kSchemeField = 'scheme';

// The columns of a table of `fields`: {fields: [...]} per column, a flag
// column holding every flag when `flagsAsNote`.
export function tableColumns(fields, flagsAsNote) {
  const columns = [];
  const flags = [];
  for (const f of fields) {
    if (flagsAsNote && f.kind === 'flag') flags.push(f);
    else columns.push({ heading: f.heading, fields: [f] });
  }
  if (flagsAsNote) columns.push({ heading: 'note', fields: flags });
  return columns;
}

// A heading's text with a place to break after each underscore and before
// a unit, so that a narrow column's heading wraps (its text stays the same).
function breakable(heading) {
  const parts = heading.split(/(?<=_)|(?= \[)/);
  return parts.flatMap((part, i) => (i ? [document.createElement('wbr'), part] : [part]));
}

export function fillHead(table, columns) {
  const tr = document.createElement('tr');
  for (const c of columns) {
    const th = document.createElement('th');
    th.scope = 'col';
    th.append(...breakable(c.heading));
    th.dataset.fields = c.fields.map((f) => f.name).join(' ');
    tr.append(th);
  }
  table.tHead.replaceChildren(tr);
}

function schemeCell(scheme) {
  const td = document.createElement('td');
  td.className = 'scheme';
  const glyph = document.createElement('span');
  glyph.className = 'glyph';
  glyph.textContent = markerGlyph[scheme.marker] || '';
  glyph.style.color = plotColour(scheme.colour);
  glyph.setAttribute('aria-hidden', 'true');
  td.append(glyph, scheme.title);
  td.dataset.scheme = scheme.name;
  return td;
}

// A browser's clock counts in steps of 0.1 ms (a page that is not
// cross-origin isolated), so a wall time in ms shows to that step, and one
// below it as "< 0.1": what is finer is the timer's noise.
const kTimerUnit = 'ms';
const kTimerStep = 0.1;
export function wallTime(text) {
  const v = Number(text);
  if (text === undefined || text === '' || !Number.isFinite(v)) return text || '';
  return v < kTimerStep ? `< ${kTimerStep}` : v.toFixed(1);
}

// One row: `readable` ({field: text}) under `columns`; the scheme's cell
// from `schemeByName`, or `name` for a row of no scheme (the exact solution).
export function tableRow(columns, readable, schemeByName) {
  const tr = document.createElement('tr');
  for (const c of columns) {
    const scheme = c.fields.length === 1 && c.fields[0].name === kSchemeField ? readable[kSchemeField] : null;
    if (scheme !== null && schemeByName[scheme]) {
      tr.append(schemeCell(schemeByName[scheme]));
      continue;
    }
    const td = document.createElement('td');
    td.textContent = c.fields
      .map((f) => (f.unit === kTimerUnit ? wallTime(readable[f.name]) : readable[f.name] || ''))
      .filter((text) => text !== '')
      .join(', ');
    if (scheme !== null) td.dataset.scheme = scheme;
    tr.append(td);
  }
  return tr;
}

// The lines below a table.
export function showLines(container, lines) {
  container.replaceChildren(
    ...lines.map((text) => {
      const p = document.createElement('p');
      p.textContent = text;
      return p;
    }),
  );
}

// What the page says about runs in double precision: the engine's words for
// each scheme that has no single-precision arithmetic (so runs in double,
// its default), once per scheme.
export function precisionLines(runs, schemeByName) {
  const lines = [];
  for (const r of runs) {
    const s = schemeByName[r.scheme];
    if (!s || s.single || r.precision !== 'double') continue;
    const line = `${s.precisionNote}: its numbers here are double precision.`;
    if (!lines.includes(line)) lines.push(line);
  }
  return lines;
}
