// The worker that runs the engine, so that no computation blocks the page.
// Its first message is {op: 'load'} with the engine's WebAssembly, either
// compiled already ({module}, from an earlier worker) or as base64 text
// ({wasm}); the first worker to compile the engine hands the compiled
// module back ({module}) so that later workers start without compiling.
// Then messages
// in: {id, op, ...}; out: {id, progress} while it works, then {id, result}
// or {id, error}. Typed arrays travel as transferred buffers.
/* global createPbsimEngine */

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

// pbsim-study's formats: counts as integers, positions and times %.6g,
// errors %.3e, wall times %.3f.
function shownFlight(engine, run) {
  const f = (v, fmt) => engine.formatNumber(v, fmt);
  return {
    steps: String(run.steps),
    evaluations: String(run.evaluations),
    landing_x: f(run.landing_x, '%.6g'),
    landing_z: f(run.landing_z, '%.6g'),
    flight_time: f(run.flight_time, '%.6g'),
    landing_miss: f(run.landing_miss, '%.3e'),
    max_path_error: f(run.max_path_error, '%.3e'),
    wall_ms: f(run.wall_ms, '%.3f'),
  };
}

function shownSpring(engine, run) {
  const f = (v, fmt) => engine.formatNumber(v, fmt);
  return {
    steps: String(run.steps),
    evaluations: String(run.evaluations),
    final_height: f(run.final_height, '%.6g'),
    resting_height: f(run.resting_height, '%.6g'),
    max_height_error: f(run.max_height_error, '%.3e'),
    energy_drift: f(run.energy_drift, '%.3e'),
    wall_ms: f(run.wall_ms, '%.3f'),
  };
}

function buffersOf(object, list = []) {
  for (const value of Object.values(object)) {
    if (ArrayBuffer.isView(value)) list.push(value.buffer);
    else if (value && typeof value === 'object') buffersOf(value, list);
  }
  return list;
}

function hasProblems(problems) {
  return Object.keys(problems).length > 0;
}

const ops = {
  init(engine) {
    return {
      schemes: engine.schemes(),
      flightStartUp: engine.flightStartUp(),
      springStartUp: engine.springStartUp(),
      fewSteps: engine.fewStepsLimit(),
    };
  },

  // The page's flights: every chosen scheme, the exact flight, the numbers
  // as pbsim-study prints them.
  flightSet(engine, { values, schemes }, progress) {
    const problems = engine.flightProblems(values);
    if (hasProblems(problems)) return { problems };
    const runs = [];
    for (const scheme of schemes) {
      progress(`flight, ${scheme}`);
      const run = engine.flight({ ...values, scheme });
      run.shown = shownFlight(engine, run);
      runs.push(run);
    }
    const longest = Math.max(1, ...runs.map((r) => r.t[r.t.length - 1] || 0));
    const exact = engine.exactFlight(values, 400, longest);
    const landing = exact.landing_time;
    let exactShown = null;
    if (landing !== null) {
      const n = exact.t.length - 1;
      exactShown = {
        landing_x: engine.formatNumber(exact.x[n], '%.6g'),
        landing_z: engine.formatNumber(exact.z[n], '%.6g'),
        flight_time: engine.formatNumber(landing, '%.6g'),
      };
    }
    return { runs, exact, exactShown };
  },

  springSet(engine, { values, scheme }, progress) {
    const problems = engine.springProblems(values);
    if (hasProblems(problems)) return { problems };
    progress(`spring, ${scheme}`);
    const run = engine.spring({ ...values, scheme });
    run.shown = shownSpring(engine, run);
    const end = Math.max(run.t[run.t.length - 1] || 0, 1e-9);
    const exact = engine.exactSpring(values, 800, end);
    return { run, exact };
  },

  convergence(engine, { model, values, schemes, levels, withDouble }, progress) {
    const problems = model === 'flight' ? engine.flightProblems(values) : engine.springProblems(values);
    if (hasProblems(problems)) return { problems };
    return engine.convergence(model, values, schemes, levels, withDouble, progress);
  },

  csv(engine, { model, values, schemes }) {
    return model === 'flight' ? engine.flightCsv(values, schemes) : engine.springCsv(values, schemes);
  },

  // window.pbsimEngine: the engine's own answer, refused values included.
  run(engine, { model, args }) {
    return model === 'flight' ? engine.flight(args) : engine.spring(args);
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
