// The page for everyone (WCAG 2.2 AA): axe-core finds nothing in any state
// of either simulation; the keyboard reaches and operates every control in
// the panel's order, each with a visible label and focus indicator; the tabs
// follow the arrow keys; every target is at least 24 x 24 px; the playback
// shows stills when less motion is asked for; every plot and view has its
// numbers in words and a table; the tables fit at 1280 px and nothing of
// the panel runs off a 320 px screen or a 200 % zoom.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { launch, open, waitForPicture } from './support.mjs';

const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const browser = await launch();
after(() => browser.close());

const simulations = [
  { tab: 'tab-ballistics', panel: 'ballistics', prefix: 'b', adaptive: async (page) => page.click('#b-scheme-dopri5') },
  { tab: 'tab-spring', panel: 'spring', prefix: 's', adaptive: async (page) => page.click('#s-scheme-dopri5') },
];

// axe-core's WCAG 2.2 AA rules, and the two of its best practices that
// matter for tables and scrolling boxes: {rule: [elements]} of what fails.
async function violations(page) {
  if (!(await page.evaluate(() => !!window.axe))) await page.evaluate(axeSource);
  const run = (options) => page.evaluate((o) => window.axe.run(document, o).then((r) => r.violations.map((v) => [v.id, v.nodes.map((n) => n.target.join(' '))])), options);
  const wcag = await run({ runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21aa', 'wcag22aa'] } });
  const practices = await run({ runOnly: { type: 'rule', values: ['empty-table-header', 'scrollable-region-focusable', 'landmark-unique'] } });
  return Object.fromEntries([...wcag, ...practices]);
}

async function studied(page, before) {
  await page.waitForFunction((n) => window.pbsimPage.studies > n, { timeout: 180000 }, before);
}

async function click(page, selector) {
  const before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.click(selector);
  await waitForPicture(page, before);
}

test('axe-core: no violation in any state of either simulation, at 1280 px and at 320 px', async () => {
  for (const width of [1280, 320]) {
    const { page, errors } = await open(browser, { width, height: 800 });
    for (const s of simulations) {
      await page.click(`#${s.tab}`);
      const seen = {};
      seen.results = await violations(page);
      // The convergence study shown, with the double twin.
      let before = await page.evaluate(() => window.pbsimPage.studies);
      await page.click(`#${s.prefix}-double`);
      await studied(page, before);
      seen.convergence = await violations(page);
      // An adaptive scheme: the tolerances' fields, and its study.
      before = await page.evaluate(() => window.pbsimPage.studies);
      const pictures = await page.evaluate(() => window.pbsimPage.pictures);
      await s.adaptive(page);
      await waitForPicture(page, pictures);
      assert.equal(await page.$eval(`#${s.prefix}-rtol`, (e) => e.closest('.field').hidden), false, `${s.panel}: rtol shown`);
      await page.click(`#${s.prefix}-conv-run`);
      await studied(page, before);
      seen.adaptive = await violations(page);
      // Every text alternative unfolded.
      await page.$$eval(`#${s.panel} details`, (all) => all.forEach((d) => (d.open = true)));
      seen.alternatives = await violations(page);
      // A value refused: its message beside the field.
      const refused = await page.evaluate(() => window.pbsimPage.pictures);
      await page.$eval(`#${s.prefix}-dt`, (i) => {
        i.value = 'x';
        i.dispatchEvent(new Event('input'));
      });
      await page.waitForFunction((p) => document.getElementById(`${p}-dt-msg`).textContent !== '', {}, s.prefix);
      seen.refused = await violations(page);
      for (const [state, found] of Object.entries(seen)) assert.deepEqual(found, {}, `${width} px, ${s.panel}, ${state}`);
      void refused;
    }
    assert.deepEqual(errors, []);
    await page.close();
  }
});

// The contrast of two sRGB colours (0..255) by WCAG's definition.
function contrast(a, b) {
  const L = (c) => c.map((v) => v / 255).map((s) => (s <= 0.03928 ? s / 12.92 : ((s + 0.055) / 1.055) ** 2.4)).reduce((sum, v, i) => sum + v * [0.2126, 0.7152, 0.0722][i], 0);
  const [hi, lo] = [L(a), L(b)].sort((x, y) => y - x);
  return (hi + 0.05) / (lo + 0.05);
}

test("the plots and the schemes' markers on white: every scheme's colour at 3:1 at least, the markers drawn in it", async () => {
  const { page, errors } = await open(browser);
  for (const box of await page.$$('#b-schemes input')) if (!(await box.evaluate((b) => b.checked))) await click(page, `#${await box.evaluate((b) => b.id)}`);
  const glyphs = await page.$$eval('#b-table tbody td.scheme .glyph', (all) => all.map((g) => getComputedStyle(g).color));
  assert.ok(glyphs.length >= 9, `${glyphs.length} schemes`);
  for (const c of glyphs) {
    const rgb = c.match(/\d+/g).map(Number);
    assert.ok(contrast(rgb, [255, 255, 255]) >= 3, `${c}: ${contrast(rgb, [255, 255, 255]).toFixed(2)}:1`);
  }
  // Each scheme's marker on the error plot, in the glyph's colour.
  const found = await page.evaluate((colours) => {
    const canvas = document.querySelector('#b-error-plot canvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const wanted = colours.map((c) => c.match(/\d+/g).map(Number));
    const counts = wanted.map(() => 0);
    for (let i = 0; i < data.length; i += 4) wanted.forEach((w, j) => data[i] === w[0] && data[i + 1] === w[1] && data[i + 2] === w[2] && data[i + 3] === 255 && counts[j]++);
    return counts;
  }, glyphs);
  found.forEach((n, i) => assert.ok(n > 10, `${glyphs[i]}: ${n} pixels on the error plot`));
  assert.deepEqual(errors, []);
  await page.close();
});

// ---------- the keyboard ----------

// Where the keyboard's focus is: a name for it, and what a user sees of it.
function focused() {
  const e = document.activeElement;
  if (!e || e === document.body || !e.closest('[id]')) return { body: true, name: '' };
  const name = e.type === 'radio' ? `radio:${e.name}` : e.id || `${e.tagName.toLowerCase()}:${e.closest('[id]')?.id}:${[...e.closest('[id]').querySelectorAll(e.tagName)].indexOf(e)}`;
  const style = getComputedStyle(e);
  const r = e.getBoundingClientRect();
  return { name, tag: e.tagName, outline: style.outlineStyle, outlineWidth: parseFloat(style.outlineWidth), top: r.top + scrollY, inPanel: !!e.closest('.panel'), body: e === document.body };
}

// The controls of the panel shown (and the header's), as the walk names them.
async function controls(page) {
  return page.evaluate(() => {
    const name = (e) => (e.type === 'radio' ? `radio:${e.name}` : e.id || `${e.tagName.toLowerCase()}:${e.closest('[id]')?.id}:${[...e.closest('[id]').querySelectorAll(e.tagName)].indexOf(e)}`);
    const shown = (e) => e.getClientRects().length > 0 && !e.disabled && getComputedStyle(e).visibility !== 'hidden';
    return [...new Set([...document.querySelectorAll('button, input, select, summary, .view canvas, [tabindex="0"]')].filter(shown).map(name))];
  });
}

// The stops of the Tab key from the selected tab on.
async function walk(page, tab) {
  await page.focus(`#${tab}`);
  const stops = [await page.evaluate(focused)];
  for (let i = 0; i < 400; i++) {
    await page.keyboard.press('Tab');
    const f = await page.evaluate(focused);
    if (f.body || (stops.length && f.name === stops[0].name)) break;
    stops.push(f);
  }
  return stops;
}

// Operates the focused control from the keyboard, then puts it back; the
// events it fired ({type: count}) on it.
async function operate(page, tag, type) {
  await page.evaluate(() => {
    window.fired = {};
    const e = document.activeElement;
    for (const t of ['click', 'change', 'input', 'toggle', 'keydown']) e.addEventListener(t, (ev) => (window.fired[t] = (window.fired[t] || 0) + (t !== 'keydown' || ev.defaultPrevented ? 1 : 0)), { once: false });
    (e.closest('details') || e).addEventListener('toggle', () => (window.fired.toggle = (window.fired.toggle || 0) + 1));
  });
  if (tag === 'INPUT' && (type === 'checkbox')) {
    await page.keyboard.press('Space');
    await page.keyboard.press('Space');
  } else if (tag === 'INPUT' && type === 'radio') {
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowLeft');
  } else if (tag === 'INPUT' && type === 'range') {
    await page.keyboard.press('ArrowRight');
  } else if (tag === 'INPUT') {
    await page.keyboard.press('End');
    await page.keyboard.type('1');
    await page.keyboard.press('Backspace');
  } else if (tag === 'SELECT') {
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowUp');
  } else if (tag === 'CANVAS') {
    await page.keyboard.press('+');
    await page.keyboard.press('0');
  } else if (tag === 'SUMMARY') {
    await page.keyboard.press('Enter');
    await page.keyboard.press('Enter');
  } else {
    await page.keyboard.press('Enter');
  }
  await new Promise((r) => setTimeout(r, 50));
  return page.evaluate(() => window.fired);
}

test('keyboard only: Tab follows the panel and reaches every control, each labelled, its focus shown, each operated from the keyboard', async () => {
  const { page, errors } = await open(browser, { width: 1280, height: 800 });
  const cdp = await page.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'deny' });
  for (const s of simulations) {
    const studied = await page.evaluate(() => window.pbsimPage.studies);
    await page.focus(`#${s.tab}`);
    await page.keyboard.press('Enter');
    // The study that follows the simulation's first picture shows its plots'
    // text alternatives, Tab stops before the controls below the simulation.
    await page.waitForFunction((n) => window.pbsimPage.studies > n, { timeout: 120000 }, s === simulations[0] ? 0 : studied);
    const wanted = await controls(page);
    // Every control's label is visible: a label element shown, or its own text.
    const unlabelled = await page.$$eval('input, select, button, summary', (all) =>
      all
        .filter((e) => e.getClientRects().length)
        .filter((e) => {
          const labels = e.labels ? [...e.labels] : [];
          const seen = labels.some((l) => l.getClientRects().length && l.textContent.trim());
          const own = ['BUTTON', 'SUMMARY'].includes(e.tagName) && e.textContent.trim();
          return !seen && !own;
        })
        .map((e) => e.id || e.outerHTML.slice(0, 60)),
    );
    assert.deepEqual(unlabelled, [], `${s.panel}: controls without a visible label`);
    const stops = await walk(page, s.tab);
    const names = stops.map((f) => f.name);
    if (process.env.PBSIM_DEBUG) console.log(s.panel, JSON.stringify(wanted), JSON.stringify(names));
    const other = simulations.find((o) => o !== s).tab;
    assert.deepEqual(wanted.filter((c) => !names.includes(c) && c !== other), [], `${s.panel}: controls Tab never reaches`);
    assert.ok(!names.includes(other), `${s.panel}: the tab not shown is no Tab stop (the arrows reach it)`);
    // The focus always shows (a 2 px outline at least).
    for (const f of stops) assert.ok(f.outline !== 'none' && f.outlineWidth >= 2, `${s.panel}: ${f.name} shows no focus (${f.outline} ${f.outlineWidth})`);
    // In the panel, from top to bottom; the panel's fields before the view.
    const panel = stops.filter((f) => f.inPanel);
    panel.forEach((f, i) => i && assert.ok(f.top >= panel[i - 1].top - 1, `${s.panel}: ${f.name} above ${panel[i - 1].name}`));
    const firstView = names.findIndex((n) => n.endsWith(`${s.prefix}-view:0`));
    assert.ok(firstView > names.indexOf(panel[panel.length - 1].name), `${s.panel}: the panel, then the view`);
    // Each control operated from the keyboard.
    let n = 0;
    for (const [at, name] of names.entries()) {
      if (name === s.tab) continue;
      // Focus it as the walk did: from the tab, Tab until it is reached.
      await page.focus(`#${s.tab}`);
      for (let i = 0; i < at; i++) await page.keyboard.press('Tab');
      const f = await page.evaluate(focused);
      assert.equal(f.name, name, `${s.panel}: the same walk`);
      const type = await page.evaluate(() => document.activeElement.type);
      const fired = await operate(page, f.tag, type);
      const did = fired.click || fired.change || fired.input || fired.toggle || fired.keydown;
      assert.ok(did, `${s.panel}: ${name} (${f.tag} ${type}) did nothing: ${JSON.stringify(fired)}`);
      if (name === 's-play') await page.click('#s-pause');
      // A scheme of one's own adds its toggles: taken away again, once the engine has judged it.
      if (name === 'own-use') {
        await page.waitForFunction(() => /\S/.test(document.getElementById('own-msg').textContent) && !document.getElementById('own-msg').textContent.startsWith('Checking'));
        await page.click('#own-remove');
      }
      n++;
    }
    assert.ok(n > 25, `${s.panel}: ${n} controls operated`);
  }
  assert.deepEqual(errors.filter((e) => !/clipboard|download/i.test(e)), []);
  await page.close();
});

test('the tabs: Left, Right, Home and End move between them and select the one reached', async () => {
  const { page, errors } = await open(browser);
  const at = () => page.evaluate(() => [document.activeElement.id, document.querySelector('[role=tab][aria-selected=true]').id, document.getElementById('spring').hidden]);
  await page.focus('#tab-ballistics');
  for (const [key, tab] of [
    ['ArrowRight', 'tab-spring'],
    ['ArrowRight', 'tab-ballistics'],
    ['ArrowLeft', 'tab-spring'],
    ['Home', 'tab-ballistics'],
    ['End', 'tab-spring'],
    ['ArrowLeft', 'tab-ballistics'],
  ]) {
    await page.keyboard.press(key);
    assert.deepEqual(await at(), [tab, tab, tab !== 'tab-spring'], key);
  }
  assert.deepEqual(errors, []);
  await page.close();
});

test('every target is 24 x 24 px at least (a box or radio with its label)', async () => {
  const { page, errors } = await open(browser, { width: 1280, height: 800 });
  for (const s of simulations) {
    await page.click(`#${s.tab}`);
    const small = await page.evaluate(() =>
      [...document.querySelectorAll('button, input, select, summary')]
        .filter((e) => e.getClientRects().length)
        .map((e) => {
          const own = e.getBoundingClientRect();
          // A label that holds the control is the control's target too.
          const label = e.closest('label');
          const r = label ? label.getBoundingClientRect() : own;
          return [e.id || e.textContent.trim(), Math.min(r.width, Math.max(own.width, r.width)), Math.min(r.height, Math.max(own.height, r.height))];
        })
        .filter(([, w, h]) => w < 24 || h < 24),
    );
    assert.deepEqual(small, [], `${s.panel}: targets under 24 x 24 px`);
  }
  assert.deepEqual(errors, []);
  await page.close();
});

test('the time slider reads as a rounded time; the playback moves in stills when less motion is asked for', async () => {
  for (const reduce of [false, true]) {
    const { page, errors } = await open(browser);
    await page.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value: reduce ? 'reduce' : 'no-preference' }]);
    await page.click('#tab-spring');
    await page.$eval('#s-speed', (i) => (i.value = '1'));
    await page.click('#s-play');
    const times = new Set();
    const started = Date.now();
    while (Date.now() - started < 2500) {
      times.add(await page.$eval('#s-time', (i) => i.value));
      await new Promise((r) => setTimeout(r, 20));
    }
    await page.click('#s-pause');
    if (reduce) assert.ok(times.size <= 4, `reduced motion: ${times.size} pictures in 2.5 s`);
    else assert.ok(times.size > 8, `${times.size} pictures in 2.5 s`);
    const [value, text, shown] = await page.$eval('#s-time', (i) => [Number(i.value), i.getAttribute('aria-valuetext'), document.getElementById('s-time-out').textContent]);
    // The time shown beside the slider, rounded to hundredths.
    assert.match(text, /^\d+\.\d\d s$/);
    assert.ok(Math.abs(parseFloat(text) - parseFloat(shown)) <= 0.005, `${text} for ${shown}`);
    assert.ok(value > 1, `played to ${value} s`);
    assert.deepEqual(errors, []);
    await page.close();
  }
});

