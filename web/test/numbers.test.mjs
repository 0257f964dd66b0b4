// The page loaded from the file system and from a local server: no error,
// and the numbers it shows, after typing, equal pbsim-study's for the same
// values; bad values get the engine's words beside their field.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { launch, open, serve, fileUrl, type, waitForPicture, study, studyTable, pageTable } from './support.mjs';

const browser = await launch();
const server = await serve();
after(async () => {
  await browser.close();
  server.close();
});

// The page's table and pbsim-study's show the same summary fields in the
// same order (the engine's); the wall times differ from run to run.
async function wallColumn(page, id) {
  return page.$eval(`#${id} thead`, (head) => [...head.rows[0].cells].findIndex((th) => th.dataset.fields === 'wall_ms') - 1);
}

function withoutWall(rows, wall) {
  return Object.fromEntries(Object.entries(rows).map(([k, cells]) => [k, cells.filter((c, i) => i !== wall && c !== '')]));
}

async function sameFlightTable(page, table, schemes) {
  const wall = await wallColumn(page, 'b-table');
  assert.ok(wall >= 0, 'the page shows the wall time');
  const shown = withoutWall(await pageTable(page, 'b-table'), wall);
  const printed = withoutWall(table, wall);
  for (const s of schemes) {
    assert.ok(shown[s], `the page shows ${s}`);
    assert.deepEqual(shown[s], printed[s], `${s}: every field but the wall time`);
  }
  assert.deepEqual(shown.exact, printed.exact, 'the exact landing');
  assert.deepEqual(Object.keys(shown).sort(), [...schemes, 'exact'].sort());
}

for (const [where, url] of [['file', fileUrl], ['server', server.url]]) {
  test(`from the ${where}: start-up numbers, typing recomputes, no console error`, async () => {
    const { page, errors } = await open(browser, { url });
    const schemes = ['euler', 'midpoint', 'rk4'];
    await sameFlightTable(page, studyTable(study(['flight'])), schemes);

    // A new time step, typed key by key: each keystroke recomputes, the last one is shown.
    let before = await type(page, '#b-dt', '0.003');
    await waitForPicture(page, before);
    before = await type(page, '#b-azimuth', '-35.5');
    await waitForPicture(page, before);
    await sameFlightTable(
      page,
      studyTable(study(['flight', '--dt', '0.003', '--azimuth', '-35.5'])),
      schemes,
    );

    // Ticking a scheme on and one off recomputes too.
    before = await page.evaluate(() => window.pbsimPage.pictures);
    await page.click('#b-scheme-verlet');
    await page.click('#b-scheme-euler');
    await waitForPicture(page, before);
    await page.waitForFunction(() => document.querySelectorAll('#b-table tbody tr').length === 4);
    await sameFlightTable(
      page,
      studyTable(study(['flight', '--dt', '0.003', '--azimuth', '-35.5', '--schemes', 'midpoint,rk4,verlet'])),
      ['midpoint', 'rk4', 'verlet'],
    );
    assert.deepEqual(errors, []);
    await page.close();
  });
}

test('spring: the numbers equal pbsim-study for each scheme chosen', async () => {
  const { page, errors } = await open(browser);
  await page.click('#tab-spring');
  let before = await type(page, '#s-kd', '0.25');
  await waitForPicture(page, before);
  before = await type(page, '#s-dt', '0.02');
  await waitForPicture(page, before);
  for (const scheme of ['symplectic-euler', 'midpoint']) {
    before = await page.evaluate(() => window.pbsimPage.pictures);
    await page.click(`#s-scheme-${scheme}`);
    await waitForPicture(page, before);
    const wall = await wallColumn(page, 's-table');
    const shown = withoutWall(await pageTable(page, 's-table'), wall);
    const printed = withoutWall(studyTable(study(['spring', '--kd', '0.25', '--dt', '0.02', '--schemes', scheme])), wall);
    assert.deepEqual(shown[scheme], printed[scheme], `${scheme}: every field but the wall time`);
  }
  assert.deepEqual(errors, []);
  await page.close();
});

test('bad values: the engine says what is wrong beside the field; the page goes on', async () => {
  const { page, errors } = await open(browser);
  const message = (id) => page.$eval(`#${id}-msg`, (m) => (m.offsetParent !== null ? m.textContent : ''));
  const stable = await page.evaluate(() => document.querySelector('#b-table tbody').textContent);

  await type(page, '#b-dt', '0');
  await page.waitForFunction(() => document.getElementById('b-dt-msg').textContent !== '');
  assert.equal(await message('b-dt'), 'Time Step must be greater than 0');
  await type(page, '#b-mass', 'heavy');
  await page.waitForFunction(() => document.getElementById('b-mass-msg').textContent !== '');
  assert.match(await message('b-mass'), /^Projectile Mass must be a number/);
  await type(page, '#b-gravity', '1e39');
  await page.waitForFunction(() => document.getElementById('b-gravity-msg').textContent !== '');
  assert.match(await message('b-gravity'), /must lie within single precision/);
  // The last usable picture and numbers stay.
  assert.equal(await page.evaluate(() => document.querySelector('#b-table tbody').textContent), stable);

  // Fixing them clears the messages and recomputes.
  await type(page, '#b-gravity', '-9.8');
  await type(page, '#b-mass', '1000');
  const before = await type(page, '#b-dt', '0.05');
  await waitForPicture(page, before);
  for (const id of ['b-dt', 'b-mass', 'b-gravity']) assert.equal(await message(id), '');
  assert.equal(await page.$eval('#b-dt', (i) => i.getAttribute('aria-invalid')), 'false');

  // A time step that takes the flight to pbsim's step limit does not freeze the page.
  await type(page, '#b-gravity', '0');
  await type(page, '#b-dt', '0.0001');
  const t0 = Date.now();
  assert.equal(await page.evaluate(() => 1 + 1), 2, 'the page answers while the worker flies');
  assert.ok(Date.now() - t0 < 5000);
  await page.waitForFunction(() => /still in the air after 4000000 steps/.test(document.getElementById('b-warnings').textContent), { timeout: 120000 });
  assert.deepEqual(errors, []);
  await page.close();
});

test('the address keeps the settings: a link reproduces them', async () => {
  const { page } = await open(browser);
  let before = await type(page, '#b-elevation', '60');
  await waitForPicture(page, before);
  await page.click('#b-scheme-midpoint');
  await page.waitForFunction(() => document.querySelectorAll('#b-table tbody tr').length === 3);
  const link = page.url();
  assert.match(link, /b\.elevation=60/);
  const { page: other } = await open(browser, { url: link });
  assert.equal(await other.$eval('#b-elevation', (i) => i.value), '60');
  assert.equal(await other.$eval('#b-scheme-midpoint', (i) => i.checked), false);
  // The same numbers, but for the wall times.
  const wall = await wallColumn(page, 'b-table');
  assert.deepEqual(withoutWall(await pageTable(other, 'b-table'), wall), withoutWall(await pageTable(page, 'b-table'), wall));
  // Reset puts back pbsim's start-up values.
  before = await other.evaluate(() => window.pbsimPage.pictures);
  await other.click('#reset');
  await waitForPicture(other, before);
  assert.equal(await other.$eval('#b-elevation', (i) => i.value), '45');
  assert.equal(await other.$eval('#b-scheme-midpoint', (i) => i.checked), true);
  await page.close();
  await other.close();
});
