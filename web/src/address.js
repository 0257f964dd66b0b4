// The panels' field names and what the address (the part after #) says
// about them: shared by the page's first script, which asks for the first
// flights before the page's own script has loaded, and by the page.

export const flightFields = ['azimuth', 'elevation', 'mass', 'powder', 'gravity', 'friction', 'power', 'target_x', 'target_z', 'dt'];
export const springFields = ['mass', 'ks', 'kd', 'rest', 'gravity', 'dt'];
// pbsim starts its ballistics panel with its three schemes ticked and its
// spring panel with RK4.
export const startFlightSchemes = ['euler', 'midpoint', 'rk4'];
export const startSpringScheme = 'rk4';

// What a field's text means for the engine: a number, or the text itself
// when it is no number (the engine then says so).
export function fieldValue(text) {
  const trimmed = text.trim();
  const v = Number(trimmed);
  return trimmed === '' || Number.isNaN(v) ? trimmed : v;
}

// The flights the address asks for: the values it names (the engine's
// start-up values stand for the others, and the fields get the same) and
// the ticked schemes.
export function flightsInAddress(hash) {
  const p = new URLSearchParams(hash.replace(/^#/, ''));
  const values = {};
  for (const name of flightFields) if (p.has(`b.${name}`)) values[name] = fieldValue(p.get(`b.${name}`));
  const schemes = p.has('b.schemes') ? p.get('b.schemes').split(',').filter((s) => s) : startFlightSchemes;
  return { values, schemes };
}