test("every plot and view says what it shows, and its numbers are a table: the engine's numbers", async () => {
  const { page, errors } = await open(browser);
  // The error plot's table: Euler's path error at its times, as the engine flies it.
  const run = await page.evaluate(async () => {
    const r = await window.pbsimEngine.flight({ scheme: 'euler' });
    return { t: Array.from(r.t), path_error: Array.from(r.path_error) };
  });
  const table = await page.$eval('#b-error-plot + details.alternative table', (t) => ({
    head: [...t.tHead.rows[0].cells].map((c) => c.textContent),
    rows: [...t.tBodies[0].rows].map((r) => [...r.cells].map((c) => c.textContent)),
  }));
  assert.equal(table.head[0], 't [s]');
  const euler = table.head.indexOf('Euler, error [m]');
  assert.ok(euler > 0, table.head.join(' | '));
  assert.ok(table.rows.length >= 10, `${table.rows.length} rows`);
  for (const row of table.rows) {
    if (row[euler] === '—') continue;
    const k = run.t.findIndex((t) => Math.abs(t - Number(row[0])) <= 5e-4 * Math.max(1, t));
    assert.ok(k >= 0, `t = ${row[0]}`);
    assert.ok(Math.abs(Number(row[euler]) - run.path_error[k]) <= 1e-3 * run.path_error[k] + 1e-12, `t = ${row[0]}: ${row[euler]} against ${run.path_error[k]}`);
  }
  // Each picture shown: a sentence it is described by, a table of numbers.
  for (const s of simulations) {
    await page.click(`#${s.tab}`);
    const before = await page.evaluate(() => window.pbsimPage.studies);
    await page.click(`#${s.prefix}-conv-run`);
    await studied(page, before);
    const pictures = await page.$$eval(`#${s.panel} .plot[role=img], #${s.panel} .view canvas`, (all) =>
      all.map((e) => {
        const sentence = document.getElementById(e.getAttribute('aria-describedby') || '');
        const details = sentence?.closest('details');
        return [e.closest('[id]').id, sentence?.textContent || '', details ? details.querySelectorAll('tbody tr').length : 0];
      }),
    );
    assert.ok(pictures.length >= (s.prefix === 'b' ? 4 : 6), `${s.panel}: ${pictures.length} pictures`);
    for (const [id, sentence, rows] of pictures) {
      assert.ok(sentence.length > 30 && /\d/.test(sentence), `${id}: "${sentence}"`);
      assert.ok(rows > 2, `${id}: ${rows} rows of numbers`);
    }
  }
  // A study's floor is said in words, not by the marker alone.
  assert.deepEqual(errors, []);
  await page.close();
});

