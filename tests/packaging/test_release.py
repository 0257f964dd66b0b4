"""The release bundle that scripts/release.sh wrote into dist/, opened as its users open it:
the sums hold, the page loads in Chromium, the wheel installs into a fresh virtual environment
and imports, the Debian package passes lintian, the source archive unpacks; each says the
project's version. And scripts/release.sh refuses a working tree with changes and a bundle
whose artifacts disagree on the version.

Run by CTest (test release, label release: after scripts/release.sh) with PBSIM_SOURCE,
PBSIM_VERSION (CMake's project version), PBSIM_DIST and PBSIM_STUDY in the environment."""

import csv
import hashlib
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile
import zipfile
from pathlib import Path

import pytest

SOURCE = Path(os.environ["PBSIM_SOURCE"])
VERSION = os.environ["PBSIM_VERSION"]
DIST = Path(os.environ.get("PBSIM_DIST", SOURCE / "dist"))
STUDY = os.environ.get("PBSIM_STUDY")
RELEASE = SOURCE / "scripts" / "release.sh"


def run(command, timeout=600, **kwargs):
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME")}
    return subprocess.run([str(c) for c in command], capture_output=True, text=True,
                          timeout=timeout, env=kwargs.pop("env", env), **kwargs)


@pytest.fixture(scope="module")
def bundle():
    if not (DIST / "SHA256SUMS").is_file():
        pytest.fail(f"no release bundle in {DIST}: run scripts/release.sh first")
    files = {p.name: p for p in DIST.iterdir()}
    wheels = [p for n, p in files.items() if n.endswith(".whl")]
    debs = [p for n, p in files.items() if n.endswith(".deb")]
    assert len(wheels) == 1 and len(debs) == 1, sorted(files)
    return {"page": DIST / "pbsim.html", "wheel": wheels[0], "deb": debs[0],
            "source": DIST / f"pbsim-{VERSION}.tar.gz", "sums": DIST / "SHA256SUMS"}


def test_the_bundle_is_the_five_artifacts_and_their_sums(bundle):
    assert sorted(p.name for p in DIST.iterdir()) == sorted(p.name for p in bundle.values())
    assert bundle["wheel"].name.startswith(f"pbsim-{VERSION}-")
    assert re.fullmatch(rf"pbsim_{re.escape(VERSION)}_[a-z0-9]+\.deb", bundle["deb"].name)
    sums = {}
    for line in bundle["sums"].read_text().splitlines():
        digest, name = re.fullmatch(r"([0-9a-f]{64}) [ *](.+)", line).groups()
        sums[name] = digest
    artifacts = [p for k, p in bundle.items() if k != "sums"]
    assert sorted(sums) == sorted(p.name for p in artifacts)
    for path in artifacts:
        assert hashlib.sha256(path.read_bytes()).hexdigest() == sums[path.name], path.name
    # The sums as a user checks them.
    done = run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=DIST)
    assert done.returncode == 0, done.stdout + done.stderr


def test_release_check_accepts_the_bundle(bundle):
    done = run([RELEASE, "--check", DIST])
    assert done.returncode == 0, done.stderr
    assert f"holds pbsim {VERSION}" in done.stdout


def test_the_page_opens_in_chromium(bundle, tmp_path):
    # A copy elsewhere, as a downloaded file is.
    page = tmp_path / "pbsim.html"
    shutil.copyfile(bundle["page"], page)
    node = shutil.which("node")
    assert node, "Node.js is not installed (scripts/web.sh installs it)"
    web = SOURCE / "web"
    assert (web / "node_modules" / "puppeteer-core").is_dir(), "run scripts/web.sh (npm ci)"
    done = run([node, SOURCE / "tests" / "packaging" / "page_opens.mjs", page, web],
               timeout=180)
    assert done.returncode == 0, done.stdout + done.stderr
    seen = json.loads(done.stdout.strip().splitlines()[-1])
    assert seen["errors"] == []
    assert seen["version"] == f"pbsim {VERSION}"
    assert seen["title"].startswith("pbsim")
    assert seen["pictures"] >= 2
    assert seen["rows"] > 0


