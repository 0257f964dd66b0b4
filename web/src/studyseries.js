// What a convergence study's plots draw, from the engine's rows: pure
// arithmetic on the rows, kept apart so that it can be tested without a
// browser. A row is a fixed-step scheme's level (its h) or an adaptive
// scheme's (its rtol; h is not a number there).
import { align, cssColour } from './plots.js';

// A grey that, at its opacity, keeps 3:1 against the white ground.
const kReference = cssColour([0.4, 0.4, 0.4], 0.8);

// The rows by scheme and precision, in the order they come.
function groupsOf(rows, schemeByName) {
  const groups = [];
  for (const r of rows) {
    const key = `${r.scheme}/${r.precision}`;
    let g = groups.find((x) => x.key === key);
    if (!g) groups.push((g = { key, scheme: schemeByName[r.scheme], precision: r.precision, rows: [] }));
    g.rows.push(r);
  }
  return groups;
}

const positive = (v) => (Number.isFinite(v) && v > 0 ? v : null);

// The dashes of a double-precision line (a single-precision one is solid).
export const kDoubleDash = [6, 4];

// A group's line: its scheme's colour and marker, dashed in double
// precision, hollow where the row is at the floor.
function line(g, values, hollow) {
  return {
    label: `${g.scheme.title} (${g.precision})`,
    colour: g.scheme.colour,
    marker: g.scheme.marker,
    dash: g.precision === 'single' ? undefined : kDoubleDash,
    values,
    hollow,
  };
}

// Error against time step: each fixed-step scheme and precision's errors
// from the finest step (hollow at the floor), and the engine's reference
// slopes, on x values shared by all. Adaptive rows have no h: not here.
export function studySeries(result, schemeByName) {
  const groups = groupsOf(
    result.rows.filter((r) => Number.isFinite(r.h)),
    schemeByName,
  );
  // uPlot wants x ascending: levels from the finest step.
  const curves = groups.map((g) => {
    const rows = [...g.rows].reverse();
    return { x: rows.map((r) => r.h), y: rows.map((r) => positive(r.error)) };
  });
  if (!curves.length) return { xs: [], series: [] };
  const slopes = result.slopes.map((s) => ({ x: [s.hEnd, s.h0], y: [s.eEnd, s.e0] }));
  const { xs, ys } = align([...curves, ...slopes]);
  const series = groups.map((g, i) => {
    const floorAt = new Map(g.rows.map((r) => [r.h, r.floor]));
    return line(
      g,
      ys[i],
      xs.map((h) => floorAt.get(h) || false),
    );
  });
  result.slopes.forEach((s, i) => {
    series.push({ label: `h^${s.order}`, css: kReference, dash: [2, 3], width: 1, marker: null, values: ys[groups.length + i] });
  });
  return { xs, series };
}

// Work against precision: each scheme and precision's derivative
// evaluations (y) against the error it reached (x), fixed-step and adaptive
// schemes together; each line joins its own points, from the smallest error.
export function workSeries(result, schemeByName) {
  const groups = groupsOf(result.rows, schemeByName);
  const points = groups.map((g) => g.rows.filter((r) => positive(r.error) !== null && r.evaluations > 0).sort((a, b) => a.error - b.error));
  const kept = groups.map((g, i) => ({ g, rows: points[i] })).filter((k) => k.rows.length);
  if (!kept.length) return { xs: [], series: [] };
  const { xs, ys } = align(kept.map((k) => ({ x: k.rows.map((r) => r.error), y: k.rows.map((r) => r.evaluations) })));
  const series = kept.map((k, i) => {
    const floorAt = new Map(k.rows.map((r) => [r.error, r.floor]));
    return { ...line(k.g, ys[i], xs.map((e) => floorAt.get(e) || false)), spanGaps: true };
  });
  return { xs, series };
}

// Tolerance proportionality: each adaptive scheme's achieved error against
// the rtol it was given, and the line error = rtol beside them.
export function toleranceSeries(result, schemeByName) {
  const groups = groupsOf(
    result.rows.filter((r) => Number.isFinite(r.rtol)),
    schemeByName,
  );
  if (!groups.length) return { xs: [], series: [] };
  const curves = groups.map((g) => {
    const rows = [...g.rows].sort((a, b) => a.rtol - b.rtol);
    return { x: rows.map((r) => r.rtol), y: rows.map((r) => positive(r.error)) };
  });
  const rtols = curves.flatMap((c) => c.x);
  const ends = [Math.min(...rtols), Math.max(...rtols)];
  const { xs, ys } = align([...curves, { x: ends, y: ends }]);
  const series = groups.map((g, i) => {
    const floorAt = new Map(g.rows.map((r) => [r.rtol, r.floor]));
    return line(
      g,
      ys[i],
      xs.map((t) => floorAt.get(t) || false),
    );
  });
  series.push({ label: 'error = rtol', css: kReference, dash: [2, 3], width: 1, marker: null, values: ys[groups.length], spanGaps: true });
  return { xs, series };
}

// The schemes (names) of a study of every scheme that fit its sweep: the
// fixed-step ones for a sweep of dt, the adaptive ones for rtol, all for auto.
export function schemesForSweep(names, sweep, schemeByName) {
  if (sweep === 'dt') return names.filter((n) => !schemeByName[n]?.adaptive);
  if (sweep === 'rtol') return names.filter((n) => schemeByName[n]?.adaptive);
  return names;
}
