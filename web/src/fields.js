// A simulation's fields, made from the engine's parameter table: one
// fieldset per group, in the table's order, each field with the panel's
// label and unit, the help as its tooltip, and a place for the engine's
// message. The flight's drag law is a choice among the engine's words for
// its laws, made the same way and set beside the field whose unit it sets.
// The run's own options (the engine's runOptions: the step control's
// tolerances, the flight's landing rule) follow in a fieldset of their own;
// the tolerances show while an adaptive scheme is chosen (or while they hold
// a value the engine refuses). The page's own fieldsets (schemes, playback)
// follow them.
import { $, shared, status, inputRefused } from './page.js';
import { fieldValue } from './address.js';

// The drag law's field: the engine names the law `drag` and its laws.
const kDragField = 'drag';
const kDragHelp = 'how the air drags the projectile: linear (pbsim\'s model, the force is -friction x velocity) or quadratic (the force is -friction x |velocity| x velocity)';

// The page's words for the run's options the engine names.
const kOptionsGroup = 'Integration';
const kOptionWords = {
  rtol: { label: 'rtol', help: "the adaptive schemes' relative tolerance: a step is accepted when its estimated error is within atol + rtol x |state| (root mean square over the state)" },
  atol: { label: 'atol', help: "the adaptive schemes' absolute tolerance, in the state's units: what the error may be where the state is near 0" },
  until: { label: 'Until', unit: 's', help: 'the time the run ends by (at the first step at or after it); empty: it runs until the body rests or pbsim stops it (sample_limit)' },
  landing: { label: 'Landing', help: "where the ground point is placed within the last step: linear (pbsim's rule, the straight line between the step's ends) or interpolated (where an interpolant of the scheme's own order crosses the ground)" },
};

// The fields of `model`: its parameters in the table's order and, for the
// flight, its drag law before the first parameter whose unit the law sets;
// then the run's options.
export function fieldsOf(model) {
  const tables = shared.tables.models[model];
  const fields = [...tables.parameters];
  if (tables.dragLaws) {
    const at = fields.findIndex((p) => p.quadraticUnit);
    const beside = fields[at < 0 ? fields.length - 1 : at];
    const { laws, startUp } = tables.dragLaws;
    fields.splice(at < 0 ? fields.length : at, 0, { name: kDragField, label: 'Air Drag', group: beside.group, unit: '', help: kDragHelp, startUp, options: laws });
  }
  for (const o of tables.options) {
    const words = kOptionWords[o.name] || { label: o.name, help: '' };
    fields.push({ name: o.name, label: words.label, group: kOptionsGroup, unit: words.unit || '', help: words.help, startUp: o.startUp, options: o.options, adaptive: o.adaptive, optional: o.optional });
  }
  return fields;
}

// Shows the fields only adaptive schemes read (the tolerances) when one of
// `schemes` (names) is adaptive, or when the field holds a refused value.
export function showAdaptiveFields(prefix, fields, schemes) {
  const adaptive = schemes.some((name) => shared.schemeByName[name]?.adaptive);
  for (const p of fields) {
    if (!p.adaptive) continue;
    const div = inputOf(prefix, p).closest('.field');
    div.hidden = !adaptive && !div.classList.contains('bad');
  }
}

// The unit of parameter `p` under the values' drag law.
export function unitOf(p, values) {
  return values[kDragField] === 'quadratic' && p.quadraticUnit ? p.quadraticUnit : p.unit;
}

// Each field's unit for the values it holds (the friction's by the law).
export function showUnits(prefix, fields, values) {
  for (const p of fields) {
    const unit = inputOf(prefix, p).closest('.field').querySelector('.unit');
    if (unit) unit.textContent = unitOf(p, values);
  }
}

function control(p) {
  if (!p.options) {
    const input = document.createElement('input');
    input.inputMode = 'decimal';
    input.autocomplete = 'off';
    return input;
  }
  const select = document.createElement('select');
  for (const option of p.options) select.append(new Option(option, option));
  return select;
}

function field(prefix, p) {
  const id = `${prefix}-${p.name}`;
  const div = document.createElement('div');
  div.className = p.adaptive ? 'field adaptive' : 'field';
  div.dataset.name = p.name;
  const label = document.createElement('label');
  label.htmlFor = id;
  label.append(p.label);
  if (p.unit) {
    const unit = document.createElement('span');
    unit.className = 'unit';
    unit.textContent = p.unit;
    label.append(' ', unit);
  }
  const input = control(p);
  input.id = id;
  input.title = p.help;
  if (p.optional) input.placeholder = 'not given';
  input.setAttribute('aria-describedby', `${id}-msg`);
  const msg = document.createElement('span');
  msg.className = 'msg';
  msg.id = `${id}-msg`;
  div.append(label, input, msg);
  return div;
}

// The fieldsets of `parameters` at the start of `form`.
export function buildFields(form, prefix, parameters) {
  const groups = [];
  for (const p of parameters) {
    let group = groups.find((g) => g.name === p.group);
    if (!group) {
      const fieldset = document.createElement('fieldset');
      const legend = document.createElement('legend');
      legend.textContent = p.group;
      fieldset.append(legend);
      groups.push((group = { name: p.group, fieldset }));
    }
    group.fieldset.append(field(prefix, p));
  }
  form.prepend(...groups.map((g) => g.fieldset));
}

export function inputOf(prefix, p) {
  return $(`${prefix}-${p.name}`);
}

// What the fields hold, for the engine: numbers, or the text where it is
// no number (the engine then says so); an optional field left empty is not
// given.
export function readValues(prefix, parameters) {
  const values = {};
  for (const p of parameters) {
    const v = fieldValue(inputOf(prefix, p).value);
    if (!(p.optional && v === '')) values[p.name] = v;
  }
  return values;
}

export function fillStartUp(prefix, parameters) {
  for (const p of parameters) inputOf(prefix, p).value = p.startUp === null || p.startUp === undefined ? '' : String(p.startUp);
}

// The engine's message beside each field it refuses ({name: message}), led
// by the field's label; nothing beside the others.
export function showProblems(prefix, parameters, problems) {
  for (const p of parameters) {
    const input = inputOf(prefix, p);
    const message = problems ? problems[p.name] : undefined;
    input.closest('.field').classList.toggle('bad', !!message);
    input.setAttribute('aria-invalid', message ? 'true' : 'false');
    $(`${prefix}-${p.name}-msg`).textContent = message ? `${p.label} ${message}` : '';
  }
}

// Whether the engine ran the fields' values (`answer` from a study request):
// if not, its messages beside the fields, and the last usable picture stays.
export function ranValues(prefix, parameters, answer) {
  showProblems(prefix, parameters, answer.problems);
  if (answer.problems || answer.problem) {
    status('A value is not usable: see the message beside it. The picture shows the last usable values.');
    inputRefused();
    return false;
  }
  status('');
  return true;
}
