// The page's first script, at the end of the document: it starts the
// engine's worker, hands it the WebAssembly to compile and asks it for the
// flights the address names, then runs the page's own script. Starting a
// worker needs this thread for a moment, so the page's script (which holds
// the thread while it sets the page up) waits until the worker has started,
// or 200 ms at most: then the engine compiles and flies while the page sets
// itself up.
import { flightsInAddress } from './address.js';

const text = (id) => document.getElementById(id).textContent;

const workerUrl = URL.createObjectURL(new Blob([text('pbsim-worker')], { type: 'text/javascript' }));
const wasm = text('pbsim-wasm');
const worker = new Worker(workerUrl);
// Answers that come before the page's script takes the worker over.
const early = [];
worker.onmessage = (event) => early.push(event.data);
worker.postMessage({ op: 'load', wasm });
const first = flightsInAddress(location.hash);
worker.postMessage({ id: 0, op: 'flightSet', values: first.values, schemes: first.schemes });
window.PBSIM_START = { workerUrl, wasm, worker, early, first };

let started = false;
function startPage() {
  if (started) return;
  started = true;
  // Indirect eval: the page's script runs in the global scope, as a script
  // element's would.
  (0, eval)(`${text('pbsim-page')}\n//# sourceURL=pbsim-page.js`);
}
worker.addEventListener('message', startPage, { once: true });
setTimeout(startPage, 200);
