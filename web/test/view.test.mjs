// The 3-D view and the page's reach: the trajectories in the engine's
// colours, a drag that turns the view and Reset that brings it back, the
// keys, a keyboard-only walk over every control, every input labelled, a
// phone's width, and a browser without WebGL.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { launch, open, shotPath, waitForPicture } from './support.mjs';
import { plotColour } from '../src/colours.js';

const browser = await launch();
after(() => browser.close());

// The view's pixels, read back from its canvas.
async function pixels(page, id = 'b-view') {
  return page.evaluate((id) => {
    const canvas = document.querySelector(`#${id} canvas`);
    const copy = document.createElement('canvas');
    copy.width = canvas.width;
    copy.height = canvas.height;
    const ctx = copy.getContext('2d');
    ctx.drawImage(canvas, 0, 0);
    return Array.from(ctx.getImageData(0, 0, copy.width, copy.height).data);
  }, id);
}

// How many pixels are close to each colour (0..1 components).
function count(data, colours) {
  const counts = colours.map(() => 0);
  for (let i = 0; i < data.length; i += 4) {
    colours.forEach((c, j) => {
      if (Math.abs(data[i] - c[0] * 255) < 40 && Math.abs(data[i + 1] - c[1] * 255) < 40 && Math.abs(data[i + 2] - c[2] * 255) < 40) counts[j]++;
    });
  }
  return counts;
}

function differing(a, b) {
  let n = 0;
  for (let i = 0; i < a.length; i += 4) if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2]) n++;
  return n;
}

test("the trajectories in the engine's colours, and each scheme's marker in the table", async () => {
  const { page, errors } = await open(browser);
  const schemes = await page.evaluate(() => window.pbsimEngine.schemes());
  const colours = Object.fromEntries(schemes.map((s) => [s.name, s.colour]));
  // Zoomed out so that the whole flights show; RK4, drawn last, covers
  // midpoint where they coincide, so midpoint shows alone once RK4 is off.
  await page.focus('#b-view canvas');
  for (let i = 0; i < 8; i++) await page.keyboard.press('-');
  let [red, green, blue] = count(await pixels(page), [colours.euler, colours.midpoint, colours.rk4]);
  assert.ok(red > 50, `Euler's red: ${red} pixels`);
  assert.ok(blue > 50, `RK4's blue: ${blue} pixels`);
  await page.screenshot({ path: shotPath('ballistics-colours.png') });
  const before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.click('#b-scheme-rk4');
  await waitForPicture(page, before);
  [red, green, blue] = count(await pixels(page), [colours.euler, colours.midpoint, colours.rk4]);
  assert.ok(green > 50, `midpoint's green: ${green} pixels`);
  assert.equal(blue, 0, 'no RK4 once it is off');
  const glyphs = await page.$$eval('#b-table tbody td.scheme', (cells) => cells.map((c) => [c.dataset.scheme, c.querySelector('.glyph')?.style.color]));
  // On the white page, in the colour the plots draw the scheme in (dark
  // enough for white: colours.js, tested in web/test/unit).
  assert.deepEqual(
    glyphs.map(([name, colour]) => [name, colour.replace(/ /g, '')]),
    ['euler', 'midpoint'].map((name) => [name, plotColour(colours[name])]),
  );
  assert.deepEqual(errors, []);
  await page.close();
});

test('a drag turns the view, Reset brings it back; the keys do the same', async () => {
  const { page, errors } = await open(browser);
  const start = await pixels(page);
  const box = await (await page.$('#b-view canvas')).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width / 2 + 120, box.y + box.height / 2 - 60, { steps: 8 });
  await page.mouse.up();
  const turned = await pixels(page);
  assert.ok(differing(start, turned) > 500, 'the drag changes the picture');
  await page.click('#b-view-reset');
  assert.equal(differing(start, await pixels(page)), 0, 'Reset view restores the start');

  await page.focus('#b-view canvas');
  await page.keyboard.press('ArrowLeft');
  await page.keyboard.press('ArrowUp');
  assert.ok(differing(start, await pixels(page)) > 500, 'arrows turn it');
  await page.keyboard.press('0');
  assert.equal(differing(start, await pixels(page)), 0, '0 resets it');
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.wheel({ deltaY: 400 });
  await new Promise((r) => setTimeout(r, 100));
  assert.ok(differing(start, await pixels(page)) > 100, 'the wheel zooms');
  assert.deepEqual(errors, []);
  await page.close();
});

