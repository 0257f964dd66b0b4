// The page: pbsim's two panels, the 3-D views, the numbers as pbsim-study
// shows them, the plots, and the settings kept in the address. Every
// number, table and field comes from the engine (in a worker); the page's
// modules only read the fields, show what the engine answers, and draw.
// This one sets the page up from the engine's tables and wires its controls.
import { installScriptEngine } from './engine-client.js';
import { BallisticsView, SpringView } from './scene.js';
import { schemeToggle, kindGroup } from './toggles.js';
import { startFlightSchemes, startSpringScheme, fieldValue, settingsInAddress, shownInAddress, addressOf, pastedSettings, settingsLine } from './address.js';
import { $, shared, simulations, setTables, status, inputStarts, download } from './page.js';
import { focusableWhileScrolling } from './alternative.js';
import { buildFields, fillStartUp, inputOf, fieldsOf } from './fields.js';
import { setUpFlights, recomputeFlights, submitFlights, flightPlots, parametersOfFlight, checkedFlightSchemes, setFlightView, lastFlight } from './flights.js';
import { setUpSprings, recomputeSpring, springPlots, parametersOfSpring, checkedSpringScheme, comparedSpringSchemes, setSpringView, setPlayTime, play, pause, speed, lastSpring } from './springs.js';
import { setUpStudies, fillStudySettings, scheduleStudy, studyIfStale, cancelStudy, runStudy, studyPlots, lastStudy, studySettingsShown, setStudySettings } from './studies.js';

import { setUpOwnScheme } from './ownscheme.js';
import { setUpStability } from './stability.js';

installScriptEngine();

const parametersOf = { ballistics: parametersOfFlight, spring: parametersOfSpring };
let bView = null;
let sView = null;
let webgl = true; // false once a view could not be made

// ---------- the address ----------

function saveAddress() {
  const own = {
    ballistics: { schemes: checkedFlightSchemes().join(','), ...studySettingsShown('b') },
    spring: { scheme: checkedSpringScheme(), energies: comparedSpringSchemes().join(','), speed: $('s-speed').value, ...studySettingsShown('s') },
  };
  const sims = Object.entries(simulations).map(([name, { prefix }]) => ({
    prefix,
    values: Object.fromEntries(parametersOf[name]().map((p) => [p.name, inputOf(prefix, p).value])),
    own: own[name],
  }));
  history.replaceState(null, '', addressOf({ sim: shared.active, simulations: sims }));
}

// The address's settings into the fields; the simulation it shows.
function loadAddress() {
  for (const [name, { prefix }] of Object.entries(simulations)) {
    const settings = settingsInAddress(location.hash, prefix);
    for (const p of parametersOf[name]()) if (p.name in settings.values) inputOf(prefix, p).value = settings.values[p.name];
    const { schemes, scheme, energies, speed: playSpeed } = settings.own;
    setStudySettings(prefix, settings.own);
    if (schemes !== undefined) {
      const chosen = schemes.split(',');
      for (const box of document.querySelectorAll(`#${prefix}-schemes input`)) box.checked = chosen.includes(box.value);
    }
    if (scheme !== undefined) {
      const box = document.querySelector(`#${prefix}-schemes input[value="${CSS.escape(scheme)}"]`);
      if (box) box.checked = true;
    }
    if (energies !== undefined) {
      const chosen = energies.split(',');
      for (const box of document.querySelectorAll(`#${prefix}-compare input`)) box.checked = chosen.includes(box.value);
    }
    if (playSpeed !== undefined) $('s-speed').value = playSpeed;
  }
  return shownInAddress(location.hash);
}

// ---------- downloads ----------

// What made the page: "pbsim 1.2.0" (the page's generator).
function generator() {
  return document.querySelector('meta[name="generator"]')?.content || 'pbsim';
}

// A convergence study's settings as its CSV's first line records them: the
// values it ran on, its schemes, and the study's own settings.
function studySettings(model, study) {
  const { values, schemes, settings } = study.asked;
  return [...Object.entries(values), ['schemes', schemes], ...Object.entries(settings)];
}

// ---------- start-up values ----------

function fillAllStartUp() {
  for (const [name, { prefix }] of Object.entries(simulations)) fillStartUp(prefix, parametersOf[name]());
  for (const box of document.querySelectorAll('#b-schemes input')) box.checked = startFlightSchemes.includes(box.value);
  for (const box of document.querySelectorAll('#s-schemes input')) box.checked = box.value === startSpringScheme;
  for (const box of document.querySelectorAll('#s-compare input')) box.checked = false;
  $('s-speed').value = '1';
  fillStudySettings();
}

