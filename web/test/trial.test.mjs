// What a teacher's trial of the page asked for, driven as a user drives it:
// the spring's until field (the README's 10 s energy lesson, pbsim-study's
// numbers), a diverged run's note and readable axes, energies of several
// schemes on one plot, the oblique start of the 3-D view, the convergence
// plot's line legend and T rule, and the settings a downloaded CSV records.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, readdirSync, mkdtempSync } from 'node:fs';
import { join } from 'node:path';
import { tmpdir } from 'node:os';
import { launch, open, type, waitForPicture, study, shotPath } from './support.mjs';

const browser = await launch();
after(() => browser.close());

const pictures = (page) => page.evaluate(() => window.pbsimPage.pictures);
async function click(page, selector) {
  const before = await pictures(page);
  await page.click(selector);
  await waitForPicture(page, before);
}
const energyDriftCell = (page) =>
  page.$eval('#s-table', (t) => {
    const at = [...t.tHead.rows[0].cells].findIndex((th) => th.dataset.fields.split(' ').includes('energy_drift'));
    return t.tBodies[0].rows[0].cells[at].textContent.trim();
  });

test("the spring's until: the 10 s lesson is pbsim-study's, refused in the engine's words, kept in the settings", async () => {
  const { page, errors } = await open(browser, { hash: '#sim=spring' });
  for (const [id, text] of [['#s-kd', '0'], ['#s-dt', '0.05'], ['#s-until', '10']]) await waitForPicture(page, await type(page, id, text));
  const schemes = ['euler', 'midpoint', 'rk4', 'symplectic-euler', 'verlet'];
  const summary = study(['spring', '--kd', '0', '--dt', '0.05', '--until', '10', '--schemes', schemes.join(','), '--summary', '-']).trim().split('\n');
  const names = summary[0].split(',');
  for (const line of summary.slice(1)) {
    const row = Object.fromEntries(line.split(',').map((v, i) => [names[i], v]));
    await click(page, `#s-scheme-${row.scheme}`);
    // The page's engine: the same energy_drift, to the last bit.
    const run = await page.evaluate((scheme) => window.pbsimEngine.spring({ kd: 0, dt: 0.05, until: 10, scheme }).then((r) => ({ drift: r.energy_drift, cell: r.readable.energy_drift, stop: r.stop })), row.scheme);
    assert.equal(run.drift, Number(row.energy_drift), `${row.scheme}: energy_drift`);
    assert.equal(run.stop, row.stop);
    // The page's table: that run's cell.
    const cell = await energyDriftCell(page);
    assert.equal(cell, run.cell, `${row.scheme}: the table's energy_drift`);
    console.log(`until 10: ${row.scheme} energy_drift ${cell}`);
  }
  // Kept in the settings and restored from them.
  assert.match(page.url(), /s\.until=10/);
  const { page: other } = await open(browser, { url: page.url() });
  assert.equal(await other.$eval('#s-until', (i) => i.value), '10');
  await other.close();
  // Refused in the engine's words.
  const words = await page.evaluate(() => window.pbsimEngine.spring({ until: 0 }).then(() => '', (e) => e.message));
  assert.equal(words, 'until must be greater than 0');
  await type(page, '#s-until', '0');
  await page.waitForFunction(() => document.getElementById('s-until-msg').textContent !== '');
  assert.equal(await page.$eval('#s-until-msg', (m) => m.textContent), 'Until must be greater than 0');
  // Empty: not given, the run goes on to pbsim's limit.
  const before = await type(page, '#s-until', '');
  await page.keyboard.press('Backspace');
  await waitForPicture(page, before);
  assert.equal(await page.$eval('#s-until-msg', (m) => m.textContent), '');
  assert.match(await page.$eval('#s-table tbody', (b) => b.textContent), /sample_limit/);
  assert.deepEqual(errors, []);
  await page.close();
});

