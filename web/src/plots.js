// The page's plots, drawn with uPlot: curves in the engine's colours (made
// dark enough to read on white, onWhite), each
// scheme's marker drawn along its curve, exact curves dashed, log axes where
// errors span decades.
import uPlot from 'uplot';

export { cssColour, contrastOnWhite, kGraphicsContrast, onWhite, plotColour } from './colours.js';
import { plotColour } from './colours.js';
import { TextAlternative, readable, spread } from './alternative.js';

// The glyph shown in tables and legends for each of the engine's markers.
export const markerGlyph = { circle: '●', square: '■', triangle: '▲', diamond: '◆', cross: '✕', plus: '✚', star: '★', 'triangle-down': '▼', hexagon: '⬢' };

function drawMarker(ctx, shape, x, y, r, hollow) {
  ctx.beginPath();
  switch (shape) {
    case 'square':
      ctx.rect(x - r, y - r, 2 * r, 2 * r);
      break;
    case 'triangle':
      ctx.moveTo(x, y - r * 1.2);
      ctx.lineTo(x + r * 1.1, y + r * 0.8);
      ctx.lineTo(x - r * 1.1, y + r * 0.8);
      ctx.closePath();
      break;
    case 'diamond':
      ctx.moveTo(x, y - r * 1.3);
      ctx.lineTo(x + r, y);
      ctx.lineTo(x, y + r * 1.3);
      ctx.lineTo(x - r, y);
      ctx.closePath();
      break;
    case 'triangle-down':
      ctx.moveTo(x, y + r * 1.2);
      ctx.lineTo(x + r * 1.1, y - r * 0.8);
      ctx.lineTo(x - r * 1.1, y - r * 0.8);
      ctx.closePath();
      break;
    case 'star':
      for (let i = 0; i < 10; i++) {
        const a = -Math.PI / 2 + (i * Math.PI) / 5;
        const rr = i % 2 ? r * 0.55 : r * 1.35;
        ctx[i ? 'lineTo' : 'moveTo'](x + rr * Math.cos(a), y + rr * Math.sin(a));
      }
      ctx.closePath();
      break;
    case 'hexagon':
      for (let i = 0; i < 6; i++) {
        const a = Math.PI / 6 + (i * Math.PI) / 3;
        ctx[i ? 'lineTo' : 'moveTo'](x + r * 1.15 * Math.cos(a), y + r * 1.15 * Math.sin(a));
      }
      ctx.closePath();
      break;
    case 'cross':
    case 'plus': {
      const d = shape === 'plus' ? [[-r * 1.2, 0, r * 1.2, 0], [0, -r * 1.2, 0, r * 1.2]] : [[-r, -r, r, r], [r, -r, -r, r]];
      for (const [x0, y0, x1, y1] of d) {
        ctx.moveTo(x + x0, y + y0);
        ctx.lineTo(x + x1, y + y1);
      }
      ctx.lineWidth = 2;
      ctx.stroke();
      return;
    }
    default:
      ctx.arc(x, y, r, 0, 2 * Math.PI);
  }
  if (hollow) {
    ctx.lineWidth = 1.5;
    ctx.stroke();
  } else {
    ctx.fill();
  }
}

// Draws each series' marker at about `count` of its points (every point
// when `look().every` is set); `look()` gives the markers of the data shown
// (`markers[s]`, `hollowAt(s, i)` for points drawn hollow).
function markersPlugin(count, look) {
  return {
    hooks: {
      draw: (u) => {
        const { markers, every, hollowAt } = look();
        const ctx = u.ctx;
        ctx.save();
        const r = 4 * devicePixelRatio;
        for (let s = 1; s < u.series.length; s++) {
          const shape = markers[s];
          if (!shape || !u.series[s].show) continue;
          const xs = u.data[0];
          const ys = u.data[s];
          const idx = [];
          for (let i = 0; i < ys.length; i++) if (ys[i] != null && Number.isFinite(ys[i])) idx.push(i);
          const gap = every ? 1 : Math.max(1, Math.floor(idx.length / count));
          ctx.fillStyle = ctx.strokeStyle = u.series[s]._stroke || u.series[s].stroke();
          // Markers start at different offsets so that coinciding curves show each.
          for (let j = every ? 0 : (s * 3) % gap; j < idx.length; j += gap) {
            const i = idx[j];
            const x = u.valToPos(xs[i], 'x', true);
            const y = u.valToPos(ys[i], 'y', true);
            if (x < u.bbox.left || x > u.bbox.left + u.bbox.width) continue;
            if (y < u.bbox.top || y > u.bbox.top + u.bbox.height) continue;
            drawMarker(ctx, shape, x, y, r, hollowAt ? hollowAt(s, i) : false);
          }
        }
        ctx.restore();
      },
    },
  };
}