// The schemes' toggles under the kind of each (explicit, implicit,
// adaptive), in the scheme table's order.
function schemeToggles(container, type, group) {
  const kinds = [...new Set(shared.tables.schemes.map((s) => s.kind))];
  for (const kind of kinds) {
    const toggles = shared.tables.schemes
      .filter((s) => s.kind === kind)
      .map((s) => schemeToggle(s, type, group, `${s.kind}, order ${s.order}, ${s.evaluations} evaluations per step${s.adaptive ? ' (an accepted one)' : ''}`));
    container.append(kindGroup(kind, toggles));
  }
}

// ---------- tabs and views ----------

function selectTab(name, save = true) {
  shared.active = name;
  for (const panel of Object.keys(simulations)) {
    const on = panel === name;
    $(`tab-${panel}`).setAttribute('aria-selected', String(on));
    // One stop of the Tab key for the tabs: the one selected (the arrows
    // move between them).
    $(`tab-${panel}`).tabIndex = on ? 0 : -1;
    $(panel).hidden = !on;
  }
  if (name === 'ballistics') pause();
  if (save) saveAddress();
  studyIfStale(simulations[name].model);
  viewOf(name)?.resize();
  const plots = name === 'ballistics' ? flightPlots() : springPlots();
  for (const plot of [...plots, ...studyPlots(simulations[name].model)]) plot.resize();
}

// The tabs' keys: Left and Right move to the tab before or after (round
// the ends), Home and End to the first and the last; the tab reached is
// selected and focused.
function tabKey(e) {
  const names = Object.keys(simulations);
  const at = names.indexOf(shared.active);
  const to = { ArrowLeft: at - 1, ArrowRight: at + 1, Home: 0, End: names.length - 1 }[e.key];
  if (to === undefined || e.altKey || e.ctrlKey || e.metaKey) return;
  e.preventDefault();
  const name = names[(to + names.length) % names.length];
  selectTab(name);
  $(`tab-${name}`).focus();
}

// A simulation's 3-D view, made when first shown: each costs a WebGL
// context and its shaders. Null without WebGL.
function viewOf(name) {
  if (!webgl) return null;
  try {
    if (name === 'ballistics' && !bView) {
      bView = new BallisticsView($('b-view'));
      setFlightView(bView);
    } else if (name === 'spring' && !sView) {
      sView = new SpringView($('s-view'));
      setSpringView(sView);
    }
  } catch {
    webgl = false;
    bView = sView = null;
    $('no-webgl').hidden = false;
    for (const box of document.querySelectorAll('.view-box')) box.hidden = true;
    $('download-png').disabled = true;
  }
  return name === 'ballistics' ? bView : sView;
}

function onInput(recompute) {
  return () => {
    inputStarts();
    cancelStudy();
    recompute();
  };
}

// After each answer to the fields: the address, and the study (once quiet).
function shown(model) {
  return (result) => {
    saveAddress();
    if (result) scheduleStudy(model);
  };
}

// ---------- set-up ----------

