"""The build backend of the korvane package: setuptools' own, asking also for CMake (the PyPI
package) when the machine has no cmake 3.25 or newer on PATH, so that a machine with Debian's
cmake builds offline and one without it gets CMake in pip's isolated build."""

import re
import shutil
import subprocess

from setuptools import build_meta as _setuptools
from setuptools.build_meta import *  # noqa: F401,F403  (the hooks this module does not change)


def _cmake_requirement():
    cmake = shutil.which("cmake")
    if cmake:
        done = subprocess.run([cmake, "--version"], capture_output=True, text=True, check=False)
        found = re.search(r"version (\d+)\.(\d+)", done.stdout)
        if found and (int(found.group(1)), int(found.group(2))) >= (3, 25):
            return []
    return ["cmake>=3.25"]


def get_requires_for_build_wheel(config_settings=None):
    return _setuptools.get_requires_for_build_wheel(config_settings) + _cmake_requirement()


def get_requires_for_build_editable(config_settings=None):
    return _setuptools.get_requires_for_build_editable(config_settings) + _cmake_requirement()
