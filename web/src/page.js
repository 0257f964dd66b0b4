// What the page's modules share: the engine's clients, its tables once it
// has sent them, the simulation shown, and the page's own measurements
// (window.pbsimPage, read by the tests and the benchmark).
import { EngineClient } from './engine-client.js';

export const $ = (id) => document.getElementById(id);

export const metrics = {
  pictures: 0, // pictures drawn (both simulations)
  firstPictureMs: null, // from navigation start to the first picture
  lastInputToPictureMs: null, // from the last keystroke to its picture
  studies: 0, // convergence studies shown
};
window.pbsimPage = metrics;

export const shared = {
  client: new EngineClient(),
  tables: null, // the engine's tables (worker.js, init): schemes, models, convergence
  schemeByName: {},
  active: 'ballistics', // the simulation shown
  inputStarted: null, // when the keystroke being answered happened
};

// The page's two simulations: their tab and panel, the engine's model, and
// the prefix of their element ids and address keys.
export const simulations = {
  ballistics: { model: 'flight', prefix: 'b' },
  spring: { model: 'spring', prefix: 's' },
};

export function setTables(tables) {
  shared.tables = tables;
  shared.schemeByName = Object.fromEntries(tables.schemes.map((s) => [s.name, s]));
}

export function status(text) {
  $('status').textContent = text;
}

// A progress callback that shows a long computation's steps in the status line.
export function progressShower(prefix) {
  const started = performance.now();
  return (text) => {
    if (performance.now() - started > 150) status(`${prefix}: ${text} …`);
  };
}

export function engineFailed(error) {
  status(`The engine failed: ${error.message}`);
}

export function inputStarts() {
  shared.inputStarted = performance.now();
}

export function inputRefused() {
  shared.inputStarted = null;
}

export function pictureDrawn() {
  metrics.pictures++;
  if (metrics.firstPictureMs === null) metrics.firstPictureMs = performance.now();
  if (shared.inputStarted !== null) {
    metrics.lastInputToPictureMs = performance.now() - shared.inputStarted;
    shared.inputStarted = null;
  }
}

export function download(name, blob) {
  const url = URL.createObjectURL(blob);
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

