// How far the exact solution is drawn beside the runs, and what the spring's
// plots and playback read of a run: pure arithmetic on the runs' columns,
// kept apart so that it can be tested without a browser.

// Points of the exact curve: the flight's is smooth, the spring's oscillates.
export const kExactSamples = { flight: 400, spring: 800 };

// The time the exact curve ends at. The exact flight ends where it lands;
// one that never lands is drawn as long as the longest run, at least 1 s.
// The exact spring is drawn over the run it sits beside.
export function exactCurveEnd(model, runs) {
  const ends = runs.map((r) => r.t[r.t.length - 1] || 0);
  return model === 'flight' ? Math.max(1, ...ends) : Math.max(1e-9, ...ends);
}

// E + W_damping at each sample of the run (the engine's energy and damping
// work columns).
export function energyBalance(run) {
  return Float64Array.from(run.energy, (e, k) => e + run.damping_work[k]);
}

// The last sample at or before time t (of times t ascending), and never the
// last sample itself, so that it starts a step: 0 for a single sample.
export function sampleBefore(t, time) {
  const n = t.length;
  if (n < 2) return 0;
  let lo = 0;
  let hi = n - 1;
  while (hi - lo > 1) {
    const mid = (lo + hi) >> 1;
    if (t[mid] <= time) lo = mid;
    else hi = mid;
  }
  return lo;
}
