"""Builds the korvane package with the project's CMake: only the compiled module and the
libraries it links, for the interpreter that runs this build, then the package's files as CMake
lays them out (the module, the Python files, the type stubs).

    pip install .                         # or: pip install --no-build-isolation .
    python3 -m build --no-isolation       # a source distribution and a wheel in dist/

CMAKE_ARGS (extra -D options for configure), CMAKE_BUILD_PARALLEL_LEVEL and
CMAKE_CXX_COMPILER_LAUNCHER (ccache, say) in the environment reach the build.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    """The number of the top-level CMakeLists.txt's project(), the version's one source."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(\s*Korvane\s+VERSION\s+([0-9.]+)", text)
    if not found:
        raise RuntimeError("CMakeLists.txt: no project(Korvane VERSION ...) found")
    return found.group(1)


class CMakeBuild(build_ext):
    """Configures the project without the window and the tests and builds the module's targets."""

    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DKORVANE_BUILD_GUI=OFF",
            "-DKORVANE_BUILD_TESTS=OFF",
            "-DKORVANE_BUILD_PYTHON=ON",
            f"-DPython_EXECUTABLE={sys.executable}",
        ]
        try:  # pybind11 as installed for this interpreter (pip's, in an isolated build)
            import pybind11

            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass
        configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(self.parallel or os.cpu_count() or 1)
        subprocess.run(
            ["cmake", "--build", str(build), "-j", jobs,
             "--target", "korvane_python", "korvane_python_stubs"],
            check=True,
        )
        # The package as CMake laid it out, in place of the placeholder extension.
        package = build / "python" / "korvane"
        target = Path(self.get_ext_fullpath(ext.name)).parent
        if target.exists():
            shutil.rmtree(target)
        shutil.copytree(package, target, ignore=shutil.ignore_patterns("__pycache__"))


setup(
    version=project_version(),
    # The compiled module, built by CMake; it makes the wheel one for this platform.
    ext_modules=[Extension("korvane._korvane", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    packages=[],
    options={"build": {"build_base": "build-pip"}},
    zip_safe=False,
)