test('the spring view plays the motion', async () => {
  const { page, errors } = await open(browser);
  await page.click('#tab-spring');
  const start = await pixels(page, 's-view');
  await page.$eval('#s-speed', (i) => (i.value = '20'));
  await page.click('#s-play');
  await page.waitForFunction(() => Number(document.getElementById('s-time').value) > 2);
  await page.click('#s-pause');
  const t = await page.$eval('#s-time', (i) => Number(i.value));
  await new Promise((r) => setTimeout(r, 300));
  assert.equal(await page.$eval('#s-time', (i) => Number(i.value)), t, 'Pause stops the time');
  assert.ok(differing(start, await pixels(page, 's-view')) > 100, 'the body moved');
  await page.screenshot({ path: shotPath('spring.png'), fullPage: false });
  assert.deepEqual(errors, []);
  await page.close();
});

// The controls a user can operate in the shown panel, header included; a
// group of radio buttons is one stop (arrows move within it).
const controlName = (e) => (e.type === 'radio' ? `radio:${e.name}` : e.id || `${e.tagName}:${e.closest('[id]')?.id}`);
async function controls(page) {
  return page.$$eval(
    'button, input, select, .view canvas',
    (els, name) => [...new Set(els.filter((e) => e.offsetParent !== null && !e.disabled).map(new Function(`return ${name}`)()))],
    controlName.toString(),
  );
}

async function walk(page, steps) {
  const reached = new Set();
  for (let i = 0; i < steps; i++) {
    await page.keyboard.press('Tab');
    reached.add(await page.evaluate((name) => new Function(`return ${name}`)()(document.activeElement), controlName.toString()));
  }
  return reached;
}

test('keyboard only: Tab reaches every control of both simulations, each input labelled', async () => {
  const { page, errors } = await open(browser);
  const unlabelled = await page.$$eval('input', (inputs) => inputs.filter((i) => i.labels.length === 0 && !i.getAttribute('aria-label')).map((i) => i.id));
  assert.deepEqual(unlabelled, []);
  for (const tab of ['tab-ballistics', 'tab-spring']) {
    await page.focus(`#${tab}`);
    await page.keyboard.press('Enter');
    const wanted = await controls(page);
    assert.ok(wanted.length > 20, `${tab}: ${wanted.length} controls`);
    const reached = await walk(page, wanted.length + 10);
    // The tab not selected is reached with the arrows (access.test.mjs).
    const other = tab === 'tab-ballistics' ? 'tab-spring' : 'tab-ballistics';
    assert.deepEqual(wanted.filter((c) => !reached.has(c) && c !== other), [], `${tab}: controls Tab never reaches`);
  }
  // The spring's scheme chosen with the arrows recomputes.
  let before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.focus('#s-scheme-rk4');
  await page.keyboard.press('ArrowRight');
  await waitForPicture(page, before);
  assert.equal(await page.$eval('#s-table td.scheme', (c) => c.dataset.scheme), 'symplectic-euler');
  // A scheme ticked from the keyboard recomputes.
  await page.focus('#tab-ballistics');
  await page.keyboard.press('Enter');
  before = await page.evaluate(() => window.pbsimPage.pictures);
  await page.focus('#b-scheme-euler');
  await page.keyboard.press('Space');
  await waitForPicture(page, before);
  assert.equal(await page.$$eval('#b-table tbody tr', (r) => r.length), 3);
  assert.deepEqual(errors, []);
  await page.close();
});

test("at a phone's width (360 px) nothing runs off the side and the view is drawn", async () => {
  const { page, errors } = await open(browser, { width: 360, height: 740 });
  for (const tab of ['tab-ballistics', 'tab-spring']) {
    await page.click(`#${tab}`);
    const widths = await page.evaluate(() => ({
      page: document.documentElement.scrollWidth,
      view: document.querySelector('section:not([hidden]) .view').getBoundingClientRect().width,
      inputs: Math.max(...[...document.querySelectorAll('section:not([hidden]) input')].map((i) => i.getBoundingClientRect().right)),
    }));
    assert.ok(widths.page <= 360, `${tab}: the page is ${widths.page} px wide`);
    assert.ok(widths.view > 250 && widths.view <= 360, `${tab}: the view is ${widths.view} px wide`);
    assert.ok(widths.inputs <= 360, `${tab}: inputs end at ${widths.inputs} px`);
  }
  await page.click('#tab-ballistics');
  await page.screenshot({ path: shotPath('phone.png'), fullPage: true });
  assert.deepEqual(errors, []);
  await page.close();
});

test('without WebGL a plain message says so, and the numbers still come', async () => {
  const noGl = await launch(['--disable-webgl', '--disable-3d-apis']);
  try {
    const { page } = await open(noGl);
    assert.equal(await page.$eval('#no-webgl', (e) => e.hidden), false);
    assert.match(await page.$eval('#no-webgl', (e) => e.textContent), /cannot draw WebGL/);
    assert.equal(await page.$$eval('#b-table tbody tr', (r) => r.length), 4);
  } finally {
    await noGl.close();
  }
});
