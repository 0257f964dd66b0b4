// The page's first script, at the end of the document: it starts the
// engine's worker, hands it the WebAssembly module to compile and asks for
// the flights the address names, then loads the page's own script from a
// Blob URL. Loaded that way, the large script is parsed without holding the
// page, so the browser can start the worker (which needs the page's thread
// for a moment) at once, and the engine compiles and flies while the page
// sets itself up.
import { flightsInAddress } from './address.js';

const text = (id) => document.getElementById(id).textContent;
const blobUrl = (id) => URL.createObjectURL(new Blob([text(id)], { type: 'text/javascript' }));

const workerUrl = blobUrl('pbsim-worker');
const wasm = text('pbsim-wasm');
const worker = new Worker(workerUrl);
// Answers that come before the page's script takes the worker over.
const early = [];
worker.onmessage = (event) => early.push(event.data);
worker.postMessage({ op: 'load', wasm });
const first = flightsInAddress(location.hash);
worker.postMessage({ id: 0, op: 'flightSet', values: first.values, schemes: first.schemes });
window.PBSIM_START = { workerUrl, wasm, worker, early, first };

const page = document.createElement('script');
page.src = blobUrl('pbsim-page');
document.body.append(page);
