// The page's own arithmetic and parsing, without a browser: what a field's
// text means, the thinning of a plotted curve, the scheme table as the page
// shows it, and the exact flight it draws against the closed form.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { fieldValue } from '../../src/address.js';
import { thin, cssColour, markerGlyph, onWhite, plotColour } from '../../src/plots.js';
import { loadEngine, schemeTable } from './engine.mjs';

const engine = await loadEngine();

test('a field holds a number only when all of its text is one', () => {
  const numbers = [['1000', 1000], [' 1000 ', 1000], ['1e3', 1000], ['-9.8', -9.8], ['.5', 0.5], ['0', 0]];
  // A decimal comma is a decimal point.
  numbers.push(['0,1', 0.1], ['1,5', 1.5], ['-9,81', -9.81], [',5', 0.5], ['2,5e-3', 0.0025]);
  for (const [text, value] of numbers) assert.equal(fieldValue(text), value, JSON.stringify(text));
  // Text with a number in front is no number: the engine is given the text
  // and refuses it, never a value read from its first digits.
  for (const text of ['1000kg', '1000 kg', '10m', '1,5,0', '1,5.0', ',', '5e', '--5', 'ten', '', '   ', '1 000']) {
    const v = fieldValue(text);
    assert.equal(typeof v, 'string', `${JSON.stringify(text)} read as ${v}`);
  }
});

test('the engine refuses the text of a field that is no number', () => {
  for (const name of ['mass', 'dt', 'gravity']) {
    const problems = engine.problems('flight', { [name]: fieldValue('1000kg') });
    assert.ok(problems && problems[name], `${name}: ${JSON.stringify(problems)}`);
  }
});

test('thinning keeps the first and the last point, in order, at most about `most` of them', () => {
  for (const n of [0, 1, 2, 3, 10, 1499, 1500, 1501, 1502, 3001, 4500, 10007]) {
    for (const most of [1, 2, 3, 7, 1500]) {
      const x = Array.from({ length: n }, (_, i) => i);
      const y = x.map((i) => i + 0.5);
      const t = thin(x, y, most);
      const what = `n ${n}, most ${most}`;
      if (n === 0) {
        assert.deepEqual(t, { x: [], y: [] }, what);
        continue;
      }
      assert.equal(t.x[0], 0, `${what}: the first point`);
      assert.equal(t.x[t.x.length - 1], n - 1, `${what}: the last point`);
      if (n <= most) assert.equal(t.x.length, n, `${what}: every point`);
      assert.ok(t.x.length <= most + 1, `${what}: ${t.x.length} points`);
      for (let i = 1; i < t.x.length; i++) assert.ok(t.x[i] > t.x[i - 1], `${what}: in order`);
      // Evenly spread: no gap longer than n / most rounded up.
      for (let i = 1; i < t.x.length; i++) assert.ok(t.x[i] - t.x[i - 1] <= Math.ceil(n / most), `${what}: gap`);
      t.x.forEach((k, i) => assert.equal(t.y[i], y[k], `${what}: y follows x`));
    }
  }
  // On a log axis what it cannot show becomes a gap.
  assert.deepEqual(thin([0, 1, 2, 3, 4], [1, 0, -1, NaN, 2], 10, true).y, [1, null, null, null, 2]);
});

test('every scheme shows with the colour, marker, title, order and kind of the scheme table', () => {
  const table = schemeTable();
  assert.ok(table.length >= 9, `read the scheme table: ${table.length} rows`);
  const shown = engine.schemes();
  assert.deepEqual(
    shown.map((s) => ({ name: s.name, title: s.title, order: s.order, evaluations: s.evaluations, colour: [...s.colour].map(Math.fround), marker: s.marker, kind: s.kind })),
    table,
  );
  // Only the explicit schemes have pbsim's single precision; the others run
  // in double, and the engine says so in its own words.
  for (const s of shown) {
    assert.equal(s.single, s.kind === 'explicit', s.name);
    assert.equal(s.defaultPrecision, s.single ? 'single' : 'double', s.name);
    assert.equal(s.precisionNote, s.single ? '' : `${s.name} runs in double precision only`, s.name);
    assert.equal(s.adaptive, s.kind === 'adaptive', s.name);
  }
  // The glyph of each marker, by the shapes Unicode gives them.
  const shapes = { circle: 0x25cf, square: 0x25a0, triangle: 0x25b2, diamond: 0x25c6, cross: 0x2715, plus: 0x271a, star: 0x2605, 'triangle-down': 0x25bc, hexagon: 0x2b22 };
  for (const s of table) {
    assert.equal(markerGlyph[s.marker].codePointAt(0), shapes[s.marker], `${s.name}: ${s.marker}`);
    const rgb = s.colour.map((v) => Math.round(v * 255));
    assert.equal(cssColour(s.colour), `rgb(${rgb.join(',')})`, s.name);
  }
});

