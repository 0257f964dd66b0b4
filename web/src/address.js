// What the address (the part after #) says about the page's settings: the
// fields' values under the simulation's prefix and the parameter's name
// (b.elevation=60), the schemes ticked, the simulation shown. Pure helpers,
// shared by the page's first script, which asks for the first flights
// before the engine's tables are there, and by the page.

// pbsim starts its ballistics panel with its three schemes ticked and its
// spring panel with RK4.
export const startFlightSchemes = ['euler', 'midpoint', 'rk4'];
export const startSpringScheme = 'rk4';

// The address's settings that are no field of the engine's tables: the
// schemes ticked or chosen, the schemes whose energies the spring compares,
// the playback's speed, a convergence study's quantity, sweep, levels and
// double twin (1 or 0).
const kOwnSettings = ['schemes', 'scheme', 'energies', 'speed', 'quantity', 'sweep', 'levels', 'double'];

// A number written with a decimal comma (0,1 as many countries write 0.1):
// one comma, no point.
const kDecimalComma = /^[+-]?(\d+,\d*|,\d+)(e[+-]?\d+)?$/i;

// What a field's text means for the engine: a number (a decimal comma read
// as a point), or the text itself when it is no number (the engine then
// says so).
export function fieldValue(text) {
  const trimmed = kDecimalComma.test(text.trim()) ? text.trim().replace(',', '.') : text.trim();
  const v = Number(trimmed);
  return trimmed === '' || Number.isNaN(v) ? trimmed : v;
}

// The values the address gives under `prefix` ({name: text}), and the
// address's other settings of that simulation ({schemes, scheme, speed,
// quantity, sweep})
// where it has them. Which names are parameters is the engine's to say.
export function settingsInAddress(hash, prefix) {
  const p = new URLSearchParams(hash.replace(/^#/, ''));
  const values = {};
  const own = {};
  for (const [key, value] of p) {
    if (!key.startsWith(`${prefix}.`)) continue;
    const name = key.slice(prefix.length + 1);
    if (kOwnSettings.includes(name)) own[name] = value;
    else values[name] = value;
  }
  return { values, own, sim: shownInAddress(hash) };
}

// The simulation the address shows.
export function shownInAddress(hash) {
  return new URLSearchParams(hash.replace(/^#/, '')).get('sim') === 'spring' ? 'spring' : 'ballistics';
}

// The flights the address asks for: the values it names (the engine's
// start-up values stand for the others, and the fields get the same) and
// the ticked schemes.
export function flightsInAddress(hash) {
  const { values, own } = settingsInAddress(hash, 'b');
  const read = Object.fromEntries(Object.entries(values).map(([k, v]) => [k, fieldValue(v)]));
  const schemes = own.schemes !== undefined ? own.schemes.split(',').filter((s) => s) : startFlightSchemes;
  return { values: read, schemes };
}

// The address for the settings: {sim, simulations: [{prefix, values: {name: text}, own: {...}}]}.
export function addressOf({ sim, simulations }) {
  const p = new URLSearchParams();
  p.set('sim', sim);
  for (const s of simulations) {
    for (const [name, text] of Object.entries(s.values)) p.set(`${s.prefix}.${name}`, text);
    for (const [name, text] of Object.entries(s.own)) p.set(`${s.prefix}.${name}`, text);
  }
  return `#${p.toString()}`;
}

// The settings in `text` a user pastes: a link to any copy of the page, or
// its part from # on; null when it holds none.
export function pastedSettings(text) {
  const at = text.indexOf('#');
  const hash = (at >= 0 ? text.slice(at) : `#${text.trim()}`).trim();
  const p = new URLSearchParams(hash.slice(1));
  return [...p.keys()].some((k) => k === 'sim' || /^[bs]\./.test(k)) ? hash : null;
}

// The line a downloaded CSV starts with: what made it and the settings it
// was made with (`settings`: [[name, value]], as the fields and the
// address name them), led by "#" so that a CSV reader told to skip
// comments (pandas' comment='#', R's comment.char) reads the header after
// it unchanged.
export function settingsLine(generator, what, settings) {
  const shown = settings.map(([name, value]) => `${name}=${Array.isArray(value) ? value.join(' ') : value}`).join(', ');
  return `# ${generator} ${what}, settings: ${shown}\n`;
}
