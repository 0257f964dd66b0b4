// The page's own schemes and stability view in headless Chromium: RK4's
// tableau typed into the page runs as the built-in rk4, bit for bit, in the
// flight's and the spring's CSV downloads; tableaus the engine refuses show
// its words; the convergence table shows the algebraic order beside the
// measured one; and the spring's stability table holds pbsim-study's
// stability CSV, value for value, with its notes.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { launch, open, type, waitForPicture, study } from './support.mjs';

let browser;
let page;
let errors;
let folder;
before(async () => {
  browser = await launch();
  ({ page, errors } = await open(browser));
  folder = mkdtempSync(join(tmpdir(), 'pbsim-own-'));
  const cdp = await page.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
});
after(async () => {
  await browser?.close();
  rmSync(folder, { recursive: true, force: true });
});

const kRk4 = `0   |
1/2 | 1/2
1/2 | 0   1/2
1   | 0   0   1
----+----------------
    | 1/6 1/3 1/3 1/6`;

// Jameson, Schmidt & Turkel's four-stage scheme: order 4 on linear
// problems, 2 by the order conditions.
const kJst4 = `0   |
1/4 | 1/4
1/3 | 0 1/3
1/2 | 0 0 1/2
    | 0 0 0 1`;

// A downloaded CSV's rows by column, after its leading "# ..." settings line.
function csvRows(text) {
  const [head, ...lines] = text.trim().split('\n').filter((l) => !l.startsWith('#'));
  const names = head.split(',');
  return lines.map((l) => Object.fromEntries(l.split(',').map((v, i) => [names[i], v])));
}

// The tableau given to the page's form; the engine's answer in its message.
async function useScheme(name, text) {
  await page.$eval('#own-tableau', (t, text) => (t.value = text), text);
  await page.click('#own-name', { clickCount: 3 });
  await page.keyboard.type(name);
  await page.$eval('#own-msg', (m) => (m.textContent = ''));
  await page.click('#own-use');
  await page.waitForFunction(() => /\S/.test(document.getElementById('own-msg').textContent) && !document.getElementById('own-msg').textContent.startsWith('Checking'), { timeout: 30000 });
  return page.$eval('#own-msg', (m) => m.textContent);
}

async function downloaded(button, name) {
  rmSync(join(folder, name), { force: true });
  await page.click(button);
  for (let i = 0; i < 200 && !readdirSync(folder).includes(name); i++) await new Promise((r) => setTimeout(r, 50));
  return readFileSync(join(folder, name), 'utf8');
}

async function picturesAfter(action) {
  const before = await page.evaluate(() => window.pbsimPage.pictures);
  await action();
  await waitForPicture(page, before);
}

test("RK4's tableau typed into the page runs as the built-in rk4, bit for bit (flight and spring CSV)", async () => {
  if (!(await page.$eval('#b-scheme-rk4', (b) => b.checked))) await picturesAfter(() => page.click('#b-scheme-rk4'));
  let said;
  await picturesAfter(async () => (said = await useScheme('mine', kRk4)));
  assert.match(said, /^mine: 4 stages, algebraic order 4/);
  assert.ok(await page.$eval('#b-scheme-mine', (b) => b.checked));
  const rows = csvRows(await downloaded('#download-csv', 'pbsim-flight.csv'));
  const mine = rows.filter((r) => r.scheme === 'mine');
  const rk4 = rows.filter((r) => r.scheme === 'rk4');
  assert.ok(mine.length > 10 && mine.length === rk4.length, `${mine.length} rows`);
  mine.forEach((r, i) => assert.deepEqual({ ...r, scheme: 'rk4' }, rk4[i], `flight row ${i}`));
  assert.equal(mine[0].precision ?? 'single', 'single');

  await page.click('#tab-spring');
  await picturesAfter(() => page.click('#s-scheme-mine'));
  const own = await downloaded('#download-csv', 'pbsim-spring.csv');
  await picturesAfter(() => page.click('#s-scheme-rk4'));
  const builtin = await downloaded('#download-csv', 'pbsim-spring.csv');
  assert.ok(csvRows(own).length > 10 && csvRows(own).every((r) => r.scheme === undefined || r.scheme === 'mine'));
  assert.equal(own.replaceAll('mine', 'rk4'), builtin);
  await page.click('#tab-ballistics');
  assert.deepEqual(errors, []);
});