def test_the_wheel_installs_and_imports(bundle, tmp_path):
    home = tmp_path / "venv"
    done = run([sys.executable, "-m", "venv", "--system-site-packages", home])
    assert done.returncode == 0, done.stderr
    python = home / "bin" / "python"
    done = run([python, "-m", "pip", "install", "--no-index", "--no-cache-dir", bundle["wheel"]])
    assert done.returncode == 0, done.stdout + done.stderr
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    done = run([python, "-c", "import json, sys, pbsim; r = pbsim.flight(); print(json.dumps("
                "[pbsim.__file__, sys.prefix, pbsim.__version__, r.scheme, r.steps]))"],
               cwd=elsewhere)
    assert done.returncode == 0, done.stderr
    where, prefix, version, scheme, steps = json.loads(done.stdout)
    assert Path(where).is_relative_to(prefix), where
    assert version == VERSION
    if not STUDY:
        pytest.fail("pbsim-study is not built (PBSIM_STUDY unset)")
    summary = run([STUDY, "flight", "--schemes", scheme, "--summary", "-"])
    assert summary.returncode == 0, summary.stderr
    assert steps == int(next(csv.DictReader(io.StringIO(summary.stdout)))["steps"])


def test_the_debian_package_passes_lintian(bundle):
    done = run(["dpkg-deb", "--field", bundle["deb"], "Package", "Version"])
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == ["Package: pbsim", f"Version: {VERSION}"]
    done = run(["lintian", "--fail-on", "error", bundle["deb"]])
    assert done.returncode == 0, done.stdout + done.stderr


def test_the_source_archive_unpacks_with_the_project_s_version(bundle, tmp_path):
    top = f"pbsim-{VERSION}"
    with tarfile.open(bundle["source"]) as tar:
        names = tar.getnames()
        assert all(n == top or n.startswith(top + "/") for n in names)
        tar.extractall(tmp_path)
    unpacked = tmp_path / top
    for name in ("CMakeLists.txt", "pyproject.toml", "setup.py", "scripts/release.sh",
                 "README.md", "LICENSE"):
        assert (unpacked / name).is_file(), name
    assert re.search(rf"^project\(pbsim VERSION {re.escape(VERSION)}\b",
                     (unpacked / "CMakeLists.txt").read_text(), re.MULTILINE)
    assert not (unpacked / "build").exists() and not (unpacked / "dist").exists()


# A bundle changed in one artifact, its sums made to match again: each must be refused.
def doctor_page(path, tmp):
    text = path.read_text()
    assert f'content="pbsim {VERSION}"' in text
    path.write_text(text.replace(f'content="pbsim {VERSION}"', 'content="pbsim 9.9.9"'))
    return path


def doctor_wheel_metadata(path, tmp):
    rewritten = tmp / path.name
    with zipfile.ZipFile(path) as old, zipfile.ZipFile(rewritten, "w") as new:
        for item in old.infolist():
            data = old.read(item)
            if item.filename.endswith(".dist-info/METADATA"):
                data = data.replace(f"Version: {VERSION}\n".encode(), b"Version: 9.9.9\n")
            new.writestr(item, data)
    shutil.move(rewritten, path)
    return path


def doctor_wheel_name(path, tmp):
    renamed = path.with_name(path.name.replace(f"pbsim-{VERSION}-", "pbsim-9.9.9-"))
    path.rename(renamed)
    return renamed


def doctor_deb(path, tmp):
    tree = tmp / "deb"
    assert run(["dpkg-deb", "-R", path, tree]).returncode == 0
    control = tree / "DEBIAN" / "control"
    control.write_text(control.read_text().replace(f"Version: {VERSION}", "Version: 9.9.9"))
    done = run(["dpkg-deb", "--root-owner-group", "-Zxz", "-b", tree, path])
    assert done.returncode == 0, done.stderr
    return path


