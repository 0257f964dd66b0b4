// A user's own tableau through the page's engine, without a browser: the
// page's text format read into the tableau's numbers; RK4's tableau and
// Bogacki–Shampine's pair, given as the user's own, run bit for bit as the
// built-in schemes do; tableaus the engine refuses, in its words; the
// algebraic order beside the measured one; and the spring's stability limits
// by the engine's stability fields.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { loadEngine } from './engine.mjs';
import { parseTableau, withOwnSchemes, setOwnScheme, removeOwnScheme } from '../../src/tableau.js';

const engine = await loadEngine();

// Kutta's classical scheme, as books write it.
const kRk4Text = `# the classical Runge-Kutta scheme
0   |
1/2 | 1/2
1/2 | 0   1/2
1   | 0   0   1
----+----------------
    | 1/6 1/3 1/3 1/6`;

// Jameson, Schmidt & Turkel's four-stage scheme: RK4's stability
// polynomial, so order 4 on every linear problem, but Σ b·c² = 1/4.
const kJst4 = { name: 'jst4', a: [[], [0.25], [0.0, 1.0 / 3], [0.0, 0.0, 0.5]], b: [0, 0, 0, 1], c: [0, 0.25, 1.0 / 3, 0.5] };

// Bogacki and Shampine's 3(2) pair (Appl. Math. Lett. 2, 1989).
const kBs = `0   |
1/2 | 1/2
3/4 | 0    3/4
1   | 2/9  1/3  4/9
----+--------------------
    | 2/9  1/3  4/9  0
    | 7/24 1/4  1/3  1/8`;

test("the page's format reads a tableau's rows, nodes and weights, fractions divided in double precision", () => {
  assert.deepEqual(parseTableau(kRk4Text), { a: [[], [1 / 2], [0, 1 / 2], [0, 0, 1]], b: [1 / 6, 1 / 3, 1 / 3, 1 / 6], c: [0, 1 / 2, 1 / 2, 1] });
  const pair = parseTableau(kBs);
  assert.deepEqual(pair.bHat, [7 / 24, 1 / 4, 1 / 3, 1 / 8]);
  assert.deepEqual(parseTableau('0 |\n1, | 1\n | 0.5, 0.5e0'), { a: [[], [1]], b: [0.5, 0.5], c: [0, 1] });
  for (const [text, words] of [
    ['0 | \n1 1', /line 2 has no bar/],
    ['0 |\n1 | x\n | 1 0', /line 2: 'x' is not a number/],
    ['0 |\n | 1\n1 | 1', /a stage after the weights/],
    ['0 |', /no weights/],
    [' | 1', /no stages/],
    ['0 |\n | 1\n | 1\n | 1', /at most two weight rows/],
    ['0 1 | \n | 1', /one node left of the bar/],
    ['0 |\n | 1/2/3', /'1\/2\/3' is not a number/],
  ])
    assert.throws(() => parseTableau(text), words, text);
});

// Every column of two runs, bit for bit (NaN matches NaN).
function sameRuns(own, builtin, columns) {
  for (const c of columns) {
    const [a, b] = [own[c.name], builtin[c.name]];
    assert.ok(ArrayBuffer.isView(a) && a.length === b.length && a.length > 1, c.name);
    assert.deepEqual(new Uint8Array(a.buffer, a.byteOffset, a.byteLength), new Uint8Array(b.buffer, b.byteOffset, b.byteLength), c.name);
  }
}

test("RK4's tableau and Bogacki–Shampine's pair, given as the user's, run as the built-in schemes, bit for bit", () => {
  const cases = [
    { own: { name: 'own-rk4', ...parseTableau(kRk4Text) }, builtin: 'rk4', precision: 'single' },
    { own: { name: 'own-bs', ...parseTableau(kBs) }, builtin: 'bogacki-shampine', precision: 'double' },
  ];
  for (const { own, builtin, precision } of cases)
    for (const [model, args] of [
      ['flight', { dt: 0.05 }],
      ['spring', { dt: 0.01, until: 3 }],
    ]) {
      const mine = engine.run(model, { ...args, scheme: own });
      const theirs = engine.run(model, { ...args, scheme: builtin });
      assert.equal(mine.problem, undefined, JSON.stringify(mine.problem));
      assert.equal(mine.precision, precision);
      sameRuns(mine, theirs, engine.columns(model));
      // The CSV the page downloads, the scheme's name aside.
      setOwnScheme(own);
      const { schemes } = withOwnSchemes({ schemes: [own.name] });
      removeOwnScheme(own.name);
      const csv = engine.csv(model, args, schemes);
      assert.equal(typeof csv, 'string', JSON.stringify(csv));
      assert.equal(csv.replaceAll(own.name, builtin), engine.csv(model, args, [builtin]));
    }
});

