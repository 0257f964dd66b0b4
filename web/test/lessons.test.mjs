// The page for the lessons after fixed steps, driven as a user drives it:
// the implicit and adaptive schemes ticked under their kinds, in double
// precision and saying so; their numbers pbsim-study's; rtol and atol shown
// for adaptive schemes and refused in the engine's words; the landing rule;
// the convergence study's quantity and sweep, its table pbsim-study's and
// its plots drawn in the schemes' colours where each belongs; the spring's
// E + W_damping; and all of it kept in the address.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { launch, open, type, waitForPicture, study, studyTable, pageTable } from './support.mjs';

const browser = await launch();
after(() => browser.close());

const engine = (page, call, ...args) => page.evaluate((call, args) => window.pbsimEngine[call](...args), call, args);
const visible = (page, id) => page.$eval(`#${id}`, (e) => e.offsetParent !== null);
const pictures = (page) => page.evaluate(() => window.pbsimPage.pictures);

async function click(page, selector) {
  const before = await pictures(page);
  await page.click(selector);
  await waitForPicture(page, before);
}

async function choose(page, selector, value) {
  const before = await pictures(page);
  await page.select(selector, value);
  await waitForPicture(page, before);
}

// The table's rows without the wall time (which differs from run to run).
async function shownRows(page, id) {
  const wall = await page.$eval(`#${id} thead`, (head) => [...head.rows[0].cells].findIndex((th) => th.dataset.fields === 'wall_ms') - 1);
  const rows = await pageTable(page, id);
  return { wall, rows: Object.fromEntries(Object.entries(rows).map(([k, cells]) => [k, cells.filter((c, i) => i !== wall && c !== '')])) };
}

// The engine's readable cells of a run as the page's table shows them.
async function readableRow(page, model, args) {
  const head = await page.$eval(`#${model === 'flight' ? 'b' : 's'}-table thead`, (h) => [...h.rows[0].cells].map((th) => th.dataset.fields.split(' ')));
  const run = await engine(page, model, args);
  return head
    .slice(1)
    .filter((fields) => !fields.includes('wall_ms'))
    .map((fields) => fields.map((f) => run.readable[f]).filter((t) => t !== '').join(', '))
    .filter((c) => c !== '');
}

// Pixels of a plot's canvas near each colour (0..1 components).
async function plotPixels(page, id, colours) {
  return page.evaluate(
    (id, colours) => {
      const canvas = document.querySelector(`#${id} canvas`);
      if (!canvas) return colours.map(() => 0);
      const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      return colours.map((c) => {
        let n = 0;
        for (let i = 0; i < data.length; i += 4) if (data[i + 3] > 200 && [0, 1, 2].every((k) => Math.abs(data[i + k] - c[k] * 255) < 40)) n++;
        return n;
      });
    },
    id,
    colours,
  );
}