// WCAG 2's contrast ratio of two sRGB colours (0..255), written here from
// its definition: (L1 + 0.05) / (L2 + 0.05) of their relative luminances.
function contrast(a, b) {
  const L = (c) => {
    const [r, g, bl] = c.map((v) => {
      const s = v / 255;
      return s <= 0.03928 ? s / 12.92 : Math.pow((s + 0.055) / 1.055, 2.4);
    });
    return 0.2126 * r + 0.7152 * g + 0.0722 * bl;
  };
  const [hi, lo] = [L(a), L(b)].sort((x, y) => y - x);
  return (hi + 0.05) / (lo + 0.05);
}

// The hue of an sRGB colour in degrees (NaN for a grey).
function hue([r, g, b]) {
  const h = (Math.atan2(Math.sqrt(3) * (g - b), 2 * r - g - b) * 180) / Math.PI;
  return r === g && g === b ? NaN : (h + 360) % 360;
}

test("the plots' colours: each scheme's hue, at least 3:1 on white, darkened no more than needed", () => {
  const white = [255, 255, 255];
  // The ratios WCAG's definition gives for known pairs.
  assert.equal(contrast(white, [0, 0, 0]), 21);
  assert.ok(Math.abs(contrast(white, [0, 255, 0]) - 1.37) < 0.005);
  for (const s of schemeTable()) {
    const own = s.colour.map((v) => Math.round(v * 255));
    const drawn = onWhite(s.colour);
    assert.equal(plotColour(s.colour), `rgb(${drawn.join(',')})`, s.name);
    assert.ok(contrast(white, drawn) >= 3, `${s.name}: ${drawn} is ${contrast(white, drawn).toFixed(2)}:1 on white`);
    if (contrast(white, own) >= 3) {
      assert.deepEqual(drawn, own, `${s.name}: dark enough already, kept`);
      continue;
    }
    assert.ok(Math.abs(hue(drawn) - hue(own)) < 2, `${s.name}: hue ${hue(own)} kept (${hue(drawn)})`);
    // Only as dark as 3:1 needs: a step lighter would not reach it.
    assert.ok(contrast(white, drawn) < 3.1, `${s.name}: ${contrast(white, drawn).toFixed(2)}:1, darker than needed`);
  }
});

// The flight under gravity g (an acceleration along y) and linear drag
// c = friction / mass from (p0, v0): v = v0·e^(-ct) + g/c·(1 - e^(-ct)),
// p = p0 + v0·(1 - e^(-ct))/c + g/c·(t - (1 - e^(-ct))/c) along y.
function closedForm(p0, v0, g, c, t) {
  const e = -Math.expm1(-c * t) / c;
  return [p0[0] + v0[0] * e, p0[1] + v0[1] * e + (g / c) * (t - e), p0[2] + v0[2] * e];
}

