// The page made from the engine's tables: every field of its panels is a
// row of the engine's parameter table (label, unit, group, help, start-up
// value, address key), and its tables and its scripts' runs show every
// column and summary field the engine describes, each as the engine shows it.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { launch, open, type, waitForPicture } from './support.mjs';

const browser = await launch();
const { page, errors } = await open(browser);
after(() => browser.close());

const simulations = [
  { model: 'flight', tab: 'tab-ballistics', panel: 'ballistics-panel', prefix: 'b', table: 'b-table', conv: 'b-conv-table' },
  { model: 'spring', tab: 'tab-spring', panel: 'spring-panel', prefix: 's', table: 's-table', conv: 's-conv-table' },
];

const engine = (call, ...args) => page.evaluate((call, args) => window.pbsimEngine[call](...args), call, args);

// The panel's fields as the page shows them.
async function fields(panel) {
  return page.$$eval(`#${panel} .field[data-name]`, (divs) =>
    divs.map((d) => {
      const label = d.querySelector('label');
      const unit = label.querySelector('.unit');
      const input = d.querySelector('input, select');
      return {
        name: d.dataset.name,
        label: label.firstChild.textContent.trim(),
        unit: unit ? unit.textContent : '',
        group: d.closest('fieldset').querySelector('legend').textContent,
        help: input.title,
        value: input.value,
        id: input.id,
        options: input.tagName === 'SELECT' ? [...input.options].map((o) => o.value) : undefined,
      };
    }),
  );
}

test("the panels' fields are the engine's parameters and run options, with their start-up values and address keys", async () => {
  for (const s of simulations) {
    const parameters = await engine('parameters', s.model);
    const options = await engine('runOptions', s.model);
    assert.ok(parameters.length > 0, `${s.model}: the engine has parameters`);
    const expected = parameters.map((p) => ({ name: p.name, label: p.label, unit: p.unit, group: p.group, help: p.help, value: String(p.startUp), id: `${s.prefix}-${p.name}` }));
    const shown = await fields(s.panel);
    const isOption = (f) => options.some((o) => o.name === f.name);
    // The flight's drag law: a choice of the engine's laws, starting at its
    // start-up law, in the group of the field whose unit it sets.
    const choices = shown.filter((f) => f.options && !isOption(f));
    if (s.model === 'flight') {
      const { laws, startUp } = await engine('dragLaws');
      assert.deepEqual(choices.map((f) => [f.name, f.options, f.value, f.id]), [['drag', laws, startUp, `${s.prefix}-drag`]]);
      const governed = parameters.find((p) => p.quadraticUnit);
      assert.ok(governed, 'a parameter whose unit the law sets');
      assert.equal(choices[0].group, governed.group);
      assert.equal(shown[shown.indexOf(choices[0]) + 1].name, governed.name, 'the law sits before the field it governs');
    } else {
      assert.deepEqual(choices, [], `${s.model}: no choice`);
    }
    assert.deepEqual(shown.filter((f) => !f.options && !isOption(f)), expected, `${s.model}: fields at start-up`);
    // The run's own options after the parameters, in the engine's order,
    // with the engine's start-up values (and choices).
    assert.deepEqual(
      shown.filter(isOption).map((f) => [f.name, f.value, f.id, f.options]),
      // An optional one (the spring's until) starts empty: not given.
      options.map((o) => [o.name, o.startUp === null ? '' : String(o.startUp), `${s.prefix}-${o.name}`, o.options]),
      `${s.model}: the run's options`,
    );
    const address = new URLSearchParams((await page.evaluate(() => location.hash)).slice(1));
    for (const p of [...parameters, ...options]) assert.equal(address.get(`${s.prefix}.${p.name}`), p.startUp === null ? '' : String(p.startUp), `${s.model}: the address key of ${p.name}`);
  }
  // Reset brings every field back to its start-up value.
  let before = await type(page, '#b-mass', '2000');
  await waitForPicture(page, before);
  before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.select('#b-drag', 'quadratic');
  await waitForPicture(page, before);
  before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.select('#b-landing', 'interpolated');
  await waitForPicture(page, before);
  await page.click('#tab-spring');
  before = await type(page, '#s-ks', '30');
  await waitForPicture(page, before);
  before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.click('#reset');
  await waitForPicture(page, before + 1);
  for (const s of simulations) {
    const parameters = await engine('parameters', s.model);
    const options = await engine('runOptions', s.model);
    assert.deepEqual(
      (await fields(s.panel)).filter((f) => f.name !== 'drag').map((f) => [f.name, f.value]),
      [...parameters, ...options].map((p) => [p.name, p.startUp === null ? '' : String(p.startUp)]),
      `${s.model}: fields after Reset`,
    );
    if (s.model === 'flight') assert.equal(await page.$eval('#b-drag', (e) => e.value), (await engine('dragLaws')).startUp, 'the drag law after Reset');
  }
  await page.click('#tab-ballistics');
  assert.deepEqual(errors, []);
});

// The headings of a table and the engine's fields each column shows.
async function head(id) {
  return page.$eval(`#${id} thead`, (h) => [...h.rows[0].cells].map((th) => ({ heading: th.textContent, fields: th.dataset.fields.split(' ').filter((f) => f) })));
}