test('the new schemes under their kinds, in double precision and saying so, their numbers pbsim-study\'s; rtol and atol for adaptive schemes', async () => {
  const { page, errors } = await open(browser);
  const schemes = await engine(page, 'schemes');
  // Each scheme under its kind, in the table's order; the double-only ones tagged.
  const groups = await page.$$eval('#b-schemes .kind', (divs) => divs.map((d) => [d.dataset.kind, [...d.querySelectorAll('input')].map((i) => i.value), [...d.querySelectorAll('.tag')].map((t) => t.textContent)]));
  const kinds = [...new Set(schemes.map((s) => s.kind))];
  assert.deepEqual(
    groups,
    kinds.map((k) => [k, schemes.filter((s) => s.kind === k).map((s) => s.name), schemes.filter((s) => s.kind === k && !s.single).map((s) => s.defaultPrecision)]),
  );
  assert.deepEqual(kinds, ['explicit', 'implicit', 'adaptive']);
  const options = await engine(page, 'runOptions', 'flight');
  const tolerances = options.filter((o) => o.adaptive);
  for (const o of tolerances) assert.equal(await visible(page, `b-${o.name}`), false, `${o.name} hidden without an adaptive scheme`);

  // Tick an implicit and the adaptive schemes.
  const added = schemes.filter((s) => s.kind !== 'explicit' && s.name !== 'implicit-midpoint').map((s) => s.name);
  for (const name of added) await click(page, `#b-scheme-${name}`);
  for (const o of tolerances) {
    assert.equal(await visible(page, `b-${o.name}`), true, `${o.name} shown`);
    assert.equal(await page.$eval(`#b-${o.name}`, (i) => i.value), String(o.startUp));
  }
  const notes = await page.$$eval('#b-warnings p', (ps) => ps.map((p) => p.textContent));
  for (const name of added) assert.ok(notes.includes(`${schemes.find((s) => s.name === name).precisionNote}: its numbers here are double precision.`), `${name}: ${notes}`);
  const chosen = ['euler', 'midpoint', 'rk4', ...added];
  const printed = studyTable(study(['flight', '--schemes', chosen.join(',')]));
  const { wall, rows } = await shownRows(page, 'b-table');
  for (const name of [...chosen, 'exact']) assert.deepEqual(rows[name], printed[name].filter((c, i) => i !== wall && c !== ''), `${name}: pbsim-study's row`);

  // The landing on the interpolant: pbsim-study's numbers for it, and the engine's.
  await choose(page, '#b-landing', 'interpolated');
  const interpolated = studyTable(study(['flight', '--landing', 'interpolated', '--schemes', chosen.join(',')]));
  for (const name of chosen) {
    const row = (await shownRows(page, 'b-table')).rows[name];
    assert.deepEqual(row, interpolated[name].filter((c, i) => i !== wall && c !== ''), `${name} interpolated: pbsim-study's row`);
    assert.deepEqual(row, await readableRow(page, 'flight', { scheme: name, landing: 'interpolated' }), `${name} interpolated: the engine's row`);
  }

  // A tolerance refused in the engine's words, beside its field; the last numbers stay.
  const stable = await page.$eval('#b-table tbody', (b) => b.textContent);
  await type(page, '#b-rtol', '0');
  await page.waitForFunction(() => document.getElementById('b-rtol-msg').textContent !== '');
  const words = await page.evaluate(() => window.pbsimEngine.flight({ scheme: 'dopri5', rtol: 0 }).then(() => '', (e) => e.message));
  assert.equal(words, 'rtol must be a finite number above 0');
  assert.equal(await page.$eval('#b-rtol-msg', (m) => m.textContent), words);
  assert.equal(await page.$eval('#b-rtol', (i) => i.getAttribute('aria-invalid')), 'true');
  assert.equal(await page.$eval('#b-table tbody', (b) => b.textContent), stable);
  // A refused tolerance stays in sight even without an adaptive scheme.
  await page.click('#b-scheme-dopri5');
  await page.click('#b-scheme-bogacki-shampine');
  assert.equal(await visible(page, 'b-rtol'), true, 'the refused rtol stays shown');
  await page.click('#b-scheme-dopri5');
  await page.click('#b-scheme-bogacki-shampine');
  const before = await type(page, '#b-rtol', '1e-9');
  await waitForPicture(page, before);
  assert.equal(await page.$eval('#b-rtol-msg', (m) => m.textContent), '');
  const tight = studyTable(study(['flight', '--landing', 'interpolated', '--rtol', '1e-9', '--schemes', chosen.join(',')]));
  assert.deepEqual((await shownRows(page, 'b-table')).rows.dopri5, tight.dopri5.filter((c, i) => i !== wall && c !== ''), "rtol 1e-9: pbsim-study's row");

  // The address keeps the landing and the tolerance.
  const link = page.url();
  assert.match(link, /b\.landing=interpolated/);
  assert.match(link, /b\.rtol=1e-9/);
  const { page: other } = await open(browser, { url: link });
  assert.equal(await other.$eval('#b-landing', (e) => e.value), 'interpolated');
  assert.equal(await other.$eval('#b-rtol', (e) => e.value), '1e-9');
  assert.deepEqual((await shownRows(other, 'b-table')).rows.dopri5, (await shownRows(page, 'b-table')).rows.dopri5);
  await other.close();

  // Without an adaptive scheme the tolerances go out of sight.
  await click(page, '#b-scheme-dopri5');
  await click(page, '#b-scheme-bogacki-shampine');
  for (const o of tolerances) assert.equal(await visible(page, `b-${o.name}`), false, `${o.name} hidden again`);
  assert.deepEqual(errors, []);
  await page.close();
});

