// A scheme's toggle among a simulation's schemes (its marker in its plot
// colour, its title, a tag for a scheme that runs in double precision only),
// and a group of toggles under their kind (explicit, implicit, adaptive, or
// the user's own).
import { plotColour } from './colours.js';
import { markerGlyph } from './plots.js';

// `title` is the tooltip; a double-only scheme's precision note is added to it.
export function schemeToggle(scheme, type, group, title) {
  const label = document.createElement('label');
  const input = document.createElement('input');
  input.type = type;
  input.name = group;
  input.value = scheme.name;
  input.id = `${group}-${scheme.name}`;
  const glyph = document.createElement('span');
  glyph.textContent = markerGlyph[scheme.marker] || '';
  glyph.style.color = plotColour(scheme.colour);
  glyph.setAttribute('aria-hidden', 'true');
  label.append(input, glyph, scheme.title);
  label.title = title;
  // A scheme without single-precision arithmetic runs in its default, double.
  if (!scheme.single) {
    const tag = document.createElement('span');
    tag.className = 'tag';
    tag.textContent = scheme.defaultPrecision;
    tag.title = scheme.precisionNote;
    label.append(' ', tag);
    label.title += `; ${scheme.precisionNote}`;
  }
  return label;
}

// The toggles under the name of their kind.
export function kindGroup(kind, toggles, className = 'kind') {
  const div = document.createElement('div');
  div.className = className;
  div.dataset.kind = kind;
  const name = document.createElement('span');
  name.className = 'kind-name';
  name.textContent = kind;
  div.append(name, ...toggles);
  return div;
}
