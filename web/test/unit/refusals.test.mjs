// Every way into the page's engine refuses a bad value the same way: each
// parameter of the engine's table, given values its rule forbids, is refused
// by run, problems, study, convergence, csv and the exact solution, naming
// the parameter, with the same words; its start-up value is taken by all of
// them. The flight's drag law likewise, and the spring takes none.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { loadEngine } from './engine.mjs';

const engine = await loadEngine();
const models = ['flight', 'spring'];

// The engine's answers as {parameter, message} for a refusal, null for values it takes.
function refusalOf(answer) {
  if (typeof answer === 'string') return null;
  if (answer && answer.problem) return { parameter: answer.problem.parameter, message: answer.problem.message };
  if (answer && answer.problems) return problemsAsRefusal(answer.problems);
  return null;
}
function problemsAsRefusal(problems) {
  const names = Object.keys(problems);
  if (!names.length) return null;
  return { parameter: names.join(','), message: names.map((n) => problems[n]).join('; ') };
}

const entryPoints = {
  run: (model, args) => refusalOf(engine.run(model, { ...args, scheme: 'rk4' })),
  problems: (model, args) => problemsAsRefusal(engine.problems(model, args)),
  study: (model, args) => refusalOf(engine.study(model, args, ['rk4'], null)),
  convergence: (model, args) => refusalOf(engine.convergence(model, args, ['rk4'], { levels: 2 }, null)),
  csv: (model, args) => refusalOf(engine.csv(model, args, ['rk4'])),
  exact: (model, args) => refusalOf(model === 'flight' ? engine.exactFlight(args, 10, 1) : engine.exactSpring(args, 10, 1)),
};

// Values a rule forbids, by the rule's words, and what the refusal says.
const kNotANumber = [['ten', /must be a number/]];
const kNotFinite = [
  [Infinity, /finite/],
  [-Infinity, /finite/],
  [NaN, /finite/],
  [1e39, /single precision/],
  [-1e39, /single precision/],
];
const kNotPositive = [
  [0, /greater than 0/],
  [-1, /greater than 0/],
  [1e-50, /greater than 0.*0 in single precision/],
];
function forbidden(rule) {
  const bad = [...kNotANumber, ...kNotFinite];
  if (/greater than 0/.test(rule)) bad.push(...kNotPositive);
  return bad;
}

// Asks every entry point; {entry point: refusal or null}.
function answers(model, args) {
  return Object.fromEntries(Object.entries(entryPoints).map(([name, ask]) => [name, ask(model, args)]));
}

test("each parameter's rule is kept by every entry point, in the same words", () => {
  let cases = 0;
  for (const model of models) {
    const parameters = engine.parameters(model);
    assert.ok(parameters.length > 0, model);
    for (const p of parameters) {
      assert.ok(['a finite number', 'a number greater than 0'].includes(p.rule), `${model} ${p.name}: the rule ${p.rule}`);
      // Its start-up value runs everywhere.
      for (const [entry, refusal] of Object.entries(answers(model, { [p.name]: p.startUp }))) assert.equal(refusal, null, `${model} ${entry}: ${p.name} = ${p.startUp} refused: ${JSON.stringify(refusal)}`);
      for (const [value, says] of forbidden(p.rule)) {
        const what = `${model} ${p.name} = ${value}`;
        const all = answers(model, { [p.name]: value });
        const words = all.problems && all.problems.message;
        for (const [entry, refusal] of Object.entries(all)) {
          assert.ok(refusal, `${what}: ${entry} took it`);
          assert.equal(refusal.parameter, p.name, `${what}: ${entry} names ${refusal.parameter}`);
          assert.match(refusal.message, says, `${what}: ${entry}`);
          assert.equal(refusal.message, words, `${what}: ${entry} words it as the form does`);
          cases++;
        }
      }
    }
  }
  console.log(`refusals: ${cases} (parameter, value, entry point) cases`);
});

test("the flight's drag law: the engine's words only, quadratic drag's own limits, the spring has none", () => {
  const { laws, startUp } = engine.dragLaws();
  assert.ok(laws.includes(startUp), `the start-up law ${startUp} is one of ${laws}`);
  for (const drag of laws) for (const [entry, refusal] of Object.entries(answers('flight', { drag }))) assert.equal(refusal, null, `drag ${drag}: ${entry} refused ${JSON.stringify(refusal)}`);
  const refused = [
    ['flight', { drag: 'cubic' }, 'drag', `must be ${laws.join(' or ')}, not 'cubic'`],
    ['flight', { drag: 'Quadratic' }, 'drag', `must be ${laws.join(' or ')}, not 'Quadratic'`],
    ['flight', { drag: 2 }, 'drag', 'must be a string'],
    ['flight', { drag: 'quadratic', friction: -1 }, 'friction', /must not be negative with quadratic drag/],
    ['flight', { drag: 'quadratic', dt: 5 }, 'dt', /must be shorter than .* with quadratic drag/],
    ['spring', { drag: 'linear' }, 'drag', /is not an argument here/],
  ];
  for (const [model, args, parameter, says] of refused) {
    for (const [entry, refusal] of Object.entries(answers(model, args))) {
      const what = `${model} ${JSON.stringify(args)}: ${entry}`;
      assert.ok(refusal, `${what} took it`);
      assert.equal(refusal.parameter, parameter, what);
      if (typeof says === 'string') assert.equal(refusal.message, says, what);
      else assert.match(refusal.message, says, what);
    }
  }
  // The same friction flies under linear drag: the limit is the law's.
  assert.equal(answers('flight', { drag: 'linear', friction: -1 }).run, null);
});