test("the convergence study's sweep and quantity: pbsim-study's table, the engine's words, and each plot in the schemes' colours where they belong", async () => {
  const { page, errors } = await open(browser);
  const schemes = await engine(page, 'schemes');
  const colour = Object.fromEntries(schemes.map((s) => [s.name, s.colour]));
  await click(page, '#b-scheme-dopri5');
  const settings = await engine(page, 'convergenceSettings');
  assert.deepEqual(await page.$$eval('#b-sweep option', (os) => os.map((o) => o.value)), settings.sweeps);
  assert.deepEqual(await page.$$eval('#b-quantity option', (os) => os.map((o) => o.value)), settings.quantities);
  assert.equal(await page.$eval('#b-sweep', (s) => s.value), settings.sweep);
  // Runs the study and waits until the page shows the newest one (a
  // change of a setting starts one too).
  const runStudy = async () => {
    const n = await page.evaluate(() => window.pbsimPage.studies);
    await page.click('#b-conv-run');
    await page.waitForFunction((n) => window.pbsimPage.studies > n && !document.getElementById('b-conv-progress').textContent.startsWith('Studying'), { timeout: 120000 }, n);
  };
  await runStudy();
  // The table is pbsim-study's: fixed-step levels of dt, dopri5's of rtol.
  const rows = await page.$eval('#b-conv-table tbody', (b) => [...b.rows].map((tr) => [...tr.cells].map((td) => td.dataset.scheme || td.textContent.trim())));
  const printed = study(['convergence', 'flight', '--schemes', 'euler,midpoint,rk4,dopri5'])
    .split('\n')
    .filter((l) => /^(euler|midpoint|rk4|dopri5)\s/.test(l))
    .map((l) => l.trim().split(/\s+/));
  // Equal errors give an order of 0 whose sign is that of an ulp of the
  // closed form's exp (the C libraries differ there): "-0.00" is "0.00".
  const unsigned = (cells) => cells.map((c) => (c === '-0.00' ? '0.00' : c));
  assert.deepEqual(
    rows.map((r) => unsigned(r.filter((c) => c !== ''))),
    printed.map(unsigned),
  );
  // Each plot: fixed-step schemes against h, all against evaluations, the adaptive one against rtol.
  const [rk4, dopri5] = [colour.rk4, colour.dopri5];
  const [stepRk4, stepDopri5] = await plotPixels(page, 'b-conv-plot', [rk4, dopri5]);
  const [workRk4, workDopri5] = await plotPixels(page, 'b-work-plot', [rk4, dopri5]);
  const [tolRk4, tolDopri5] = await plotPixels(page, 'b-tol-plot', [rk4, dopri5]);
  const counts = { stepRk4, stepDopri5, workRk4, workDopri5, tolRk4, tolDopri5 };
  assert.ok(stepRk4 > 30 && workRk4 > 30 && workDopri5 > 30 && tolDopri5 > 30, JSON.stringify(counts));
  assert.equal(stepDopri5, 0, `dopri5 has no h: ${JSON.stringify(counts)}`);
  assert.equal(tolRk4, 0, `rk4 has no rtol: ${JSON.stringify(counts)}`);
  assert.match(await page.$eval('#b-work-plot', (e) => e.getAttribute('aria-label')), /^Work against precision: .*RK4 \(single\).*Dormand-Prince 5\(4\) \(double\)/);
  console.log(`plot pixels: ${JSON.stringify(counts)}`);

  // A sweep of dt with an adaptive scheme ticked: the engine's words.
  await page.select('#b-sweep', 'dt');
  await page.waitForFunction(() => /is adaptive/.test(document.getElementById('b-conv-progress').textContent), { timeout: 60000 });
  assert.equal(await page.$eval('#b-conv-progress', (p) => p.textContent), 'dopri5 is adaptive: it chooses its own steps, so its study sweeps rtol, not dt');
  assert.equal(await page.$$eval('#b-conv-table tbody tr', (r) => r.length), 0);

  // The landing point, by the interpolated rule: RK4's order 4 shows in double precision.
  await choose(page, '#b-landing', 'interpolated');
  await click(page, '#b-scheme-dopri5');
  await page.select('#b-quantity', 'landing');
  await page.click('#b-double');
  await runStudy();
  assert.match(await page.$eval('#b-conv-progress', (p) => p.textContent), /^Landing point misses, each ground point placed by the interpolated landing rule/);
  const cells = await page.$eval('#b-conv-table tbody', (b) => [...b.rows].map((tr) => [...tr.cells].map((td) => td.dataset.scheme || td.textContent.trim())));
  const landingStudy = study(['convergence', 'flight', '--quantity', 'landing', '--landing', 'interpolated', '--sweep', 'dt', '--double', '--schemes', 'euler,midpoint,rk4'])
    .split('\n')
    .filter((l) => /^(euler|midpoint|rk4)\s/.test(l))
    .map((l) => l.trim().split(/\s+/));
  assert.deepEqual(
    cells.map((r) => r.filter((c) => c !== '')),
    landingStudy,
    "the landing point's study is pbsim-study's",
  );
  const finest = (name) => cells.filter((r) => r[0] === name && r[1] === 'double' && r[7] === '').pop();
  console.log(`landing point orders shown (double, last above the floor): euler ${finest('euler')[6]}, midpoint ${finest('midpoint')[6]}, rk4 ${finest('rk4')[6]}`);
  // The address keeps the study's settings.
  assert.match(page.url(), /b\.quantity=landing/);
  assert.match(page.url(), /b\.sweep=dt/);
  assert.deepEqual(errors, []);
  await page.close();
});

