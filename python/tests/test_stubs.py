"""The type stubs describe the module as it is (mypy's stubtest, which checks the package
and its extension)."""

import os
import pathlib
import subprocess
import sys

ALLOWLIST = pathlib.Path(__file__).with_name("stubtest-allowlist.txt")


def test_stubs_match_the_module(tmp_path):
    env = dict(os.environ, MYPY_CACHE_DIR=str(tmp_path / "mypy"))
    done = subprocess.run([sys.executable, "-m", "mypy.stubtest", "pbsim",
                           "--allowlist", str(ALLOWLIST)],
                          capture_output=True, text=True, timeout=300, env=env)
    assert done.returncode == 0, done.stdout + done.stderr
    assert "in 2 modules" in done.stdout