test("a tableau the engine refuses shows the engine's words, and nothing changes", async () => {
  const schemes = await page.$$eval('#b-schemes input', (b) => b.map((x) => x.value));
  const cases = [
    { what: 'c is not the sums of the rows of A', text: kRk4.replace('1/2 | 0   1/2', '0.4 | 0   1/2'), words: /c\[2\] = 0\.4 but row 2 of a sums to 0\.5: c must equal the sum of its row of a/ },
    { what: 'b sums to 1.2', text: kRk4.replace('| 1/6 1/3 1/3 1/6', '| 0.2 0.4 0.4 0.2'), words: /b sums to 1\.2 but must sum to 1/ },
    { what: 'b_hat equals b', text: `${kRk4}\n    | 1/6 1/3 1/3 1/6`, words: /the two weight rows are equal, so they estimate no error/ },
    { what: 'a word in A', text: kRk4.replace('1   | 0   0   1', '1   | 0   zero   1'), words: /line 4: 'zero' is not a number/ },
  ];
  for (const { what, text, words } of cases) {
    assert.notEqual(text, kRk4, what);
    const said = await useScheme('bad', text);
    assert.match(said, words, what);
    assert.equal(await page.$eval('#own-tableau', (t) => t.getAttribute('aria-invalid')), 'true', what);
  }
  assert.deepEqual(await page.$$eval('#b-schemes input', (b) => b.map((x) => x.value)), schemes);
  assert.deepEqual(errors, []);
});

// The convergence table's rows of `scheme`: {field: cell}.
async function convergenceRows(scheme) {
  const before = await page.evaluate(() => window.pbsimPage.studies);
  await page.click('#b-conv-run');
  await page.waitForFunction((n) => window.pbsimPage.studies > n, { timeout: 120000 }, before);
  const fields = await page.$eval('#b-conv-table thead', (h) => [...h.rows[0].cells].map((th) => th.dataset.fields));
  const rows = await page.$eval('#b-conv-table tbody', (b) => [...b.rows].map((tr) => [...tr.cells].map((td) => td.dataset.scheme || td.textContent.trim())));
  return rows.map((r) => Object.fromEntries(fields.map((f, i) => [f, r[i]]))).filter((r) => r.scheme === scheme);
}

