// The page loaded from the file system and from a local server: no error,
// and the numbers it shows, after typing, equal pbsim-study's for the same
// values; bad values get the engine's words beside their field, each field
// by its rule. Under quadratic drag the page says "reference" wherever it
// says "exact" under linear drag, and its orders are measured against it.
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

async function sameFlightTable(page, table, schemes, judge = 'exact') {
  const wall = await wallColumn(page, 'b-table');
  assert.ok(wall >= 0, 'the page shows the wall time');
  const shown = withoutWall(await pageTable(page, 'b-table'), wall);
  const printed = withoutWall(table, wall);
  for (const s of schemes) {
    assert.ok(shown[s], `the page shows ${s}`);
    assert.deepEqual(shown[s], printed[s], `${s}: every field but the wall time`);
  }
  assert.ok(shown[judge], `the ${judge} landing shown`);
  assert.deepEqual(shown[judge], printed[judge], `the ${judge} landing`);
  assert.deepEqual(Object.keys(shown).sort(), [...schemes, judge].sort());
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

// Every piece of text of the ballistics panel that a reader meets: each
// element's own text, its label and its tooltip, keyed by where it sits (the
// nearest element with an id and its place under it).
async function panelTexts(page) {
  return page.evaluate(() => {
    const places = new Map();
    const texts = {};
    for (const e of document.getElementById('ballistics').querySelectorAll('*')) {
      // The notes are the engine's, checked on their own.
      if (e.closest('#b-warnings')) continue;
      // The text alternatives hold the runs' numbers (access.test.mjs).
      if (e.closest('details.alternative')) continue;
      const owner = e.parentElement.closest('[id]');
      const n = places.get(owner) || 0;
      places.set(owner, n + 1);
      const own = [...e.childNodes].filter((c) => c.nodeType === Node.TEXT_NODE).map((c) => c.textContent).join('').trim();
      const text = [own, e.getAttribute('aria-label') || '', e.getAttribute('title') || ''].filter((t) => t).join(' | ');
      if (text) texts[`${owner.id || owner.tagName}:${e.tagName}:${n}`] = text;
    }
    return texts;
  });
}

const notesShown = (page) => page.$$eval('#b-warnings p', (ps) => ps.map((p) => p.textContent));

async function chooseDrag(page, law) {
  const before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.select('#b-drag', law);
  await waitForPicture(page, before);
}

test('quadratic drag: "reference" wherever linear drag says "exact", the numbers and notes of pbsim-study --drag quadratic, the unit by the law, kept in the address', async () => {
  const { page, errors } = await open(browser);
  const schemes = ['euler', 'midpoint', 'rk4'];
  const friction = (await page.evaluate(() => window.pbsimEngine.parameters('flight'))).find((p) => p.quadraticUnit);
  const unit = () => page.$eval(`#b-${friction.name}`, (i) => i.closest('.field').querySelector('.unit').textContent);
  const linear = await panelTexts(page);
  const exact = Object.entries(linear).filter(([, t]) => /\bexact\b/.test(t));
  assert.ok(exact.length >= 3, `the linear page says exact: ${JSON.stringify(exact)}`);
  assert.ok(exact.some(([k]) => k.startsWith('b-table:TD')), 'the exact row');
  assert.deepEqual((await notesShown(page)).filter((t) => /reference/.test(t)), [], 'no reference under linear drag');
  assert.equal(await unit(), friction.unit);

  await chooseDrag(page, 'quadratic');
  const quadratic = await panelTexts(page);
  for (const [key, text] of exact) {
    assert.equal(quadratic[key], text.replace(/\bexact\b/g, 'reference'), `${key}: ${text}`);
  }
  const left = Object.entries(quadratic).filter(([, t]) => /\bexact\b/.test(t));
  assert.deepEqual(left, [], 'nothing says exact under quadratic drag');
  const printed = study(['flight', '--drag', 'quadratic']);
  await sameFlightTable(page, studyTable(printed), schemes, 'reference');
  // The engine's note naming the reference and its own error, as pbsim-study prints it.
  const note = printed.split('\n').find((l) => l.startsWith('reference:'));
  assert.ok(note, 'pbsim-study names the reference');
  assert.ok((await notesShown(page)).includes(note), `the page shows: ${note}`);
  assert.equal(await unit(), friction.quadraticUnit);

  // The address keeps the law.
  const link = page.url();
  assert.match(link, /b\.drag=quadratic/);
  const { page: other } = await open(browser, { url: link });
  assert.equal(await other.$eval('#b-drag', (e) => e.value), 'quadratic');
  assert.equal(await other.$eval(`#b-${friction.name}`, (i) => i.closest('.field').querySelector('.unit').textContent), friction.quadraticUnit);
  await sameFlightTable(other, studyTable(printed), schemes, 'reference');
  await other.close();

  // Back to linear: the page as it was.
  await chooseDrag(page, 'linear');
  await sameFlightTable(page, studyTable(study(['flight'])), schemes);
  const again = await panelTexts(page);
  for (const [key, text] of exact) assert.equal(again[key], text, key);
  assert.equal(await unit(), friction.unit);
  assert.deepEqual(errors, []);
  await page.close();
});

test("quadratic drag: the convergence table shows each scheme's order against the reference in double precision", async () => {
  const { page, errors } = await open(browser);
  await chooseDrag(page, 'quadratic');
  await page.click('#b-double');
  const before = await page.evaluate(() => window.pbsimPage.studies);
  await page.click('#b-conv-run');
  await page.waitForFunction((n) => window.pbsimPage.studies > n, { timeout: 120000 }, before);
  const fields = await page.$eval('#b-conv-table thead', (h) => [...h.rows[0].cells].map((th) => th.dataset.fields));
  const rows = await page.$eval('#b-conv-table tbody', (b) => [...b.rows].map((tr) => [...tr.cells].map((td) => td.dataset.scheme || td.textContent.trim())));
  const named = rows.map((r) => Object.fromEntries(fields.map((f, i) => [f, r[i]])));
  const table = await page.evaluate(() => window.pbsimEngine.schemes());
  const shown = {};
  for (const scheme of ['euler', 'midpoint', 'rk4']) {
    const { order } = table.find((s) => s.name === scheme);
    // The finest step above the floor, where the order is the scheme's.
    const measured = named.filter((r) => r.scheme === scheme && r.precision === 'double' && r.floor === '' && r.order !== '');
    assert.ok(measured.length >= 4, `${scheme}: ${measured.length} rows above the floor`);
    const last = Number(measured[measured.length - 1].order);
    shown[scheme] = last;
    assert.ok(Math.abs(last - order) <= 0.1, `${scheme}: order ${last} against the reference, not ${order}`);
  }
  assert.match(await page.$eval('#b-conv-progress', (p) => p.textContent), /errors are measured against RKF 7\(8\) in long double/);
  console.log(`orders against the reference (double): ${JSON.stringify(shown)}`);
  assert.deepEqual(errors, []);
  await page.close();
});

// A field's text that its parameter's rule forbids, by the rule's words.
const forbiddenText = { 'a finite number': ['ten', '1e39', '12kg'], 'a number greater than 0': ['ten', '1e39', '0', '-2'] };

test("every field refuses what its rule forbids, the engine's message beside it", async () => {
  const { page, errors } = await open(browser);
  const message = (id) => page.$eval(`#${id}-msg`, (m) => m.textContent);
  let typed = 0;
  for (const [model, prefix, tab] of [['flight', 'b', 'tab-ballistics'], ['spring', 's', 'tab-spring']]) {
    await page.click(`#${tab}`);
    for (const p of await page.evaluate((m) => window.pbsimEngine.parameters(m), model)) {
      assert.ok(forbiddenText[p.rule], `${model} ${p.name}: the rule ${p.rule}`);
      const id = `${prefix}-${p.name}`;
      for (const text of forbiddenText[p.rule]) {
        // The engine's words for the value the field reads, as its scripts get them.
        const words = await page.evaluate(
          (m, name, value) => window.pbsimEngine[m]({ [name]: value }).then(() => null, (e) => e.message),
          model,
          p.name,
          Number.isNaN(Number(text)) ? text : Number(text),
        );
        assert.ok(words && words.startsWith(`${p.name} `), `${model} ${p.name} = ${text}: the engine says ${words}`);
        const expected = `${p.label} ${words.slice(p.name.length + 1)}`;
        await type(page, `#${id}`, text);
        await page.waitForFunction((id, want) => document.getElementById(`${id}-msg`).textContent === want, { timeout: 10000 }, id, expected).catch(() => {});
        assert.equal(await message(id), expected, `${model} ${p.name} = ${text}`);
        assert.equal(await page.$eval(`#${id}`, (i) => i.getAttribute('aria-invalid')), 'true');
        typed++;
      }
      const before = await type(page, `#${id}`, String(p.startUp));
      await waitForPicture(page, before);
      assert.equal(await message(id), '', `${model} ${p.name}: cleared`);
    }
  }
  console.log(`fields: ${typed} refused values, each with the engine's message`);
  assert.deepEqual(errors, []);
  await page.close();
});

test('settings copied from one copy of the page restore every field in another copy elsewhere, pasted or after its address; a decimal comma is a point', async () => {
  const context = browser.defaultBrowserContext();
  await context.overridePermissions(new URL(server.url).origin, ['clipboard-read', 'clipboard-write']);
  const { page, errors } = await open(browser, { url: server.url });
  // Every kind of setting changed: fields, a decimal comma, schemes, the study's.
  let before = await type(page, '#b-elevation', '60');
  await waitForPicture(page, before);
  before = await type(page, '#b-dt', '0,05');
  await waitForPicture(page, before);
  assert.equal(await page.$eval('#b-dt-msg', (m) => m.textContent), '', 'a decimal comma is taken');
  await page.click('#b-scheme-midpoint');
  await page.select('#b-quantity', 'landing');
  await page.$eval('#b-levels', (i) => {
    i.value = '3';
    i.dispatchEvent(new Event('change'));
  });
  await page.click('#b-double');
  await page.click('#tab-spring');
  before = await type(page, '#s-ks', '30');
  await waitForPicture(page, before);
  await page.click('#s-scheme-verlet');
  await page.$eval('#s-levels', (i) => {
    i.value = '4';
    i.dispatchEvent(new Event('change'));
  });
  await page.click('#s-double');
  await page.click('#copy-link');
  // On the clipboard, or in the status line where the browser refuses the
  // clipboard to a page without focus.
  await page.waitForFunction(() => /settings/.test(document.getElementById('status').textContent));
  const line = await page.$eval('#status', (e) => e.textContent);
  const copied = /copied/.test(line) ? await page.evaluate(() => navigator.clipboard.readText()) : line.slice(line.indexOf('#'));
  assert.match(copied, /^#sim=spring&/);
  assert.ok(!copied.includes('127.0.0.1') && !copied.includes('pbsim.html'), 'no path of this copy');
  // The same numbers as pbsim-study for the comma's value.
  const printed = studyTable(study(['flight', '--dt', '0.05', '--elevation', '60']));
  await page.click('#tab-ballistics');
  const wall = await wallColumn(page, 'b-table');
  assert.deepEqual(withoutWall(await pageTable(page, 'b-table'), wall).euler, withoutWall(printed, wall).euler);

  const settings = (p) =>
    p.$$eval('main input, main select', (all) =>
      all.filter((e) => e.id !== 's-time').map((e) => [e.id, e.type === 'checkbox' || e.type === 'radio' ? e.checked : e.value]),
    );
  const wanted = await settings(page);
  // Another copy: the page as a file, at another path; pasted.
  const { page: other } = await open(browser, { url: fileUrl });
  assert.notDeepEqual(await settings(other), wanted);
  before = await other.evaluate(() => window.pbsimPage.pictures);
  await other.type('#paste-settings', copied);
  await other.keyboard.press('Enter');
  await waitForPicture(other, before);
  assert.deepEqual(await settings(other), wanted, 'pasted');
  assert.equal(await other.$eval('#tab-spring', (t) => t.getAttribute('aria-selected')), 'true');
  // After its address, and a whole link pasted.
  const { page: third } = await open(browser, { url: fileUrl, hash: copied });
  assert.deepEqual(await settings(third), wanted, 'after the address');
  await other.type('#paste-settings', 'no settings here');
  await other.keyboard.press('Enter');
  assert.match(await other.$eval('#paste-settings-msg', (m) => m.textContent), /^Paste settings must be/);
  assert.deepEqual(errors, []);
  for (const p of [page, other, third]) await p.close();
});

test('a gun below the horizon: the advice says it points into the ground, not to take a smaller step', async () => {
  const { page, errors } = await open(browser);
  const before = await type(page, '#b-elevation', '-45');
  await waitForPicture(page, before);
  const notes = await page.$$eval('#b-warnings p', (ps) => ps.map((p) => p.textContent));
  assert.ok(notes.some((t) => /points into the ground/.test(t)), notes.join(' | '));
  assert.deepEqual(notes.filter((t) => /smaller Time Step/.test(t)), []);
  assert.deepEqual(errors, []);
  await page.close();
});
