#!/usr/bin/env python3
"""pbsim's dopri5 flight to the ground beside scipy's RK45 with a ground event (run by hand,
not a test).

    PYTHONPATH=build/dev/python /usr/bin/python3 bench/python/dopri5_scipy.py [--rounds N]

The start-up shot, in double precision at rtol 1e-10 and atol 1e-12:
  pbsim   pbsim.flight(scheme="dopri5", rtol=1e-10, atol=1e-12, landing="interpolated",
          precision="double"): the whole call, the result's arrays and summary included;
  scipy   solve_ivp(method="RK45", rtol=1e-10, atol=1e-12) on the same equations from the
          same launch state, stopped by a terminal ground event (height 0, direction -1).
The two calls alternate, one of each per round (which goes first swaps every round), so that
the machine's load falls on both alike; the script prints each side's median wall and CPU
time with the interquartile range and the extremes, the ratio of the medians, and both
landing points' distance to the closed form's (pbsim.exact_flight at
pbsim.exact_landing_time()).

The equations for scipy take the model's own numbers: the launch state is the first point of
a pbsim flight, and the drag rate and gravity are read off the engine's derivative (a step of
one's own is handed it), so nothing here restates how the model converts the panel's values.
"""

import argparse
import math
import statistics
import sys
import time

import numpy as np
import pbsim
from scipy.integrate import solve_ivp

RTOL, ATOL = 1e-10, 1e-12


def pbsim_flight():
    return pbsim.flight(scheme="dopri5", rtol=RTOL, atol=ATOL, landing="interpolated",
                        precision="double")


def model_numbers():
    """The launch state, the drag rate k and gravity g of the start-up shot, as the engine
    has them: dv/dt = -k v + (0, g, 0)."""
    found = {}

    def probe(f, t, x, h):
        if not found:
            found["g"] = f(0.0, np.zeros(6))[4]
            found["k"] = -f(0.0, np.array([0.0, 0.0, 0.0, 1.0, 0.0, 0.0]))[3]
        return x + h * f(t, x)

    pbsim.flight(scheme=probe, precision="double")
    first = pbsim.flight(scheme="rk4", precision="double")
    launch = np.array([first.x[0], first.y[0], first.z[0],
                       first.vx[0], first.vy[0], first.vz[0]])
    return launch, found["k"], found["g"]


def scipy_flight(launch, k, g):
    def rhs(t, s):
        d = np.empty(6)
        d[:3] = s[3:]
        d[3:] = -k * s[3:]
        d[4] += g
        return d

    def ground(t, s):
        return s[1]

    ground.terminal = True
    ground.direction = -1
    # Far later than any landing of the shot: the event ends the integration.
    return solve_ivp(rhs, (0.0, 1e4), launch, method="RK45", rtol=RTOL, atol=ATOL,
                     events=ground)


def timed(call):
    """(wall ms, CPU ms, result) of one call."""
    wall, cpu = time.perf_counter(), time.process_time()
    result = call()
    return (time.perf_counter() - wall) * 1e3, (time.process_time() - cpu) * 1e3, result


def spread(values):
    q = statistics.quantiles(values, n=4, method="inclusive")
    return statistics.median(values), q[2] - q[0], min(values), max(values)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=41, help="calls of each side (41)")
    args = parser.parse_args()

    try:
        pbsim_flight()
    except TypeError as e:
        sys.exit(f"pbsim.flight does not take the adaptive run's options yet ({e}): this "
                 "benchmark needs rtol=, atol= and landing= on pbsim.flight")

    launch, k, g = model_numbers()
    sides = {"pbsim": pbsim_flight, "scipy": lambda: scipy_flight(launch, k, g)}
    for call in sides.values():  # warm up
        call()
    walls = {name: [] for name in sides}
    cpus = {name: [] for name in sides}
    results = {}
    for r in range(args.rounds):
        order = ("pbsim", "scipy") if r % 2 == 0 else ("scipy", "pbsim")
        for name in order:
            wall, cpu, results[name] = timed(sides[name])
            walls[name].append(wall)
            cpus[name].append(cpu)

    t_land = pbsim.exact_landing_time()
    e = pbsim.exact_flight(t_land)
    exact = (float(e.x), float(e.y), float(e.z))
    p, s = results["pbsim"], results["scipy"]
    if s.status != 1 or len(s.t_events[0]) != 1:
        sys.exit(f"scipy's flight did not end at the ground: {s.message}")
    ground = s.y_events[0][0]
    miss = {
        "pbsim": math.dist((p.landing_x, 0.0, p.landing_z), exact),
        "scipy": math.dist((ground[0], ground[1], ground[2]), exact),
    }
    steps = {"pbsim": f"{p.steps} steps, {p.rejected} rejected, {p.evaluations} evaluations",
             "scipy": f"{len(s.t) - 1} steps, {s.nfev} evaluations"}

    print(f"dopri5 flight to the ground, start-up shot, rtol {RTOL:g}, atol {ATOL:g}, double; "
          f"{args.rounds} alternating rounds")
    print(f"  {'':6s} {'wall ms: median':>16s} {'IQR':>8s} {'min':>8s} {'max':>8s}"
          f"   {'CPU ms: median':>15s} {'IQR':>8s}   {'landing error m':>15s}")
    for name in sides:
        med, iqr, lo, hi = spread(walls[name])
        cmed, ciqr, _, _ = spread(cpus[name])
        print(f"  {name:6s} {med:16.4f} {iqr:8.4f} {lo:8.4f} {hi:8.4f}   {cmed:15.4f} {ciqr:8.4f}"
              f"   {miss[name]:15.3e}   {steps[name]}")
    ratio = statistics.median(walls["scipy"]) / statistics.median(walls["pbsim"])
    cratio = statistics.median(cpus["scipy"]) / statistics.median(cpus["pbsim"])
    pairs = statistics.median(sw / pw for sw, pw in zip(walls["scipy"], walls["pbsim"]))
    print(f"  scipy / pbsim: {ratio:.1f}x (wall medians), {cratio:.1f}x (CPU medians), "
          f"{pairs:.1f}x (median of the rounds' ratios)")
    print(f"  landing error: pbsim {miss['pbsim']:.3e} m (its own landing_miss "
          f"{p.landing_miss:.3e}), scipy {miss['scipy']:.3e} m: pbsim's is "
          f"{'the smaller or equal' if miss['pbsim'] <= miss['scipy'] else 'the larger'}")


if __name__ == "__main__":
    main()
