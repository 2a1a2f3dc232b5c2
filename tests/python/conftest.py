"""What the Python tests share: the batch runner beside the built module, and a case runner."""

import os
import subprocess

import pytest


def pytest_configure(config):
    """With KORVANE_INSTALLED (CI's virtual environment), the tests must import the installed
    package from there, not a build tree that PYTHONPATH or a korvane.pth names."""
    installed = os.environ.get("KORVANE_INSTALLED")
    if installed:
        import korvane

        where = os.path.realpath(korvane.__file__)
        if not where.startswith(os.path.realpath(installed) + os.sep):
            raise pytest.UsageError(f"korvane is imported from {where}, not from {installed}")


@pytest.fixture(scope="session")
def batch_runner():
    path = os.environ.get("KORVANE_BATCH")
    if not path or not os.access(path, os.X_OK):
        pytest.fail("KORVANE_BATCH must name the built korvane-batch (CTest sets it)")
    return path


def run_batch(batch_runner, folder, data_file, initial_tension, csv=True):
    """Runs the batch runner in folder; returns (exit status, stderr lines, result bytes, csv)."""
    command = [batch_runner, "-o", "batch.txt"]
    if data_file:
        command.insert(1, str(data_file))
    if initial_tension is not None:
        command += ["--initial-tension", initial_tension]
    if csv:
        command += ["--csv", "batch.csv"]
    done = subprocess.run(command, cwd=folder, capture_output=True, text=True, timeout=120)
    result = folder / "batch.txt"
    table = folder / "batch.csv"
    return (
        done.returncode,
        done.stderr.splitlines(),
        result.read_bytes() if result.exists() else b"",
        table.read_text() if table.exists() else None,
    )
