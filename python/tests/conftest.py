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


def study_summary(*args):
    """pbsim-study's summary (--summary) for the arguments, by scheme."""
    rows = csv.DictReader(io.StringIO(run_study(*args, "--summary", "-")))
    return {row["scheme"]: row for row in rows}


def options(values):
    """Keyword values as pbsim-study options."""
    out = []
    for name, value in values.items():
        out.append(f"--{name}={float(value)!r}")
    return out
