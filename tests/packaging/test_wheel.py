"""pbsim for pip, as a user gets it: the wheel built from the source tree by pip (setup.py runs
the project's CMake), installed into a fresh virtual environment and imported from another
folder, gives pbsim-study's flight bit for bit; the wheel refuses another Python; a build
without CMake or without a compiler ends with a message that names what is missing.

Run by CTest (test python_wheel) with PBSIM_SOURCE, PBSIM_VERSION (CMake's project version)
and PBSIM_STUDY in the environment."""

import csv
import io
import json
import os
import shutil
import subprocess
import sys
import sysconfig
import textwrap
import zipfile
from pathlib import Path

import numpy as np
import pytest

SOURCE = Path(os.environ["PBSIM_SOURCE"])
VERSION = os.environ["PBSIM_VERSION"]
STUDY = os.environ.get("PBSIM_STUDY")
FLOAT32_COLUMNS = ("x", "y", "z", "vx", "vy", "vz")

# pip offline: nothing from an index, the build with the system's setuptools and pybind11.
PIP = [sys.executable, "-m", "pip", "--disable-pip-version-check"]
OFFLINE = ["--no-index", "--no-build-isolation", "--no-cache-dir"]


def clean_env(**extra):
    """The environment without the build tree's module on the path."""
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME")}
    env.update(extra)
    return env


def run(command, **kwargs):
    kwargs.setdefault("env", clean_env())
    return subprocess.run([str(c) for c in command], capture_output=True, text=True,
                          timeout=kwargs.pop("timeout", 900), **kwargs)


def python_tag():
    return f"cp{sys.version_info.major}{sys.version_info.minor}"


@pytest.fixture(scope="module")
def wheel(tmp_path_factory):
    out = tmp_path_factory.mktemp("wheels")
    done = run([*PIP, "wheel", *OFFLINE, "--no-deps", "-w", out, SOURCE])
    assert done.returncode == 0, done.stdout + done.stderr
    wheels = list(out.glob("*.whl"))
    assert len(wheels) == 1, wheels
    return wheels[0]


@pytest.fixture(scope="module")
def venv(tmp_path_factory, wheel):
    """A fresh virtual environment of this Python (numpy from the system) with the wheel."""
    home = tmp_path_factory.mktemp("venv")
    done = run([sys.executable, "-m", "venv", "--system-site-packages", home])
    assert done.returncode == 0, done.stdout + done.stderr
    python = home / "bin" / "python"
    # The dependencies resolve from what is installed (numpy), never from an index.
    done = run([python, "-m", "pip", "install", "--no-index", "--no-cache-dir", wheel])
    assert done.returncode == 0, done.stdout + done.stderr
    return python


def test_the_wheel_is_named_and_tagged_for_this_python(wheel):
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    tag = f"{python_tag()}-{python_tag()}-{platform}"
    assert wheel.name == f"pbsim-{VERSION}-{tag}.whl"
    with zipfile.ZipFile(wheel) as z:
        meta = z.read(f"pbsim-{VERSION}.dist-info/WHEEL").decode()
        metadata = z.read(f"pbsim-{VERSION}.dist-info/METADATA").decode()
    assert "Root-Is-Purelib: false" in meta.splitlines()
    assert f"Tag: {tag}" in meta.splitlines()
    lines = metadata.splitlines()
    assert "Name: pbsim" in lines
    assert f"Version: {VERSION}" in lines
    assert "Requires-Dist: numpy" in lines


def test_the_wheel_holds_the_package_its_stubs_and_the_extension(wheel):
    package = SOURCE / "python" / "pbsim"
    expected = {f"pbsim/{p.name}" for p in package.iterdir()
                if p.suffix in (".py", ".pyi") or p.name == "py.typed"}
    assert {"pbsim/__init__.py", "pbsim/__init__.pyi", "pbsim/_pbsim.pyi",
            "pbsim/py.typed"} <= expected
    expected.add("pbsim/_pbsim" + sysconfig.get_config_var("EXT_SUFFIX"))
    with zipfile.ZipFile(wheel) as z:
        names = {n for n in z.namelist() if not n.startswith(f"pbsim-{VERSION}.dist-info/")}
        for name in expected - {"pbsim/py.typed"}:
            assert z.getinfo(name).file_size > 0, name
    assert names == expected


@pytest.mark.parametrize("minor,refused", [(0, False), (-1, True), (1, True)],
                         ids=["this python", "the one before", "the one after"])
def test_the_wheel_installs_only_into_its_python(wheel, tmp_path, minor, refused):
    version = f"{sys.version_info.major}.{sys.version_info.minor + minor}"
    done = run([*PIP, "install", "--no-index", "--no-deps", "--dry-run", "--only-binary=:all:",
                "--python-version", version, "--target", tmp_path / "target", wheel])
    message = f"{wheel.name} is not a supported wheel on this platform"
    if refused:
        assert done.returncode != 0
        assert message in done.stderr
    else:
        assert done.returncode == 0, done.stdout + done.stderr


