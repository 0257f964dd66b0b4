// The page's side of the engine workers: requests answered by promises, a
// newer request superseding an older one of the same kind, and a worker that
// takes too long on a superseded request replaced by a fresh one.
// The page's first script (starter.js) made the worker's Blob URL, started
// the first worker and asked it for the first flights; the first worker to
// compile the engine hands the compiled module over, and every later worker
// gets it, so that only the first one compiles.
import { withOwnSchemes } from './tableau.js';

let compiled = null; // the engine's WebAssembly.Module, once a worker has it

function newWorker() {
  const start = window.PBSIM_START;
  if (start.worker) {
    const worker = start.worker;
    start.worker = null;
    return { worker, early: start.early, first: start.first };
  }
  const worker = new Worker(start.workerUrl);
  try {
    worker.postMessage(compiled ? { op: 'load', module: compiled } : { op: 'load', wasm: start.wasm });
  } catch {
    worker.postMessage({ op: 'load', wasm: start.wasm });
  }
  return { worker, early: [], first: null };
}

export class EngineClient {
  constructor() {
    this.nextId = 1;
    this.pending = new Map(); // id -> {resolve, reject, onProgress, op, started}
    this.worker = null;
    this.first = null; // the first flights the page's first script asked for: {values, schemes, promise}
  }

  // A worker, started when the first request needs one.
  start() {
    const { worker, early, first } = newWorker();
    this.worker = worker;
    if (first) this.first = { ...first, promise: this.expect(0, 'study') };
    this.worker.onmessage = (event) => this.answer(event.data);
    this.worker.onerror = (event) => {
      event.preventDefault();
      const error = new Error(event.message || 'the engine stopped');
      this.stop();
      for (const p of this.pending.values()) p.reject(error);
      this.pending.clear();
    };
    for (const message of early) this.answer(message);
  }

  // The answer to a request sent already (by the page's first script).
  expect(id, op) {
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, onProgress: null, op, started: performance.now() });
    });
  }

  // The first flights, when the page's first script asked for them (null
  // for a client that did not start the first worker).
  firstFlights() {
    if (!this.worker) this.start();
    return this.first;
  }

  answer({ id, progress, result, error, module }) {
    if (module) compiled = module;
    const p = this.pending.get(id);
    if (!p) return;
    if (progress !== undefined) {
      if (p.onProgress) p.onProgress(progress);
      return;
    }
    this.pending.delete(id);
    if (error !== undefined) p.reject(new Error(error));
    else p.resolve(result);
  }

  request(op, data = {}, onProgress = null) {
    const id = this.nextId++;
    if (!this.worker) this.start();
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, onProgress, op, started: performance.now() });
      this.worker.postMessage({ id, op, ...withOwnSchemes(data) });
    });
  }

  busy() {
    return this.pending.size > 0;
  }

  // Stops whatever the worker is doing: its requests are refused with
  // `reason`, and a fresh worker takes the next ones.
  restart(reason = 'superseded') {
    this.stop();
    const error = new Error(reason);
    error.superseded = true;
    for (const p of this.pending.values()) p.reject(error);
    this.pending.clear();
  }

  stop() {
    if (this.worker) this.worker.terminate();
    this.worker = null;
  }
}

// Runs only the latest of a stream of requests: while one runs, a newer one
// waits, and any older waiting one is dropped; a running one that is
// superseded and still busy after `patience` ms is cancelled by restarting
// its worker.
export class LatestOnly {
  constructor(client, patience = 300) {
    this.client = client;
    this.patience = patience;
    this.running = null;
    this.waiting = null;
    this.timer = null;
  }

  // make() starts the request and returns its promise; deliver(result) is
  // called for the newest request only; fail(error) for its failures.
  submit(make, deliver, fail) {
    if (this.waiting) this.waiting.dropped = true;
    this.waiting = { make, deliver, fail };
    if (!this.running) {
      this.next();
    } else if (!this.timer) {
      const running = this.running;
      this.timer = setTimeout(() => {
        this.timer = null;
        if (this.running === running && this.waiting) this.client.restart();
      }, this.patience);
    }
  }

  next() {
    const job = this.waiting;
    this.waiting = null;
    if (!job) return;
    this.running = job;
    const finish = () => {
      if (this.timer) clearTimeout(this.timer);
      this.timer = null;
      this.running = null;
      this.next();
    };
    job.make().then(
      (result) => {
        if (!this.waiting) job.deliver(result);
        finish();
      },
      (error) => {
        if (!error.superseded && !this.waiting) job.fail(error);
        finish();
      },
    );
  }
}

// window.pbsimEngine: the engine for scripts, on its own worker so that the
// page's own computations never cancel a script's. flight(args) and
// spring(args) run the engine (refusals are thrown with the parameter
// named; a flight takes `drag`, one of dragLaws().laws, and `landing`; both
// take rtol and atol, runOptions(model)); convergence(model, args, schemes,
// settings) studies the schemes (settings as convergenceSettings() names
// them: levels, withDouble, quantity, sweep); schemes() and
// parameters(model), runOptions(model), columns(model), summary(model),
// dragLaws(), convergenceSettings() are the engine's tables; ownScheme({name,
// a, b, c, bHat}) judges a user's tableau (any run or study takes one as its
// scheme); stability(args) measures the spring's stability limits.
export function installScriptEngine() {
  let client = null;
  const ask = (op, data) => {
    if (!client) client = new EngineClient();
    return client.request(op, data);
  };
  const refused = (result) => {
    if (result && result.problem) {
      const error = new Error(result.problem.text);
      error.parameter = result.problem.parameter;
      throw error;
    }
    return result;
  };
  const call = (model, args) => ask('run', { model, args: args || {} }).then(refused);
  const api = {
    flight: (args) => call('flight', args),
    spring: (args) => call('spring', args),
    convergence: (model, args, schemes, settings) => ask('convergence', { model, values: args || {}, schemes, settings: settings || {} }).then(refused),
    runOptions: (model) => ask('runOptions', { model }),
    convergenceSettings: () => ask('convergenceSettings'),
    schemes: () => ask('init').then((r) => r.schemes),
    parameters: (model) => ask('parameters', { model }),
    columns: (model) => ask('columns', { model }),
    summary: (model) => ask('summary', { model }),
    dragLaws: () => ask('dragLaws'),
    ownScheme: (scheme) => ask('ownScheme', { scheme }),
    stability: (args, schemes) => ask('stability', { values: args || {}, schemes }).then(refused),
  };
  Object.defineProperty(window, 'pbsimEngine', { value: Object.freeze(api), enumerable: true });
}