test("a tableau the engine refuses is refused by every way in, in the engine's words", () => {
  const rk4 = { name: 'bad', ...parseTableau(kRk4Text) };
  const cases = [
    { what: 'c is not the sums of the rows of A', scheme: { ...rk4, c: [0, 0.4, 0.5, 1] }, words: /^c\[1\] = 0\.4 but row 1 of a sums to 0\.5: c must equal the sum of its row of a$/ },
    { what: 'b sums to 1.2', scheme: { ...rk4, b: [0.2, 0.4, 0.4, 0.2] }, words: /^b sums to 1\.2 but must sum to 1/ },
    { what: 'b_hat equals b', scheme: { ...rk4, bHat: rk4.b }, words: /^the two weight rows are equal, so they estimate no error$/ },
    { what: 'b_hat sums to 0.9', scheme: { ...rk4, bHat: [0.1, 0.4, 0.3, 0.1] }, words: /^the second weight row sums to 0\.9 but must sum to 1/ },
    { what: 'A not explicit', scheme: { ...rk4, a: [[0, 1], [0.5], [0, 0.5], [0, 0, 1]] }, words: /^a is not explicit: a\[0\]\[1\] must be 0$/ },
    { what: 'a built-in name', scheme: { ...rk4, name: 'rk4' }, words: /^'rk4' is a built-in scheme's name$/ },
    { what: 'a name that is no word', scheme: { ...rk4, name: 'my,scheme' }, words: /^name 'my,scheme' must be a word of at most 40 letters, digits, '-', '_' or '\.'$/ },
    { what: 'a row of A not numbers', scheme: { ...rk4, a: [[], ['x']] }, words: /^a must be a list of rows of numbers$/ },
  ];
  for (const { what, scheme, words } of cases) {
    const judged = engine.ownScheme(scheme);
    assert.match(judged.problem?.message ?? '', words, what);
    assert.match(engine.run('spring', { scheme }).problem?.message ?? '', words, `${what}: run`);
    assert.match(engine.study('flight', {}, ['rk4', scheme], null).problem?.message ?? '', words, `${what}: study`);
    assert.match(engine.convergence('spring', {}, [scheme], {}, null).problem?.message ?? '', words, `${what}: convergence`);
    assert.match(engine.csv('spring', {}, [scheme]).problem?.message ?? '', words, `${what}: csv`);
  }
});

test('the algebraic order beside the measured one: RK4 4 and 4; a scheme of order 4 on linear problems only, 2 and 4', () => {
  const rk4 = engine.ownScheme({ name: 'own-rk4', ...parseTableau(kRk4Text) });
  assert.equal(rk4.algebraicOrder, 4);
  const jst = engine.ownScheme(kJst4);
  assert.equal(jst.algebraicOrder, 2);
  assert.match(jst.orderReport, /Σ b·c² = 0\.25 but must be 1\/3 for order 3/);
  assert.equal(engine.ownScheme({ name: 'own-bs', ...parseTableau(kBs) }).embeddedOrder, 2);
  const fields = engine.summary('convergence').map((f) => f.name);
  assert.equal(fields[fields.indexOf('order') + 1], 'algebraic_order');
  const study = engine.convergence('flight', {}, ['rk4', kJst4], { levels: 5, withDouble: true }, null);
  const jstRows = study.rows.filter((r) => r.scheme === 'jst4');
  assert.ok(jstRows.length === 10 && jstRows.every((r) => r.algebraic_order === 2 && r.readable.algebraic_order === '2'));
  assert.ok(study.rows.filter((r) => r.scheme === 'rk4').every((r) => r.algebraic_order === null && r.readable.algebraic_order === ''));
  // The linear flight sees order 4 at the finest steps above the floor.
  const measured = jstRows.filter((r) => r.precision === 'double' && Number.isFinite(r.order) && !r.floor).map((r) => r.order);
  assert.ok(measured.length >= 2 && Math.abs(measured[measured.length - 1] - 4) < 0.2, JSON.stringify(measured));
});

test("the spring's stability limits by every stability field, its CSV the same values", () => {
  const fields = engine.summary('stability');
  const study = engine.stability({ ks: 1e4, mass: 1 }, null, null);
  assert.equal(study.problem, undefined, JSON.stringify(study.problem));
  const [head, ...lines] = study.csv.trim().split('\n');
  assert.deepEqual(head.split(','), fields.map((f) => f.name));
  assert.equal(lines.length, study.rows.length);
  study.rows.forEach((row, i) => {
    // The CSV's cells (no field here holds a comma) against the row's values.
    const cells = lines[i].split(',');
    fields.forEach((f, j) => {
      const v = row[f.name];
      if (f.kind === 'flag') assert.equal(v ? '1' : '0', cells[j], `${row.scheme} ${f.name}`);
      else if (typeof v === 'string') assert.equal(v, cells[j], `${row.scheme} ${f.name}`);
      else if (Number.isNaN(v)) assert.equal(cells[j], '', `${row.scheme} ${f.name}`);
      else assert.equal(v, Number(cells[j]), `${row.scheme} ${f.name}`);
      assert.ok(f.name in row.readable, f.name);
    });
  });
  const rk4 = study.rows.find((r) => r.scheme === 'rk4');
  assert.ok(Math.abs(rk4.relative_difference) < 0.01, `rk4 within 1% of theory: ${rk4.relative_difference}`);
  assert.ok(study.notes.length > 0 && study.notes.every((n) => typeof n === 'string' && n.length));
  assert.match(engine.stability({ ks: 0 }, null, null).problem?.text ?? '', /ks/);
  assert.match(engine.stability({}, [kJst4], null).problem?.text ?? '', /./);
});
