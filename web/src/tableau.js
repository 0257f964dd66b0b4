// A scheme of the user's own, as the page takes it: a Butcher tableau
// written as text, and the schemes the page has been given, which every
// request to the engine carries by value (the engine checks and runs them;
// nothing here judges a tableau).
//
// The text is the tableau as books write it, one stage per line, the node
// left of a bar and that stage's row of A right of it; then, after an
// optional line of dashes, the weights b with nothing left of the bar, and
// for an embedded pair a second such line, b_hat (the error estimate's
// weights):
//
//     0   |
//     1/2 | 1/2
//     1/2 | 0   1/2
//     1   | 0   0   1
//     ----+----------------
//         | 1/6 1/3 1/3 1/6
//
// Entries are separated by spaces or commas; each is a decimal number or a
// fraction p/q of two of them (divided in double precision, as 1.0 / 6 is
// in C++). Lines starting with # are comments.

// One entry's value, or NaN when it is no number.
function entry(text) {
  const number = /^[+-]?(\d+\.?\d*|\.\d+)(e[+-]?\d+)?$/i;
  const parts = text.split('/');
  if (parts.length > 2 || !parts.every((p) => number.test(p))) return NaN;
  return parts.length === 2 ? Number(parts[0]) / Number(parts[1]) : Number(parts[0]);
}

function entries(text, where) {
  const list = text.split(/[\s,]+/).filter((t) => t !== '');
  const values = list.map(entry);
  const bad = list.find((t, i) => Number.isNaN(values[i]));
  if (bad !== undefined) throw new Error(`${where}: '${bad}' is not a number (a decimal or a fraction p/q)`);
  return values;
}

// {a, b, c} and bHat for a pair, read from `text`; throws an Error naming
// the line whose layout it cannot read. Shapes and sums are the engine's
// to judge.
export function parseTableau(text) {
  const a = [];
  const c = [];
  const weights = [];
  text.split('\n').forEach((raw, i) => {
    const line = raw.replace(/#.*$/, '').trim();
    const where = `line ${i + 1}`;
    if (line === '' || /^[-+=|\s]+$/.test(line)) return;
    const bar = line.indexOf('|');
    if (bar < 0) throw new Error(`${where} has no bar: write the node, then |, then the row of A (or nothing, then |, then the weights)`);
    const left = line.slice(0, bar).trim();
    const right = line.slice(bar + 1);
    if (left === '') {
      weights.push(entries(right, where));
      return;
    }
    if (weights.length) throw new Error(`${where}: a stage after the weights; the weights b (and b_hat) come last`);
    const node = entries(left, where);
    if (node.length !== 1) throw new Error(`${where}: one node left of the bar`);
    c.push(node[0]);
    a.push(entries(right, where));
  });
  if (!c.length) throw new Error('no stages: write one line per stage, node | row of A');
  if (!weights.length) throw new Error('no weights: write the weights b on a line of their own, | b1 b2 ...');
  if (weights.length > 2) throw new Error('at most two weight rows: b, and b_hat for an embedded pair');
  const tableau = { a, b: weights[0], c };
  if (weights.length === 2) tableau.bHat = weights[1];
  return tableau;
}

// The user's schemes by name: {name, a, b, c, bHat?}.
const own = new Map();

export function setOwnScheme(scheme) {
  own.set(scheme.name, scheme);
}

export function removeOwnScheme(name) {
  own.delete(name);
}

export function ownSchemeNamed(name) {
  return own.get(name) || null;
}

const byValue = (s) => (typeof s === 'string' && own.has(s) ? own.get(s) : s);

// A request's data with the user's schemes, named by their names, given by
// value: the engine's workers keep no state between requests.
export function withOwnSchemes(data) {
  if (!own.size || !data) return data;
  const out = { ...data };
  if (Array.isArray(out.schemes)) out.schemes = out.schemes.map(byValue);
  if (out.args && typeof out.args === 'object' && 'scheme' in out.args) out.args = { ...out.args, scheme: byValue(out.args.scheme) };
  return out;
}
