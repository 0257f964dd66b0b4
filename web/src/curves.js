// How far the exact solution is drawn beside the runs: pure arithmetic on
// the runs' times, kept apart so that it can be tested without a browser.

// Points of the exact curve: the flight's is smooth, the spring's oscillates.
export const kExactSamples = { flight: 400, spring: 800 };

// The time the exact curve ends at. The exact flight ends where it lands;
// one that never lands is drawn as long as the longest run, at least 1 s.
// The exact spring is drawn over the run it sits beside.
export function exactCurveEnd(model, runs) {
  const ends = runs.map((r) => r.t[r.t.length - 1] || 0);
  return model === 'flight' ? Math.max(1, ...ends) : Math.max(1e-9, ...ends);
}
