"""Builds the Python module pbsim for pip: the pure-Python package from python/pbsim and its
extension _pbsim built by the project's own CMake, configured with only what the extension
needs and for the Python that runs the build. pyproject.toml holds the package's metadata;
the version is the one CMakeLists.txt gives in project(... VERSION ...)."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build import build
from setuptools.command.build_ext import build_ext
from setuptools.errors import CompileError, PlatformError, SetupError

HERE = Path(__file__).resolve().parent
# The CMake build and setuptools' own staging stay under build/ (ignored by git), beside the
# project's other builds, and are reused by the next pip run.
BUILD = "build/pip"

CMAKE_MINIMUM = (3, 25)
INSTALL_CMAKE = ("install CMake 3.25 or newer (Debian/Ubuntu: apt install cmake; macOS: brew "
                 "install cmake; Windows: the installer from cmake.org; any system: pip install "
                 "cmake) and run pip again")
INSTALL_COMPILER = ("install a C++17 compiler (Debian/Ubuntu: apt install g++; macOS: "
                    "xcode-select --install; Windows: Visual Studio Build Tools with \"Desktop "
                    "development with C++\") and run pip again")

# What CMake says when something the build needs is missing, and what to tell the user.
CONFIGURE_FAILURES = [
    (r"Could not find compiler set in environment variable (CXX|CC)",
     "the compiler that the environment variable {0} names was not found: set {0} to an "
     "installed compiler, or unset it"),
    (r"No CMAKE_CXX_COMPILER could be found|CMAKE_CXX_COMPILER not set",
     "no C++ compiler was found: " + INSTALL_COMPILER),
    (r"No CMAKE_C_COMPILER could be found|CMAKE_C_COMPILER not set",
     "no C compiler was found: " + INSTALL_COMPILER),
    (r"The CMAKE_(CXX|C)_COMPILER:\s*\S+\s*is not a full path to an existing compiler",
     "the {0} compiler named to CMake does not exist: " + INSTALL_COMPILER),
    (r"The (CXX|C) compiler\s+\"[^\"]*\"\s+is not able to compile a simple test program",
     "the {0} compiler cannot build a program (see CMake's output above): " + INSTALL_COMPILER),
    (r"CMake ([0-9.]+) or higher is required",
     "this CMake is too old: " + INSTALL_CMAKE),
    (r"Could NOT find Boost|package configuration file provided by\s+\"Boost\"",
     "Boost's headers were not found: install them (Debian/Ubuntu: apt install libboost-dev; "
     "macOS: brew install boost; Windows: Boost from boost.org, with BOOST_ROOT set) and run "
     "pip again"),
    (r"Could NOT find Python3",
     "the headers of this Python were not found: install them (Debian/Ubuntu: apt install "
     "python3-dev) and run pip again"),
    (r"package configuration file provided by\s+\"pybind11\"",
     "pybind11 was not found: pip install pybind11 (Debian/Ubuntu: apt install pybind11-dev) "
     "and run pip again"),
]


def project_version():
    """The version CMakeLists.txt gives its project."""
    text = (HERE / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"^\s*project\(\s*pbsim\s+VERSION\s+([0-9]+(?:\.[0-9]+)*)\b", text,
                      re.MULTILINE | re.IGNORECASE)
    if not match:
        raise SetupError("setup.py: CMakeLists.txt has no project(pbsim VERSION ...)")
    return match.group(1)


def find_cmake():
    """The cmake program and its version; a clear error when there is none or it is too old."""
    cmake = shutil.which("cmake")
    if not cmake:
        raise PlatformError("pbsim: building the extension needs CMake, and no cmake program "
                            "was found on PATH: " + INSTALL_CMAKE)
    try:
        out = subprocess.run([cmake, "--version"], capture_output=True, text=True,
                             check=True).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        raise PlatformError(f"pbsim: {cmake} --version failed ({e}): " + INSTALL_CMAKE) from e
    match = re.search(r"version\s+(\d+)\.(\d+)", out)
    if not match or (int(match.group(1)), int(match.group(2))) < CMAKE_MINIMUM:
        found = match.group(0) if match else "an unknown version"
        raise PlatformError(f"pbsim: {cmake} is {found}, older than 3.25: " + INSTALL_CMAKE)
    return cmake


def run(command):
    """Runs a CMake step with its output shown; returns the output for diagnosis."""
    print(" ".join(str(c) for c in command), flush=True)
    done = subprocess.run([str(c) for c in command], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, errors="replace")
    sys.stdout.write(done.stdout)
    sys.stdout.flush()
    return done.returncode, done.stdout


def configure_failure(output):
    for pattern, message in CONFIGURE_FAILURES:
        match = re.search(pattern, output)
        if match:
            return "pbsim: " + message.format(*match.groups())
    return "pbsim: CMake could not configure the build of the extension (its output is above)"


class FreshBuild(build):
    """Stages the package afresh: a file removed from python/pbsim must not stay in the
    wheel from an earlier run (the CMake build tree is kept, and rebuilds what changed)."""

    def run(self):
        shutil.rmtree(self.build_lib, ignore_errors=True)
        super().run()


class CMakeExtension(Extension):
    """An extension that CMake builds: setuptools compiles nothing itself."""

    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        cmake = find_cmake()
        build_dir = Path(self.build_temp).resolve() / "cmake"
        build_dir.mkdir(parents=True, exist_ok=True)
        config = "Release"
        args = [
            cmake, "-S", HERE, "-B", build_dir,
            # The interpreter that runs pip, whose headers and ABI the extension is built for.
            f"-DPython3_EXECUTABLE={sys.executable}",
            f"-DCMAKE_BUILD_TYPE={config}",
            "-DPBSIM_PYTHON=ON",
            "-DPBSIM_GUI=OFF", "-DPBSIM_STUDY=OFF", "-DPBSIM_BENCH=OFF", "-DBUILD_TESTING=OFF",
            "-DPBSIM_WEB_TESTS=OFF", "-DPBSIM_FUZZ=OFF",
        ]
        if sys.platform != "win32":
            # The optimisation level that the project's own builds and tests have (CMake's
            # Release would be -O3), without their debug information.
            args.append("-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")
        try:
            # pybind11 installed by pip (an isolated build) rather than by the system.
            import pybind11

            args.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass
        status, output = run(args)
        if status != 0:
            raise PlatformError(configure_failure(output))

        command = [cmake, "--build", build_dir, "--target", "_pbsim", "--config", config]
        if "CMAKE_BUILD_PARALLEL_LEVEL" not in os.environ:
            command += ["--parallel", str(self.parallel or os.cpu_count() or 1)]
        status, _ = run(command)
        if status != 0:
            raise CompileError("pbsim: compiling the extension failed (the compiler's output "
                               "is above)")

        # CMake puts the extension into the build tree's python/pbsim (a multi-configuration
        # generator into a folder of the configuration below it).
        suffixes = (".so", ".pyd", ".dylib")
        built = [p for p in (build_dir / "python" / "pbsim").rglob("_pbsim*")
                 if p.is_file() and p.name.endswith(suffixes)]
        if len(built) != 1:
            raise CompileError(f"pbsim: expected one extension _pbsim in {build_dir}/python/"
                               f"pbsim, found {[str(p) for p in built]}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


os.chdir(HERE)
Path(BUILD).mkdir(parents=True, exist_ok=True)
# setuptools lists the files of the last run in the egg-info and adds them again.
shutil.rmtree(Path(BUILD) / "pbsim.egg-info", ignore_errors=True)
setup(
    version=project_version(),
    packages=["pbsim"],
    package_dir={"": "python"},
    package_data={"pbsim": ["*.pyi", "py.typed"]},
    include_package_data=False,
    ext_modules=[CMakeExtension("pbsim._pbsim")],
    cmdclass={"build": FreshBuild, "build_ext": CMakeBuild},
    zip_safe=False,
    options={
        "build": {"build_base": BUILD},
        "egg_info": {"egg_base": BUILD},
    },
)