function wire() {
  const bSchemes = $('b-schemes');
  const sSchemes = $('s-schemes');
  for (const p of parametersOfFlight()) inputOf('b', p).addEventListener('input', onInput(recomputeFlights));
  bSchemes.addEventListener('change', onInput(recomputeFlights));
  for (const p of parametersOfSpring()) inputOf('s', p).addEventListener('input', onInput(recomputeSpring));
  sSchemes.addEventListener('change', onInput(recomputeSpring));
  $('s-compare').addEventListener('change', onInput(recomputeSpring));
  for (const form of document.querySelectorAll('form')) form.addEventListener('submit', (e) => e.preventDefault());
  $('s-time').addEventListener('input', () => {
    pause();
    setPlayTime(Number($('s-time').value));
  });
  $('s-play').addEventListener('click', play);
  $('s-pause').addEventListener('click', pause);
  $('s-speed').addEventListener('input', () => {
    speed();
    saveAddress();
  });
  for (const { model, prefix } of Object.values(simulations)) {
    $(`${prefix}-conv-run`).addEventListener('click', () => runStudy(model));
    for (const setting of ['levels', 'double'])
      $(`${prefix}-${setting}`).addEventListener('change', () => {
        saveAddress();
        runStudy(model);
      });
    for (const setting of ['quantity', 'sweep'])
      $(`${prefix}-${setting}`)?.addEventListener('change', () => {
        saveAddress();
        runStudy(model);
      });
    $(`${prefix}-conv-csv`).addEventListener('click', () => {
      const study = lastStudy(model);
      if (study) download(`pbsim-convergence-${model}.csv`, new Blob([settingsLine(generator(), `convergence ${model}`, studySettings(model, study)) + study.csv], { type: 'text/csv' }));
      else $(`${prefix}-conv-progress`).textContent = 'No study to download yet.';
    });
  }
  $('b-view-reset').addEventListener('click', () => bView?.reset());
  $('s-view-reset').addEventListener('click', () => sView?.reset());
  for (const name of Object.keys(simulations)) $(`tab-${name}`).addEventListener('click', () => selectTab(name));
  $('tab-ballistics').parentElement.addEventListener('keydown', tabKey);
  $('reset').addEventListener('click', () => {
    fillAllStartUp();
    bView?.reset();
    sView?.reset();
    inputStarts();
    recomputeFlights();
    recomputeSpring();
  });
  $('download-csv').addEventListener('click', async () => {
    const flight = shared.active === 'ballistics';
    const last = flight ? lastFlight : lastSpring;
    if (!last) return status('Nothing to download yet.');
    const model = simulations[shared.active].model;
    const schemes = flight ? last.schemes : [last.scheme];
    status('Writing the CSV …');
    const csv = await shared.client.request('csv', { model, values: last.values, schemes });
    if (typeof csv !== 'string') return status('The CSV could not be written for these values.');
    const settings = [...Object.entries(last.values), ['schemes', schemes]];
    download(`pbsim-${model}.csv`, new Blob([settingsLine(generator(), model, settings) + csv], { type: 'text/csv' }));
    status('');
  });
  $('download-png').addEventListener('click', async () => {
    const view = shared.active === 'ballistics' ? bView : sView;
    if (!view) return;
    view.render();
    view.renderer.domElement.toBlob((blob) => blob && download(`pbsim-${shared.active}.png`, blob), 'image/png');
  });
  // The settings travel as the address's part from # on, which any copy of
  // the page reads (a file's own path, with its user's name, stays behind).
  $('copy-link').addEventListener('click', async () => {
    saveAddress();
    try {
      await navigator.clipboard.writeText(location.hash);
      status('These settings are copied: paste them into "Paste settings" of any copy of the page, or after its address.');
    } catch {
      status(`These settings, to paste into any copy of the page: ${location.hash}`);
    }
  });
  $('paste-form').addEventListener('submit', (e) => {
    e.preventDefault();
    const hash = pastedSettings($('paste-settings').value);
    $('paste-settings-msg').textContent = hash ? '' : 'Paste settings must be what "Copy settings" copied (#sim=…) or a link to the page';
    if (!hash) return;
    $('paste-settings').value = '';
    if (hash === location.hash) return;
    location.hash = hash; // hashchange reads them
  });
  window.addEventListener('hashchange', () => {
    selectTab(loadAddress());
    recomputeFlights();
    recomputeSpring();
  });
}

async function start() {
  status('Starting the engine …');
  // The page's first script asked for the first flights already: the values
  // in the address, the engine's start-up values for the others (the fields
  // get the same).
  const early = shared.client.firstFlights();
  const ready = shared.client.request('init');
  // The view shown first is made while the engine works.
  viewOf(shownInAddress(location.hash));
  setTables(await ready);
  for (const [name, { model, prefix }] of Object.entries(simulations)) buildFields($(`${name}-panel`), prefix, fieldsOf(model));
  schemeToggles($('b-schemes'), 'checkbox', 'b-scheme');
  schemeToggles($('s-schemes'), 'radio', 's-scheme');
  schemeToggles($('s-compare'), 'checkbox', 's-compare');
  setUpFlights(shown('flight'));
  setUpSprings(shown('spring'));
  setUpStudies((model) => {
    if (model === 'flight') return lastFlight;
    return lastSpring && { values: lastSpring.values, schemes: shared.tables.schemes.map((s) => s.name), every: true };
  });
  setUpOwnScheme();
  setUpStability();
  for (const box of document.querySelectorAll('[data-scrolls]')) focusableWhileScrolling(box);
  fillAllStartUp();
  const sim = loadAddress();
  wire();
  selectTab(sim, false);
  status('');

  const values = Object.fromEntries(parametersOfFlight().map((p) => [p.name, fieldValue(inputOf('b', p).value)]));
  const schemes = checkedFlightSchemes();
  const asked = Object.fromEntries(parametersOfFlight().map((p) => [p.name, early && p.name in early.values ? early.values[p.name] : p.startUp]));
  const sameKeys = early && Object.keys(early.values).every((k) => k in asked);
  if (early && sameKeys && JSON.stringify([values, schemes]) === JSON.stringify([asked, early.schemes])) {
    submitFlights(() => early.promise, values, schemes);
  } else {
    recomputeFlights();
  }
  recomputeSpring();
}

start().catch((error) => status(`The page could not start: ${error.message}`));
