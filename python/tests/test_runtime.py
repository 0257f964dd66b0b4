"""How the module runs: arrays over the engine's own memory, the GIL released during a
run, Ctrl+C interrupting one, runs in threads."""

import gc
import os
import subprocess
import sys
import textwrap
import threading
import time

import numpy as np
import pytest

import pbsim


@pytest.mark.parametrize("run", [lambda: pbsim.flight(), lambda: pbsim.spring(precision="double")],
                         ids=["flight", "spring"])
def test_columns_are_views_of_the_engines_run(run):
    r = run()
    owner = r.t.base
    for name in r._columns:
        column = getattr(r, name)
        assert not column.flags.owndata, name
        assert column.base is owner, name  # one engine run holds every column
    frame = r.to_frame()
    for name in r._columns:
        assert np.shares_memory(frame[name].to_numpy(), getattr(r, name)), name
    # The run lives as long as any of its columns.
    y = r.y
    kept = y.copy()
    del r, frame
    gc.collect()
    pbsim.flight(dt=0.001)  # reuses freed memory if the run was freed
    np.testing.assert_array_equal(y, kept)


def test_the_gil_is_released_while_the_engine_runs():
    ticks = []
    span = {}

    def long_run():
        span["start"] = time.perf_counter()
        pbsim.flight(dt=2e-6, scheme="rk4")
        span["end"] = time.perf_counter()

    worker = threading.Thread(target=long_run)
    worker.start()
    while worker.is_alive():
        ticks.append(time.perf_counter())
    worker.join()
    # With the GIL held by the run, this thread could only tick before and after it.
    start, end = span["start"], span["end"]
    middle = [t for t in ticks if start + 0.25 * (end - start) < t < start + 0.75 * (end - start)]
    assert len(middle) > 100, (len(ticks), end - start)


def test_runs_in_threads_give_the_same_numbers():
    shots = [dict(dt=0.001 * (k + 1), elevation=20 + 10 * k) for k in range(4)]
    alone = [pbsim.flight(**s) for s in shots]
    together = [None] * len(shots)

    def fly(k):
        together[k] = pbsim.flight(**shots[k])

    threads = [threading.Thread(target=fly, args=(k,)) for k in range(len(shots))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for a, b in zip(alone, together):
        np.testing.assert_array_equal(a.x, b.x)
        np.testing.assert_array_equal(a.z, b.z)


INTERRUPT = textwrap.dedent("""
    import os, signal, threading
    import pbsim
    calls = [0]

    def step(f, t, x, h):
        calls[0] += 1
        return x + h * f(t, x)

    pbsim.compare("flight")  # imports pandas: the signal must find the run under way
    threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT)).start()
    try:
        {call}
        print("finished")
    except KeyboardInterrupt:
        print("interrupted")
    # well before the end (a whole flight at dt 1e-6 s takes 1.43 million steps)
    print("early" if calls[0] < 1_000_000 else "late")
    print(pbsim.flight().steps)
""")

LONG_CALLS = [
    # about half an hour if nothing stops it
    'pbsim.convergence("flight", levels=26, precision="both")',
    'pbsim.flight(dt=1e-6, scheme=step, precision="double")',
]


@pytest.mark.parametrize("call", LONG_CALLS, ids=["convergence", "callable"])
def test_ctrl_c_interrupts_a_long_run(call):
    # The timeout only guards against a run that Ctrl+C does not stop.
    done = subprocess.run([sys.executable, "-c", INTERRUPT.format(call=call)],
                          capture_output=True, text=True, timeout=120, env=os.environ)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["interrupted", "early", str(pbsim.flight().steps)]