FLIGHTS = textwrap.dedent("""
    import json, sys
    import numpy as np
    import pbsim
    out = {"file": pbsim.__file__, "prefix": sys.prefix, "version": pbsim.__version__,
           "default": [pbsim.flight().scheme, pbsim.flight().steps], "schemes": {}}
    for scheme in pbsim.SCHEMES:
        r = pbsim.flight(scheme=scheme.name)
        bits = np.uint32 if r.precision == "single" else np.uint64
        out["schemes"][scheme.name] = {
            "steps": r.steps, "precision": r.precision,
            **{c: getattr(r, c).view(bits).tolist() for c in %r}}
    json.dump(out, sys.stdout)
""" % (FLOAT32_COLUMNS,))


def study(*args):
    if not STUDY:
        pytest.fail("pbsim-study is not built (PBSIM_STUDY unset)")
    done = run([STUDY, *args], timeout=300)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_the_installed_module_flies_pbsim_study_s_flight_bit_for_bit(venv, tmp_path):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    done = run([venv, "-c", FLIGHTS], cwd=elsewhere)
    assert done.returncode == 0, done.stderr
    got = json.loads(done.stdout)
    # The venv's own copy, not the build tree's or the system's.
    assert Path(got["file"]).is_relative_to(got["prefix"]), got["file"]
    assert got["version"] == VERSION

    schemes = sorted(got["schemes"])
    assert "euler" in schemes and "rk4" in schemes
    rows = {}
    text = study("flight", "--schemes", ",".join(schemes), "--csv", "-")
    for row in csv.DictReader(io.StringIO(text)):
        rows.setdefault(row["scheme"], []).append(row)
    summary = {row["scheme"]: row for row in csv.DictReader(io.StringIO(
        study("flight", "--schemes", ",".join(schemes), "--summary", "-")))}
    assert sorted(rows) == schemes
    for scheme in schemes:
        mine = got["schemes"][scheme]
        assert mine["steps"] == int(summary[scheme]["steps"]), scheme
        # Each scheme in its default precision on both sides: the model's float32 bits,
        # or the double bits of the schemes that run in double only.
        real, bits = ((np.float32, np.uint32) if mine["precision"] == "single"
                      else (np.float64, np.uint64))
        for column in FLOAT32_COLUMNS:
            theirs = np.array([real(float(r[column])) for r in rows[scheme]],
                              dtype=real).view(bits)
            np.testing.assert_array_equal(np.array(mine[column], dtype=bits), theirs,
                                          err_msg=f"{scheme} {column}")
    # pbsim.flight() with no arguments: pbsim's start-up shot, as pbsim-study flies it.
    scheme, steps = got["default"]
    assert steps == int(summary[scheme]["steps"]), scheme


# A build without what it needs: (what is taken away, how, what the message must name).
def copy_source(tmp_path):
    """The source tree without its builds, so that CMake starts afresh."""
    copy = tmp_path / "source"
    shutil.copytree(SOURCE, copy, ignore=shutil.ignore_patterns(
        "build", "dist", "node_modules", ".git", ".cache"))
    return copy


def can_unshare():
    return shutil.which("unshare") and run(["unshare", "-m", "true"]).returncode == 0


COMPILERS = ["c++", "g++", "clang++", "cc", "gcc", "clang", "CC"]
HIDE_COMPILERS = "; ".join(
    f"[ ! -e /usr/bin/{c} ] || mount --bind /dev/null /usr/bin/{c}" for c in COMPILERS)


@pytest.mark.parametrize("missing,expected", [
    ("cmake", "building the extension needs CMake, and no cmake program was found on PATH"),
    ("compiler", "no C++ compiler was found: install a C++17 compiler"),
    ("named compiler", "the compiler that the environment variable CXX names was not found"),
])
def test_a_build_without_what_it_needs_names_it(tmp_path, missing, expected):
    source = copy_source(tmp_path)
    command = [*PIP, "wheel", *OFFLINE, "--no-deps", "-w", tmp_path / "out", source]
    env = clean_env()
    if missing == "cmake":
        bin_dir = tmp_path / "bin"
        bin_dir.mkdir()
        env["PATH"] = str(bin_dir)
    elif missing == "compiler":
        if not can_unshare():
            pytest.skip("hiding the compilers needs a mount namespace (unshare -m, as root)")
        # In a mount namespace of its own, the compilers are empty files for this build only.
        command = ["unshare", "-m", "sh", "-c", HIDE_COMPILERS + '; exec "$@"', "sh", *command]
    else:
        env["CXX"] = "no-such-c++-compiler"
    done = run(command, env=env, timeout=300)
    assert done.returncode != 0
    assert "error: pbsim: " + expected in done.stdout + done.stderr
    assert not list(tmp_path.glob("out/*.whl"))