test('an undamped Euler that overflows: the note says it diverged, every axis keeps numbers; energies of several schemes on one plot', async () => {
  const { page, errors } = await open(browser, { hash: '#sim=spring&s.kd=0&s.dt=0.1&s.scheme=euler' });
  const printed = study(['spring', '--kd', '0', '--dt', '0.1', '--schemes', 'euler']);
  const diverged = printed.split('\n').find((l) => l.startsWith('euler: diverged'));
  assert.ok(diverged, printed);
  const notes = await page.$$eval('#s-warnings p', (ps) => ps.map((p) => p.textContent));
  assert.ok(notes.includes(diverged), `${notes}`);
  for (const id of ['s-height-plot', 's-energy-plot', 's-error-plot']) {
    const [xs, ys] = JSON.parse(await page.$eval(`#${id}`, (e) => e.dataset.ticks));
    const shown = ys.filter((l) => l !== '');
    assert.ok(shown.length >= 2, `${id}: y labels ${ys}`);
    for (const label of [...xs, ...shown]) assert.ok(!/NaN|Infinity/.test(label), `${id}: ${label}`);
    for (const label of xs) assert.notEqual(label, '', `${id}: x labels ${xs}`);
    console.log(`${id}: y axis ${ys.join(' ')}, labelled "${await page.$eval(`#${id}`, (e) => e.querySelector('.u-label:last-of-type')?.textContent || '')}"`);
  }
  // Energies compared: a curve per scheme ticked, in its colour.
  await click(page, '#s-compare-verlet');
  await click(page, '#s-compare-rk4');
  const label = await page.$eval('#s-energy-plot', (e) => e.getAttribute('aria-label'));
  assert.equal(label, 'Energy: E, Euler; E + W_damping, Euler; E, exact; E, RK4; E, Velocity Verlet');
  assert.match(page.url(), /s\.energies=rk4%2Cverlet|s\.energies=rk4,verlet/);
  assert.deepEqual(errors, []);
  await page.close();
});

test('the 3-D view starts oblique on the arc, with axes', async () => {
  const { page, errors } = await open(browser);
  const path = shotPath('ballistics-start.png');
  await (await page.$('#b-view canvas')).screenshot({ path });
  const rk4 = (await page.evaluate(() => window.pbsimEngine.schemes())).find((s) => s.name === 'rk4').colour.map((c) => c * 255);
  // The PNG read back (decoded by the browser): the rows and columns RK4's colour is in.
  const png = await page.evaluate(
    async (b64, rk4) => {
      const img = new Image();
      img.src = `data:image/png;base64,${b64}`;
      await img.decode();
      const c = document.createElement('canvas');
      c.width = img.width;
      c.height = img.height;
      const ctx = c.getContext('2d');
      ctx.drawImage(img, 0, 0);
      const data = ctx.getImageData(0, 0, c.width, c.height).data;
      const rows = new Set();
      const columns = new Set();
      for (let y = 0; y < c.height; y++)
        for (let x = 0; x < c.width; x++) {
          const i = 4 * (y * c.width + x);
          if ([0, 1, 2].every((k) => Math.abs(data[i + k] - rk4[k]) < 40)) {
            rows.add(y);
            columns.add(x);
          }
        }
      return { width: c.width, height: c.height, rows: rows.size, columns: columns.size };
    },
    readFileSync(path).toString('base64'),
    rk4,
  );
  const rows = { size: png.rows };
  const columns = { size: png.columns };
  // The arc spreads over both directions (head-on it is a line).
  assert.ok(rows.size > png.height / 5 && columns.size > png.width / 5, `RK4's pixels over ${columns.size} columns and ${rows.size} rows of ${png.width}x${png.height}`);
  console.log(`the arc at the start: ${columns.size} columns, ${rows.size} rows of ${png.width}x${png.height} (${path})`);
  assert.match(await page.$eval('#b-view canvas', (c) => c.getAttribute('aria-label')), /obliquely, with the x, y and z axes/);
  assert.deepEqual(errors, []);
  await page.close();
});

test("the convergence plot's legend, its T rule, and the settings of a study's CSV", async () => {
  const { page, errors } = await open(browser);
  const n = await page.evaluate(() => window.pbsimPage.studies);
  await page.click('#b-conv-run');
  await page.waitForFunction((n) => window.pbsimPage.studies > n && !document.getElementById('b-conv-progress').textContent.startsWith('Studying'), { timeout: 120000 }, n);
  const key = await page.$$eval('#b-conv-plot ~ figcaption .line-sample, #b-conv-plot + figcaption .line-sample', (s) => s.map((e) => [e.dataset.precision, e.textContent.trim(), e.querySelector('line').getAttribute('stroke-dasharray')]));
  assert.deepEqual(key, [['single', 'solid: single precision', null], ['double', 'dashed: double precision', '6 4']]);
  // T follows dt: pbsim-study's T, n whole steps of dt.
  const rule = await page.$eval('#b-conv-t', (p) => p.textContent);
  const printed = study(['convergence', 'flight']);
  const at = Number(printed.match(/T = ([0-9.e+-]+) s/)[1]);
  const [, steps, dt, T] = rule.match(/^T = n·dt: .*; here n = (\d+) steps of dt = ([0-9.]+) s, T = ([0-9.]+) s\.$/);
  assert.ok(Math.abs(Number(T) - at) <= 1e-5 * at, `${rule} / pbsim-study T = ${at}`);
  assert.ok(Math.abs(Number(steps) * Number(dt) - at) <= 1e-6 * at, rule);
  console.log(`T rule: ${rule}`);
  // The study's CSV: a settings line, then pbsim-study's header.
  const folder = mkdtempSync(join(tmpdir(), 'pbsim-web-'));
  const cdp = await page.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
  await page.click('#b-conv-csv');
  for (let i = 0; i < 200 && !readdirSync(folder).includes('pbsim-convergence-flight.csv'); i++) await new Promise((r) => setTimeout(r, 50));
  const [settings, header] = readFileSync(join(folder, 'pbsim-convergence-flight.csv'), 'utf8').split('\n');
  assert.match(settings, /^# pbsim [0-9.]+ convergence flight, settings: .*\bdt=0\.1\b.*, schemes=euler midpoint rk4, levels=\d+, withDouble=false, sweep=auto, quantity=at_time$/);
  assert.equal(header, study(['convergence', 'flight', '--csv', '-']).split('\n')[0]);
  assert.deepEqual(errors, []);
  await page.close();
});