def doctor_source(path, tmp):
    top = f"pbsim-{VERSION}"
    with tarfile.open(path) as tar:
        tar.extractall(tmp)
    cmake = tmp / top / "CMakeLists.txt"
    cmake.write_text(cmake.read_text().replace(f"VERSION {VERSION}", "VERSION 9.9.9", 1))
    with tarfile.open(path, "w:gz") as tar:
        tar.add(tmp / top, arcname=top)
    return path


DOCTORS = {
    "page": ("page", doctor_page, "the page's generator element"),
    "wheel metadata": ("wheel", doctor_wheel_metadata, "the wheel's METADATA"),
    "wheel name": ("wheel", doctor_wheel_name, "the wheel's name"),
    "deb control": ("deb", doctor_deb, "the Debian package's control file"),
    "source CMakeLists.txt": ("source", doctor_source, "the source archive's CMakeLists.txt"),
}


def copy_bundle(bundle, tmp_path):
    copy = tmp_path / "dist"
    shutil.copytree(DIST, copy)
    return copy, {k: copy / p.name for k, p in bundle.items()}


def write_sums(folder):
    lines = [f"{hashlib.sha256(p.read_bytes()).hexdigest()}  {p.name}"
             for p in sorted(folder.iterdir()) if p.name != "SHA256SUMS"]
    (folder / "SHA256SUMS").write_text("\n".join(lines) + "\n")


@pytest.mark.parametrize("case", DOCTORS)
def test_release_refuses_a_version_mismatch(bundle, tmp_path, case):
    artifact, doctor, named = DOCTORS[case]
    copy, files = copy_bundle(bundle, tmp_path)
    work = tmp_path / "work"
    work.mkdir()
    doctor(files[artifact], work)
    write_sums(copy)
    done = run([RELEASE, "--check", copy])
    assert done.returncode != 0
    assert f"release: version mismatch: {named}" in done.stderr
    assert f"says 9.9.9; the project's version is {VERSION}" in done.stderr


def test_release_refuses_a_changed_artifact(bundle, tmp_path):
    copy, files = copy_bundle(bundle, tmp_path)
    with open(files["page"], "a") as page:
        page.write("<!-- changed after the sums -->\n")
    done = run([RELEASE, "--check", copy])
    assert done.returncode != 0
    assert "an artifact's SHA-256 sum differs from SHA256SUMS" in done.stderr


def git(*args, cwd):
    done = run(["git", *args], cwd=cwd)
    assert done.returncode == 0, done.stderr
    return done.stdout


def append(path, text):
    with open(path, "a") as f:
        f.write(text)


def stage_new_file(tree):
    (tree / "staged.txt").write_text("x\n")
    git("add", "staged.txt", cwd=tree)


# A clone of the commit with one change that no commit holds.
CHANGES = {
    "an untracked file": lambda tree: (tree / "notes.txt").write_text("to do\n"),
    "a changed file": lambda tree: append(tree / "README.md", "changed\n"),
    "a staged file": stage_new_file,
}


@pytest.mark.parametrize("change", CHANGES)
def test_release_refuses_a_working_tree_with_changes(tmp_path, change):
    if run(["git", "rev-parse", "HEAD"], cwd=SOURCE).returncode != 0:
        pytest.skip("the source is not a git working tree")
    tree = tmp_path / "clone"
    git("clone", "--quiet", "--shared", SOURCE, tree, cwd=tmp_path)
    CHANGES[change](tree)
    # Past a failed refusal the release would configure and build: a cmake that refuses
    # ends it there instead.
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir()
    (bin_dir / "cmake").write_text("#!/bin/sh\necho 'cmake: the release went on' >&2\nexit 97\n")
    (bin_dir / "cmake").chmod(0o755)
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME")}
    env["PATH"] = f"{bin_dir}:{env['PATH']}"
    done = run([tree / "scripts" / "release.sh"], timeout=120, env=env)
    assert done.returncode != 0
    assert "release: the working tree has changes that no commit holds" in done.stderr
    assert not (tree / "dist").exists() and not (tree / "build").exists()