test("the page's exact flight follows the closed form from launch to landing", () => {
  const cases = [{}, { friction: 5 }, { elevation: 80, azimuth: -30, dt: 0.01 }, { mass: 50, friction: 500 }];
  for (const values of cases) {
    const startUp = Object.fromEntries(engine.parameters('flight').map((p) => [p.name, p.startUp]));
    const v = { ...startUp, ...values };
    const run = engine.run('flight', { ...v, scheme: 'rk4', precision: 'double' });
    const p0 = [run.x[0], run.y[0], run.z[0]];
    const v0 = [run.vx[0], run.vy[0], run.vz[0]];
    const samples = 400;
    const exact = engine.exactFlight(v, samples, 100);
    const what = JSON.stringify(values);
    assert.equal(exact.t.length, samples + 1, what);
    const landing = exact.landing_time;
    assert.ok(landing > 0, what);
    assert.equal(exact.t[0], 0, what);
    assert.ok(Math.abs(exact.t[samples] - landing) <= 1e-12 * landing, `${what}: ends at ${exact.t[samples]}, lands at ${landing}`);
    const size = Math.hypot(...p0) + Math.hypot(...v0) * landing;
    for (let i = 0; i <= samples; i++) {
      // Evenly spaced in time.
      assert.ok(Math.abs(exact.t[i] - (landing * i) / samples) <= 1e-12 * landing, `${what}: t[${i}] = ${exact.t[i]}`);
      // The model's parameters are single precision.
      const want = closedForm(p0, v0, Math.fround(v.gravity), Math.fround(v.friction) / Math.fround(v.mass), exact.t[i]);
      const got = [exact.x[i], exact.y[i], exact.z[i]];
      for (let k = 0; k < 3; k++) assert.ok(Math.abs(got[k] - want[k]) <= 1e-9 * size, `${what}: point ${i}: ${got} against ${want}`);
    }
    // It ends on the ground, y = 0.
    assert.ok(Math.abs(exact.y[samples]) <= 1e-9 * size, `${what}: ends at height ${exact.y[samples]}`);
  }
});

// A shot straight up under quadratic drag, a = g - k·|v|·v with k =
// friction / mass, has a closed form (terminal speed vt = sqrt(|g|/k)):
// going up v = vt·tan(φ0 - |g|t/vt), φ0 = atan(v0/vt), and
// y = y0 + vt²/|g|·ln(cos(φ0 - |g|t/vt) / cos φ0) to the apex at ta = φ0·vt/|g|;
// coming down y = H - vt²/|g|·ln(cosh(|g|(t - ta)/vt)).
function verticalQuadratic(y0, v0, g, k, t) {
  const G = Math.abs(g);
  const vt = Math.sqrt(G / k);
  const phi0 = Math.atan(v0 / vt);
  const apex = (phi0 * vt) / G;
  if (t <= apex) return y0 + ((vt * vt) / G) * Math.log(Math.cos(phi0 - (G * t) / vt) / Math.cos(phi0));
  const top = y0 + ((vt * vt) / (2 * G)) * Math.log1p((v0 * v0) / (vt * vt));
  return top - ((vt * vt) / G) * Math.log(Math.cosh((G * (t - apex)) / vt));
}

test("under quadratic drag the page's curve is the reference, which follows the vertical shot's closed form", () => {
  const startUp = Object.fromEntries(engine.parameters('flight').map((p) => [p.name, p.startUp]));
  const cases = [{ friction: 50 }, { friction: 2, mass: 10, power: 300 }, { friction: 0.01, gravity: -3 }];
  for (const values of cases) {
    const v = { ...startUp, ...values, elevation: 90, drag: 'quadratic' };
    const what = JSON.stringify(values);
    const run = engine.run('flight', { ...v, scheme: 'rk4', precision: 'double' });
    const samples = 200;
    const curve = engine.exactFlight(v, samples, 100);
    assert.equal(curve.judge, 'reference', what);
    assert.ok(curve.judge_error > 0 && curve.judge_error < 1e-9, `${what}: the reference's own error ${curve.judge_error}`);
    const landing = curve.landing_time;
    assert.ok(landing > 0 && Math.abs(curve.t[samples] - landing) <= 1e-12 * landing, `${what}: ends at ${curve.t[samples]}, lands at ${landing}`);
    const y0 = run.y[0];
    const v0 = Math.hypot(run.vx[0], run.vy[0], run.vz[0]);
    const k = Math.fround(v.friction) / Math.fround(v.mass);
    const height = Math.max(...curve.y);
    for (let i = 0; i <= samples; i++) {
      assert.ok(Math.abs(curve.t[i] - (landing * i) / samples) <= 1e-12 * landing, `${what}: t[${i}]`);
      const want = verticalQuadratic(y0, v0, Math.fround(v.gravity), k, curve.t[i]);
      // float32 aim: cos(90°) leaves the shot leaning by ~4e-8 rad, which
      // changes the speed's square by ~1e-15 of itself.
      assert.ok(Math.abs(curve.y[i] - want) <= 1e-9 * height, `${what}: y(${curve.t[i]}) = ${curve.y[i]}, closed form ${want}`);
    }
    assert.ok(Math.abs(curve.y[samples]) <= 1e-9 * height, `${what}: ends at height ${curve.y[samples]}`);
  }
});
