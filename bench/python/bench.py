#!/usr/bin/env python3
"""Speed of the Python module beside the engine called from C++ (run by hand, not a test).

    PYTHONPATH=build/dev/python /usr/bin/python3 bench/python/bench.py [build/dev/bench/engine/engine_bench]

1. A fine flight (the start-up shot at dt = 1e-5 s, 142 thousand steps) from Python against
   the same engine call from C++ (engine_bench's BM_FineFlight: the case, the run, its
   columns, exact positions and errors), per scheme and precision.
2. RK4 as a Butcher tableau against the built-in RK4, and Heun's tableau against midpoint.
3. A Python callable scheme: its cost per step.
Times are the best of repeated runs, real (wall) time and CPU time (on a shared machine the
CPU time is the steadier measure; for Python it counts the engine's worker thread too).
"""

import json
import subprocess
import sys
import time

import pbsim

FINE = 1e-5
RK4 = pbsim.ButcherTableau(a=[[], [0.5], [0, 0.5], [0, 0, 1]], b=[1 / 6, 1 / 3, 1 / 3, 1 / 6],
                           c=[0, 0.5, 0.5, 1], name="rk4-tableau")
HEUN = pbsim.ButcherTableau(a=[[0, 0], [1, 0]], b=[0.5, 0.5], c=[0, 1], name="heun")


def cpu_best(call, repeat=15):
    """The best CPU ms of a call (every thread of the process)."""
    call()  # warm up
    return min(python_ms(call)[1] for _ in range(repeat))


def cpp_ms(binary, scheme_arg, precision):
    """engine_bench's runs of one case: (real, CPU) ms per run."""
    name = f"BM_FineFlight/{scheme_arg}/{0 if precision == 'single' else 1}/real_time"
    out = subprocess.run([binary, f"--benchmark_filter=^{name}$", "--benchmark_repetitions=3",
                          "--benchmark_format=json"],
                         capture_output=True, text=True, check=True).stdout
    return [(b["real_time"], b["cpu_time"]) for b in json.loads(out)["benchmarks"]
            if b.get("run_type") == "iteration"]


def python_ms(call):
    """(real, CPU) ms of one call; CPU time counts every thread of the process, the engine's
    worker included."""
    wall, cpu = time.perf_counter(), time.process_time()
    call()
    return (time.perf_counter() - wall) * 1e3, (time.process_time() - cpu) * 1e3


def paired(binary, scheme, scheme_arg, precision, rounds=5):
    """The best (real, CPU) ms in C++ and in Python, measured in alternation so that the
    machine's load falls on both alike; other work can only add time, so the best run is
    the steadiest figure."""
    def call():
        pbsim.flight(dt=FINE, scheme=scheme, precision=precision)

    cpp, py = [], []
    call()
    for _ in range(rounds):
        cpp += cpp_ms(binary, scheme_arg, precision)
        py += [python_ms(call) for _ in range(3)]
    return (min(r for r, _ in cpp), min(c for _, c in cpp),
            min(r for r, _ in py), min(c for _, c in py))


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build/dev/bench/engine/engine_bench"
    print(f"1. Fine flight (dt {FINE:g} s, {pbsim.flight(dt=FINE).steps} steps): "
          "Python against C++, best ms")
    print(f"   {'scheme':12s} {'precision':9s} {'C++':>8s} {'Python':>8s} {'ratio':>6s}"
          f"   CPU: {'C++':>8s} {'Python':>8s} {'ratio':>6s}")
    python = {}
    # engine_bench's first argument: the scheme's place in pbsim.SCHEMES, -1 for the tableau
    for scheme, arg in (("euler", 0), ("midpoint", 1), ("rk4", 2), ("verlet", 4), (RK4, -1)):
        name = scheme if isinstance(scheme, str) else scheme.name
        for precision in ("single", "double"):
            c, c_cpu, p, p_cpu = paired(binary, scheme, arg, precision)
            python[name, precision] = p_cpu
            print(f"   {name:12s} {precision:9s} {c:8.2f} {p:8.2f} {p / c:6.3f}"
                  f"        {c_cpu:8.2f} {p_cpu:8.2f} {p_cpu / c_cpu:6.3f}")

    print("\n2. Tableaus against the built-in scheme of the same order (from Python, CPU ms)")
    for precision in ("single", "double"):
        tableau, builtin = python["rk4-tableau", precision], python["rk4", precision]
        print(f"   RK4 tableau / rk4, {precision}: {tableau:.2f} / {builtin:.2f} ms = "
              f"{tableau / builtin:.3f}")
        heun = cpu_best(lambda: pbsim.flight(dt=FINE, scheme=HEUN, precision=precision))
        mid = python["midpoint", precision]
        print(f"   Heun tableau / midpoint, {precision}: {heun:.2f} / {mid:.2f} ms = "
              f"{heun / mid:.3f}")

    print("\n3. A Python callable scheme (double precision, dt 1e-3 s, CPU time)")

    def euler_step(f, t, x, h):
        return x + h * f(t, x)

    def rk4_step(f, t, x, h):
        k1 = f(t, x)
        k2 = f(t + h / 2, x + h / 2 * k1)
        k3 = f(t + h / 2, x + h / 2 * k2)
        k4 = f(t + h, x + h * k3)
        return x + h / 6 * (k1 + 2 * k2 + 2 * k3 + k4)

    for step, builtin in ((euler_step, "euler"), (rk4_step, "rk4")):
        steps = pbsim.flight(dt=1e-3, scheme=step, precision="double").steps
        ms = cpu_best(lambda: pbsim.flight(dt=1e-3, scheme=step, precision="double"))
        ref = cpu_best(lambda: pbsim.flight(dt=1e-3, scheme=builtin, precision="double"))
        print(f"   {step.__name__}: {ms * 1e3 / steps:.2f} us per step ({steps} steps), "
              f"built-in {builtin}: {ref * 1e3 / steps:.3f} us per step")


if __name__ == "__main__":
    main()
