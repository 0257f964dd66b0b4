"""Shared helpers of the pbsim module's tests: pbsim-study run as a user runs it."""

import csv
import io
import os
import subprocess

import pytest


def pytest_configure(config):
    config.addinivalue_line("markers", "notebook: executes the lab notebook (slow)")


def study_path():
    path = os.environ.get("PBSIM_STUDY")
    if not path:
        pytest.skip("pbsim-study is not built (PBSIM_STUDY unset)")
    return path


def run_study(*args):
    """pbsim-study's standard output for the arguments; fails the test on an error."""
    done = subprocess.run([study_path(), *args], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    return done.stdout


def study_csv(*args):
    """pbsim-study's CSV for the arguments, as rows grouped by scheme."""
    rows = {}
    for row in csv.DictReader(io.StringIO(run_study(*args, "--csv", "-"))):
        rows.setdefault(row["scheme"], []).append(row)
    return rows


def study_counts(*args):
    """Steps and evaluations per scheme from pbsim-study's table."""
    counts = {}
    lines = run_study(*args).splitlines()
    header = next(i for i, line in enumerate(lines) if line.startswith("scheme "))
    for line in lines[header + 1:]:
        words = line.split()
        if len(words) >= 3 and words[1].isdigit() and words[2].isdigit():
            counts[words[0]] = (int(words[1]), int(words[2]))
    return counts


def options(values):
    """Keyword values as pbsim-study options."""
    out = []
    for name, value in values.items():
        out.append(f"--{name}={float(value)!r}")
    return out