// An axis's tick label: a plain decimal for everyday sizes, a power of ten
// beyond them (a diverged run's 1e38 as "1e+38", not 39 digits), nothing
// for a tick uPlot leaves out.
export function tickLabel(x, log = false) {
  if (x == null || !Number.isFinite(x)) return '';
  if (log) return x.toExponential(0);
  const a = Math.abs(x);
  if (a !== 0 && (a >= 1e5 || a < 1e-3)) return x.toExponential(2).replace(/\.?0+e/, 'e');
  return String(Number(x.toPrecision(6)));
}

// The power of ten a plot's values are drawn in: 0 while the largest
// finite one is within what the axes label (1e12 on a linear axis, 1e15 on
// a log one), else what brings it there.
export function yScale(series, log) {
  let most = 0;
  for (const s of series) for (const v of s.values) if (v != null && Number.isFinite(v)) most = Math.max(most, Math.abs(v));
  if (!log) return most >= 1e12 ? Math.floor(Math.log10(most)) : 0;
  return most >= 1e15 ? Math.ceil(Math.log10(most)) - 15 : 0;
}

// A log axis's ticks over the decades from min to max, at most about 8 (a
// tick every few decades where they are many).
export function decades(min, max) {
  const e0 = Math.floor(Math.log10(min));
  const e1 = Math.ceil(Math.log10(max));
  if (!Number.isFinite(e0) || !Number.isFinite(e1)) return [];
  const step = Math.max(1, Math.ceil((e1 - e0) / 8));
  const ticks = [];
  for (let e = e0; e <= e1; e += step) ticks.push(Number(`1e${e}`));
  return ticks;
}

// One plot in `container`: series [{label, colour, marker, dash, values}],
// x values shared (aligned data). New data for the same series replaces
// the plot's data in place; other series make a new plot.
export class Plot {
  constructor(container, { title, xLabel, yLabel, logX = false, logY = false, markerCount = 10 }) {
    this.container = container;
    this.options = { title, xLabel, yLabel, logX, logY, markerCount };
    this.plot = null;
    this.alternative = new TextAlternative(container, container, `the plot “${title}”`);
    this.alternative.clear();
    this.resizeObserver = new ResizeObserver(() => this.resize());
    this.resizeObserver.observe(container);
  }

  size() {
    const width = Math.max(200, this.container.clientWidth);
    return { width, height: Math.round(Math.min(320, Math.max(200, width * 0.55))) };
  }

  resize() {
    if (this.plot) this.plot.setSize(this.size());
  }

