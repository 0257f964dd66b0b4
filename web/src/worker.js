// The worker that runs the engine, so that no computation blocks the page:
// a message adapter, each op one or two calls of the engine.
// Its first message is {op: 'load'} with the engine's WebAssembly, either
// compiled already ({module}, from an earlier worker) or as base64 text
// ({wasm}); the first worker to compile the engine hands the compiled
// module back ({module}) so that later workers start without compiling.
// Then messages in: {id, op, ...}; out: {id, progress} while it works, then
// {id, result} or {id, error}. Typed arrays travel as transferred buffers.
/* global createPbsimEngine */
import { exactCurveEnd, kExactSamples } from './curves.js';

// The page waits for this before it holds its thread for long: until the
// worker runs, the page's thread has to pass it the messages sent so far.
self.postMessage({ started: true });

let engineReady = null;
const ready = new Promise((resolve) => (engineReady = resolve));

function bytesOf(base64) {
  const text = atob(base64);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes;
}

function load({ module, wasm }) {
  const compiled = module ? Promise.resolve(module) : WebAssembly.compile(bytesOf(wasm));
  const engine = compiled.then((m) => {
    if (!module) {
      try {
        self.postMessage({ module: m });
      } catch {
        // A browser that cannot pass compiled modules: later workers compile their own.
      }
    }
    let failed = null;
    const failure = new Promise((resolve, reject) => (failed = reject));
    const created = createPbsimEngine({
      instantiateWasm(imports, receive) {
        WebAssembly.instantiate(m, imports).then((instance) => receive(instance, m), failed);
        return {};
      },
    });
    return Promise.race([created, failure]);
  });
  engineReady(engine);
}

function buffersOf(object, list = []) {
  for (const value of Object.values(object)) {
    if (ArrayBuffer.isView(value)) list.push(value.buffer);
    else if (value && typeof value === 'object') buffersOf(value, list);
  }
  return list;
}

const models = ['flight', 'spring'];

const ops = {
  // The engine's tables: schemes, and per model its parameters, the run's
  // own options (tolerances, landing), columns and summary fields; the
  // convergence study's fields and settings.
  init(engine) {
    const tables = {};
    for (const model of models) {
      tables[model] = { parameters: engine.parameters(model), options: engine.runOptions(model), columns: engine.columns(model), summary: engine.summary(model) };
    }
    tables.flight.dragLaws = engine.dragLaws();
    return { schemes: engine.schemes(), models: tables, convergence: { fields: engine.summary('convergence'), settings: engine.convergenceSettings() }, stability: { fields: engine.summary('stability') } };
  },

  // The page's runs of one model and the exact solution drawn beside them.
  study(engine, { model, values, schemes }, progress) {
    const study = engine.study(model, values, schemes, progress);
    if (study.problems || study.problem) return study;
    const end = exactCurveEnd(model, study.runs);
    study.curve = model === 'flight' ? engine.exactFlight(values, kExactSamples.flight, end) : engine.exactSpring(values, kExactSamples.spring, end);
    return study;
  },

  // settings: {levels, withDouble, quantity, sweep}.
  convergence(engine, { model, values, schemes, settings }, progress) {
    return engine.convergence(model, values, schemes, settings, progress);
  },

  csv(engine, { model, values, schemes }) {
    return engine.csv(model, values, schemes);
  },

  // A user's tableau as the engine judges it; the spring's stability limits
  // (schemes: a list, or the engine's own choice when not given).
  ownScheme(engine, { scheme }) {
    return engine.ownScheme(scheme);
  },
  stability(engine, { values, schemes }, progress) {
    return engine.stability(values, schemes === undefined ? null : schemes, progress);
  },

  // window.pbsimEngine: the engine's own answers, refused values included.
  run(engine, { model, args }) {
    return engine.run(model, args);
  },
  parameters(engine, { model }) {
    return engine.parameters(model);
  },
  runOptions(engine, { model }) {
    return engine.runOptions(model);
  },
  convergenceSettings(engine) {
    return engine.convergenceSettings();
  },

  columns(engine, { model }) {
    return engine.columns(model);
  },
  summary(engine, { model }) {
    return engine.summary(model);
  },
  dragLaws(engine) {
    return engine.dragLaws();
  },
};

self.onmessage = async (event) => {
  const { id, op } = event.data;
  if (op === 'load') return load(event.data);
  try {
    const engine = await ready;
    if (!ops[op]) throw new Error(`unknown request ${op}`);
    const progress = (text) => self.postMessage({ id, progress: text });
    const result = ops[op](engine, event.data, progress);
    const transfer = result && typeof result === 'object' ? buffersOf(result) : [];
    self.postMessage({ id, result }, transfer);
  } catch (error) {
    self.postMessage({ id, error: String(error && error.message ? error.message : error) });
  }
};