// ---------- the layout ----------

test('at 1280 x 800 every table shows all its columns; at 320 px and at 200 % zoom no control runs off the side', async () => {
  const { page, errors } = await open(browser, { width: 1280, height: 800 });
  for (const s of simulations) {
    await page.click(`#${s.tab}`);
    const before = await page.evaluate(() => window.pbsimPage.studies);
    await page.click(`#${s.prefix}-conv-run`);
    await studied(page, before);
    const boxes = await page.$$eval(`#${s.panel} .side > .numbers .table-box, #${s.panel} .convergence > .table-box`, (all) =>
      all.map((b) => ({ id: b.querySelector('table').id, scroll: b.scrollWidth, client: b.clientWidth, heads: [...b.querySelectorAll('th')].map((th) => th.dataset.fields) })),
    );
    assert.equal(boxes.length, 2, `${s.panel}: the results and convergence tables`);
    for (const b of boxes) assert.ok(b.scroll <= b.client, `${b.id}: ${b.scroll} px in ${b.client}`);
    const heads = boxes.flatMap((b) => b.heads);
    for (const field of ['order', 'floor', ...(s.prefix === 'b' ? ['landing_miss'] : [])]) assert.ok(heads.includes(field), `${s.panel}: ${field}`);
  }
  await page.close();
  // 320 px, and a 640 px window at 200 % (1280 px at 200 % zoom).
  for (const [width, scale] of [
    [320, 1],
    [640, 2],
  ]) {
    const { page: narrow } = await open(browser, { width, height: 700 });
    await narrow.setViewport({ width, height: 700, deviceScaleFactor: scale });
    for (const s of simulations) {
      await narrow.click(`#${s.tab}`);
      const out = await narrow.evaluate(
        (panel, width) => ({
          page: document.documentElement.scrollWidth,
          panel: [...document.querySelectorAll(`#${panel} .panel, #${panel} .conv-controls, header`)].map((p) => p.scrollWidth - p.clientWidth),
          off: [...document.querySelectorAll(`#${panel} :is(button, input, select, summary), header :is(button, input, select)`)]
            .filter((e) => e.getClientRects().length)
            .filter((e) => {
              const r = e.getBoundingClientRect();
              return r.left < 0 || r.right > width;
            })
            .map((e) => e.id),
        }),
        s.panel,
        width,
      );
      assert.ok(out.page <= width, `${width} px, ${s.panel}: the page is ${out.page} px wide`);
      assert.deepEqual(out.panel.filter((d) => d > 0), [], `${width} px, ${s.panel}: the panel scrolls sideways`);
      assert.deepEqual(out.off, [], `${width} px, ${s.panel}: controls off the side`);
    }
    await narrow.close();
  }
  assert.deepEqual(errors, []);
});