async function bodyRows(id) {
  return page.$eval(`#${id} tbody`, (b) => [...b.rows].map((tr) => [...tr.cells].map((td) => ({ text: td.textContent.trim(), scheme: td.dataset.scheme }))));
}

test('the tables show every summary field the engine describes, each cell as the engine reads it', async () => {
  for (const s of simulations) {
    await page.click(`#${s.tab}`);
    const summary = await engine('summary', s.model);
    const columns = await head(s.table);
    assert.deepEqual(columns.flatMap((c) => c.fields).sort(), summary.map((f) => f.name).sort(), `${s.model}: the fields the table shows`);
    // Each field under the engine's heading; the flags share one column, "note", as in pbsim-study's tables.
    const kindOf = Object.fromEntries(summary.map((f) => [f.name, f.kind]));
    for (const c of columns) {
      if (c.fields.every((f) => kindOf[f] === 'flag')) assert.equal(c.heading, 'note', `${s.model}: the flags' column`);
      else assert.deepEqual([c.heading], c.fields.map((f) => summary.find((x) => x.name === f).heading), `${s.model}: heading of ${c.fields.join(', ')}`);
    }
    // The row of each scheme shown, against the script's run of the same values.
    const values = await page.evaluate((prefix) => Object.fromEntries([...document.querySelectorAll(`#${prefix === 'b' ? 'ballistics' : 'spring'}-panel .field[data-name] input`)].filter((i) => i.value !== '').map((i) => [i.id.slice(prefix.length + 1), Number(i.value)])), s.prefix);
    const rows = (await bodyRows(s.table)).filter((r) => r[0].scheme !== 'exact');
    assert.ok(rows.length > 0, `${s.model}: rows`);
    for (const row of rows) {
      const scheme = row[0].scheme;
      const run = await engine(s.model, { ...values, scheme });
      columns.forEach((c, i) => {
        // The wall time to the browser's timer step (0.1 ms), finer as "< 0.1".
        if (c.fields.includes('wall_ms')) return assert.match(row[i].text, /^(< 0\.1|\d+\.\d)$/, `${s.model} ${scheme}: wall time ${row[i].text}`);
        if (c.fields.includes('scheme')) return assert.equal(row[i].scheme, run.scheme);
        const expected = c.fields.map((f) => run.readable[f]).filter((t) => t !== '').join(', ');
        assert.equal(row[i].text, expected, `${s.model} ${scheme}: ${c.fields.join(', ')}`);
      });
    }
  }
  await page.click('#tab-ballistics');
  assert.deepEqual(errors, []);
});

test("the convergence tables show every field of the engine's convergence rows", async () => {
  const fieldsOfRows = (await engine('summary', 'convergence')).map((f) => f.name);
  for (const s of simulations) {
    await page.click(`#${s.tab}`);
    const before = await page.evaluate(() => window.pbsimPage.studies);
    await page.click(`#${s.prefix}-conv-run`);
    await page.waitForFunction((n) => window.pbsimPage.studies > n, { timeout: 120000 }, before);
    assert.deepEqual((await head(s.conv)).map((c) => c.fields), fieldsOfRows.map((f) => [f]), `${s.model}: the convergence table's columns`);
    const rows = await bodyRows(s.conv);
    assert.ok(rows.length > 0 && rows.every((r) => r.length === fieldsOfRows.length), `${s.model}: every row has every field`);
  }
  await page.click('#tab-ballistics');
  assert.deepEqual(errors, []);
});

test("the scripts' runs carry every column the engine describes, as typed arrays of their kind", async () => {
  for (const s of simulations) {
    const columns = await engine('columns', s.model);
    const summary = await engine('summary', s.model);
    for (const precision of ['single', 'double']) {
      const run = await page.evaluate(
        async (model, precision) => {
          const r = await window.pbsimEngine[model]({ precision });
          return Object.fromEntries(Object.entries(r).map(([k, v]) => [k, ArrayBuffer.isView(v) ? { type: v.constructor.name, length: v.length } : typeof v]));
        },
        s.model,
        precision,
      );
      for (const c of columns) {
        assert.ok(run[c.name], `${s.model} ${precision}: column ${c.name}`);
        assert.equal(run[c.name].length, run.t.length, `${s.model} ${precision}: ${c.name} has a value per point`);
        // A model value in single precision is a float32, or a double that
        // holds it exactly (the times k·h); bits.test.mjs pins the states.
        const types = c.kind === 'count' ? ['Int32Array'] : c.kind === 'model' && precision === 'single' ? ['Float32Array', 'Float64Array'] : c.kind === 'float32' ? ['Float32Array'] : ['Float64Array'];
        assert.ok(types.includes(run[c.name].type), `${s.model} ${precision}: ${c.name} (${c.kind}) is a ${run[c.name].type}`);
      }
      for (const f of summary) assert.equal(run[f.name], f.kind === 'text' ? 'string' : f.kind === 'flag' ? 'boolean' : 'number', `${s.model} ${precision}: ${f.name}`);
    }
  }
});