test("the spring: an adaptive run's energy plot shows E and E + W_damping, and the playback follows its uneven steps", async () => {
  const { page, errors } = await open(browser);
  await page.click('#tab-spring');
  await click(page, '#s-scheme-dopri5');
  assert.equal(await visible(page, 's-rtol'), true);
  const label = await page.$eval('#s-energy-plot', (e) => e.getAttribute('aria-label'));
  assert.equal(label, 'Energy: E, Dormand-Prince 5(4); E + W_damping, Dormand-Prince 5(4); E, exact');
  const run = await page.evaluate(() => window.pbsimEngine.spring({ scheme: 'dopri5' }).then((r) => ({ t: Array.from(r.t), y: Array.from(r.y), balance: r.energy_balance_drift })));
  const { rows } = await shownRows(page, 's-table');
  assert.deepEqual(rows.dopri5, await readableRow(page, 'spring', { scheme: 'dopri5' }));
  assert.ok(run.balance < 1e-3, `E + W drifts by ${run.balance} of E0`);
  // The playback at a sample's time shows that sample, at a step's middle the middle.
  for (const k of [1, 7, Math.floor(run.t.length / 2)]) {
    await page.$eval('#s-time', (s, t) => {
      s.value = String(t);
      s.dispatchEvent(new Event('input'));
    }, run.t[k]);
    const shownTime = await page.$eval('#s-time', (s) => Number(s.value));
    assert.ok(Math.abs(shownTime - run.t[k]) <= 1e-12 * run.t[k], `sample ${k}: the slider at ${shownTime}, not ${run.t[k]}`);
  }
  assert.deepEqual(errors, []);
  await page.close();
});
