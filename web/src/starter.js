// The page's first script, in two parts. At the top of the document it
// starts the engine's worker and asks it for the flights the address names:
// starting a worker takes the browser a while and needs the page's thread
// now and then, which it has while it reads the rest of the document. At
// the end of the document, finish() hands the worker the WebAssembly to
// compile and runs the page's own script, which holds the page's thread
// while it sets the page up: so it waits until the worker runs (200 ms at
// most), and the engine compiles and flies meanwhile.
import { flightsInAddress } from './address.js';

const text = (id) => document.getElementById(id).textContent;

const workerUrl = URL.createObjectURL(new Blob([text('pbsim-worker')], { type: 'text/javascript' }));
const worker = new Worker(workerUrl);
// Answers that come before the page's script takes the worker over.
const early = [];
let workerRuns = null;
const running = new Promise((resolve) => (workerRuns = resolve));
worker.onmessage = (event) => {
  if (event.data.started) workerRuns();
  early.push(event.data);
};
const first = flightsInAddress(location.hash);
worker.postMessage({ id: 0, op: 'study', model: 'flight', values: first.values, schemes: first.schemes });

function finish() {
  start.wasm = text('pbsim-wasm');
  worker.postMessage({ op: 'load', wasm: start.wasm });
  let ran = false;
  const runPage = () => {
    if (ran) return;
    ran = true;
    // Indirect eval: the page's script runs in the global scope, as a script
    // element's would.
    (0, eval)(`${text('pbsim-page')}\n//# sourceURL=pbsim-page.js`);
  };
  running.then(runPage);
  setTimeout(runPage, 200);
}

const start = { workerUrl, wasm: null, worker, early, first, finish };
window.PBSIM_START = start;