  // xs: the x values; series: [{label, colour, marker, dash, values, hollow,
  // spanGaps (a line across the points where it has no value)}].
  show(xs, series, { every = false } = {}) {
    const o = this.options;
    const markers = [null, ...series.map((s) => s.marker)];
    const hollows = [null, ...series.map((s) => s.hollow || null)];
    this.look = { markers, every, hollowAt: (s, i) => (hollows[s] ? hollows[s][i] : false) };
    // Values too large for uPlot's ticks (a diverged run's 1e38: it draws no
    // tick beyond 17 digits) are drawn in a power of ten the label names.
    const k = yScale(series, o.logY);
    const yLabel = k ? `${o.yLabel} × 1e${k}` : o.yLabel;
    const data = [xs, ...series.map((s) => (k ? s.values.map((v) => (v == null ? v : v / 10 ** k)) : s.values))];
    // What the plot shows, for a screen reader (and a test): its title and curves.
    this.container.setAttribute('role', 'img');
    this.container.setAttribute('aria-label', `${o.title}: ${series.map((s) => s.label).join('; ')}`);
    this.describe(xs, series, every);
    const kind = JSON.stringify([every, o.xLabel, yLabel, series.map((s) => [s.label, s.css, s.colour, s.width, s.dash, s.marker, s.spanGaps])]);
    if (this.plot && kind === this.kind) {
      this.plot.setData(data);
      return;
    }
    this.kind = kind;
    const opts = {
      ...this.size(),
      title: o.title,
      legend: { show: false },
      cursor: { drag: { x: true, y: false } },
      scales: {
        x: { time: false, distr: o.logX ? 3 : 1 },
        y: { distr: o.logY ? 3 : 1 },
      },
      // Each axis's labels as drawn, kept on the container (data-ticks: [x, y]).
      axes: [
        { label: o.xLabel, values: (u, v) => this.ticks(0, v.map((x) => tickLabel(x, o.logX))) },
        { label: yLabel, size: 70, values: (u, v) => this.ticks(1, v.map((x) => tickLabel(x, o.logY))), ...(k && o.logY ? { splits: (u, i, min, max) => decades(min, max), filter: (u, splits) => splits } : {}) },
      ],
      series: [
        {},
        ...series.map((s) => ({
          label: s.label,
          stroke: s.css || plotColour(s.colour),
          width: s.width || 1.5,
          dash: s.dash,
          points: { show: false },
          spanGaps: !!s.spanGaps,
        })),
      ],
      plugins: [markersPlugin(o.markerCount, () => this.look)],
    };
    if (this.plot) this.plot.destroy();
    this.plot = new uPlot(opts, data, this.container);
  }

  ticks(axis, labels) {
    const all = JSON.parse(this.container.dataset.ticks || '[[],[]]');
    all[axis] = labels;
    this.container.dataset.ticks = JSON.stringify(all);
    return labels;
  }

  // The text alternative: each curve's span in a sentence, and the numbers
  // (every point of a study, about 25 of a curve over time) in a table.
  describe(xs, series, every) {
    const o = this.options;
    const at = [...xs.keys()].filter((i) => series.some((s) => s.values[i] != null && Number.isFinite(s.values[i])));
    const kept = every ? at : spread(at.length, 25).map((k) => at[k]);
    const spans = series.map((s) => {
      const points = at.filter((i) => s.values[i] != null && Number.isFinite(s.values[i]));
      if (!points.length) return `${s.label}: no value it can show`;
      const ys = points.map((i) => s.values[i]);
      const first = points[0];
      const lastAt = points[points.length - 1];
      return `${s.label}: from ${readable(s.values[first])} at ${readable(xs[first])} to ${readable(s.values[lastAt])} at ${readable(xs[lastAt])}, between ${readable(Math.min(...ys))} and ${readable(Math.max(...ys))}`;
    });
    const sentence = `${o.title}, ${o.yLabel} against ${o.xLabel}${o.logY ? ' (log scale)' : ''}. ${spans.join('. ')}.`;
    this.alternative.show(
      sentence,
      [o.xLabel, ...series.map((s) => `${s.label}, ${o.yLabel}`)],
      kept.map((i) => [readable(xs[i]), ...series.map((s) => readable(s.values[i]) + (s.hollow && s.hollow[i] ? ' (at the floor)' : ''))]),
    );
  }

  clear() {
    this.alternative.clear();
    this.container.removeAttribute('role');
    this.container.removeAttribute('aria-label');
    if (this.plot) this.plot.destroy();
    this.plot = null;
    this.kind = null;
  }
}

// Several curves with their own x values as one aligned data set: the
// union of their x values, null where a curve has no point.
export function align(curves) {
  const joined = uPlot.join(curves.map((c) => [c.x, c.y]));
  return { xs: joined[0], ys: joined.slice(1) };
}

// At most `most` points of (x, y), evenly spread, with the last kept; values
// that a log axis cannot show (0, negative, NaN) become null when `positive`.
export function thin(x, y, most = 1500, positive = false) {
  const n = Math.min(x.length, y.length);
  const s = n <= most ? 1 : Math.ceil(n / most);
  const xs = [];
  const ys = [];
  const put = (k) => {
    const v = y[k];
    xs.push(x[k]);
    ys.push(Number.isFinite(v) && (!positive || v > 0) ? v : null);
  };
  for (let k = 0; k < n; k += s) put(k);
  if (n > 0 && (n - 1) % s !== 0) put(n - 1);
  return { x: xs, y: ys };
}
