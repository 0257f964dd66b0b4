// The page's first script, at the end of the document: it starts the
// engine's worker, which compiles the engine's WebAssembly, and asks it for
// the flights the address names; then it loads the page's own script from a
// Blob URL. Loaded that way, the large script is parsed without holding the
// page's thread, which the browser needs for a moment to get the worker
// going: the engine compiles and flies while the page sets itself up.
import { flightsInAddress } from './address.js';

const blobUrl = (id) => URL.createObjectURL(new Blob([document.getElementById(id).textContent], { type: 'text/javascript' }));

const workerUrl = blobUrl('pbsim-worker');
const worker = new Worker(workerUrl);
// Answers that come before the page's script takes the worker over.
const early = [];
worker.onmessage = (event) => early.push(event.data);
worker.postMessage({ op: 'load' });
const first = flightsInAddress(location.hash);
worker.postMessage({ id: 0, op: 'flightSet', values: first.values, schemes: first.schemes });
window.PBSIM_START = { workerUrl, worker, early, first };

const page = document.createElement('script');
page.src = blobUrl('pbsim-page');
document.body.append(page);