test('the convergence table shows the algebraic order beside the measured one: 4 for RK4, 2 for a scheme of order 4 on linear problems only', async () => {
  // Only the user's scheme, so that the study is short.
  for (const box of await page.$$('#b-schemes input:checked')) if ((await box.evaluate((b) => b.value)) !== 'mine') await picturesAfter(() => box.click());
  const fields = await page.$eval('#b-conv-table thead', (h) => [...h.rows[0].cells].map((th) => th.dataset.fields));
  assert.equal(fields[fields.indexOf('order') + 1], 'algebraic_order');
  // With the double twins, whose errors fall with the order before rounding floors them.
  if (!(await page.$eval('#b-double', (b) => b.checked))) await page.click('#b-double');
  const rk4 = await convergenceRows('mine');
  assert.ok(rk4.length >= 4 && rk4.every((r) => r.algebraic_order === '4'), JSON.stringify(rk4));

  let said;
  await picturesAfter(async () => (said = await useScheme('jst4', kJst4)));
  assert.match(said, /^jst4: 4 stages, algebraic order 2 \(.*Σ b·c² = 0\.25 but must be 1\/3 for order 3/);
  const jst = await convergenceRows('jst4');
  assert.ok(jst.length >= 4 && jst.every((r) => r.algebraic_order === '2'), JSON.stringify(jst));
  const measured = jst.filter((r) => r.precision === 'double' && r.order !== '' && r.floor === '').map((r) => Number(r.order));
  assert.ok(measured.length >= 2 && Math.abs(measured[measured.length - 1] - 4) < 0.2, `measured on the linear flight: ${measured}`);
  assert.deepEqual(errors, []);
});

test("the spring's stability table is pbsim-study's stability CSV, value for value, with its notes", async () => {
  await page.click('#tab-spring');
  for (const [field, value] of [['#s-ks', '1e4'], ['#s-mass', '1']]) await waitForPicture(page, await type(page, field, value));
  await page.click('#s-stab-run');
  await page.waitForFunction(() => document.querySelector('#s-stab-table tbody').rows.length > 0, { timeout: 60000 });
  const printed = study(['stability', 'spring', '--ks', '1e4', '--mass', '1', '--summary', '-']);
  const [head, ...lines] = printed.trim().split('\n');
  const fields = await page.$eval('#s-stab-table thead', (h) => [...h.rows[0].cells].map((th) => th.dataset.fields));
  assert.deepEqual(fields, head.split(','));
  const cells = await page.$eval('#s-stab-table tbody', (b) => [...b.rows].map((tr) => [...tr.cells].map((td) => td.dataset.value)));
  assert.equal(cells.length, lines.length);
  lines.forEach((line, i) =>
    line.split(',').forEach((value, j) => {
      const shown = cells[i][j];
      if (fields[j] === 'unstable_at_dt') assert.equal(shown === 'true' ? '1' : '0', value, `row ${i} ${fields[j]}`);
      else if (/^-?[\d.]+(e[+-]?\d+)?$/.test(value)) assert.equal(Number(shown), Number(value), `row ${i} ${fields[j]}: ${shown} against ${value}`);
      else assert.equal(shown, value, `row ${i} ${fields[j]}`);
    }),
  );
  // Its download and the scripts' answer: pbsim-study's CSV, byte for byte.
  assert.equal(await downloaded('#s-stab-csv', 'pbsim-stability-spring.csv'), printed);
  assert.equal(await page.evaluate(() => window.pbsimEngine.stability({ ks: 1e4, mass: 1 }).then((s) => s.csv)), printed);
  // The notes below pbsim-study's table.
  const table = study(['stability', 'spring', '--ks', '1e4', '--mass', '1']).trim().split('\n');
  const notes = await page.$$eval('#s-stab-notes p', (ps) => ps.map((p) => p.textContent));
  assert.ok(notes.length > 0);
  assert.deepEqual(notes, table.slice(table.length - notes.length));
  // Each cell as pbsim-study's table shows it (the flag in its own column).
  const texts = await page.$eval('#s-stab-table tbody', (b) => [...b.rows].map((tr) => [...tr.cells].map((td) => td.dataset.scheme || td.textContent.trim())));
  for (const row of texts) {
    const line = table.find((l) => l.startsWith(`${row[0]} `));
    assert.ok(line, row[0]);
    assert.deepEqual(line.trim().split(/\s{2,}/), row.filter((c) => c !== ''), row[0]);
  }
  assert.deepEqual(errors, []);
});

// Bogacki and Shampine's 3(2) pair (Appl. Math. Lett. 2, 1989), typed in.
const kBs = `0   |
1/2 | 1/2
3/4 | 0    3/4
1   | 2/9  1/3  4/9
----+--------------------
    | 2/9  1/3  4/9  0
    | 7/24 1/4  1/3  1/8`;

test('an embedded pair typed into the page runs adaptively as the built-in bogacki-shampine, bit for bit', async () => {
  await page.click('#tab-ballistics');
  if (!(await page.$eval('#b-scheme-bogacki-shampine', (b) => b.checked))) await picturesAfter(() => page.click('#b-scheme-bogacki-shampine'));
  let said;
  await picturesAfter(async () => (said = await useScheme('mybs', kBs)));
  assert.match(said, /^mybs: 4 stages, algebraic order 3 .*an embedded pair, its second row of order 2, first same as last/);
  // An adaptive scheme: the tolerances' fields show.
  assert.equal(await page.$eval('#b-rtol', (i) => i.closest('.field').hidden), false);
  const rows = csvRows(await downloaded('#download-csv', 'pbsim-flight.csv'));
  const mine = rows.filter((r) => r.scheme === 'mybs');
  const builtin = rows.filter((r) => r.scheme === 'bogacki-shampine');
  assert.ok(mine.length > 5 && mine.length === builtin.length, `${mine.length} rows`);
  mine.forEach((r, i) => assert.deepEqual({ ...r, scheme: 'bogacki-shampine' }, builtin[i], `row ${i}`));
  assert.deepEqual(errors, []);
});
