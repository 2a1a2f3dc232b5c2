"""Studies on this machine's threads and on a Dask cluster of a scheduler and two workers that the
test starts on 127.0.0.1 and tears down at the end."""

import itertools
import json
import os
import signal
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import korvane

# Take-up speeds with a tension that falls below zero (200) and one run refuses (a text that
# does not convert is refused before the run; 3000 steps are refused by the run).
GRID = {"take_up_speed": [200, 833, "fast", 900], 46: [30, 3000], "jacket_1_temperature": [150.0, 200]}


def assert_tables_equal(one, other):
    assert one.dtype == other.dtype
    for field in one.dtype.names:
        if one.dtype[field].kind == "f":
            np.testing.assert_array_equal(one[field], other[field], err_msg=field)
        elif field == "profile":
            for a, b in zip(one[field], other[field]):
                assert (a is None) == (b is None)
                for key in a or {}:
                    np.testing.assert_array_equal(a[key], b[key], err_msg=key)
        else:
            assert list(one[field]) == list(other[field]), field


@pytest.fixture(scope="module")
def local_table():
    return korvane.study(korvane.Case(), GRID, initial_tension=3.0, keep_profiles=True)


def test_a_grid_runs_every_combination_in_order_with_failed_cases_as_rows(local_table):
    table = local_table
    assert len(table) == 16
    # The last item varies fastest.
    assert list(table.take_up_speed[:4]) == [200.0] * 4
    assert list(table.increment_count_1[:4]) == [30.0, 30.0, 3000.0, 3000.0]
    assert list(table.jacket_1_temperature[:2]) == [150.0, 200.0]
    outcomes = list(table.outcome)
    assert outcomes[0:2] == ["TENSION_BELOW_ZERO"] * 2
    # The table holds the outcomes run() returns, which equal their names.
    succeeded = table.outcome == korvane.Outcome.SUCCESS
    assert list(np.flatnonzero(succeeded)) == [4, 5, 12, 13]
    assert (succeeded == (table.outcome == "SUCCESS")).all()
    assert table.outcome[2] == korvane.Outcome.INPUT_REFUSED and table.outcome[2] is korvane.Outcome.INPUT_REFUSED
    assert outcomes[2:4] == ["INPUT_REFUSED"] * 2  # 3000 steps
    assert outcomes[4:6] == ["SUCCESS"] * 2
    assert outcomes[8:12] == ["INPUT_REFUSED"] * 4  # "fast"
    assert np.isnan(table.take_up_speed[8])
    assert "Input value is not correct!" in table.messages[8][0]
    assert np.isnan(table.spinneret_tension[2]) and table.profile[2] is None
    assert np.isnan(table.estimated_tension_error).all()  # the classic method estimates nothing

    # Each row is the run of its case.
    case = korvane.Case()
    case.take_up_speed, case.jacket_1_temperature = 900, 200
    r = korvane.run(case, 3.0)
    row = table[13]
    assert (row.outcome, row.passes, row.spinneret_tension) == ("SUCCESS", r.passes, r.spinneret_tension)
    assert row.end_average_solvent_fraction == r.profile["average_solvent_fraction"][-1]
    assert list(row.messages) == r.messages
    np.testing.assert_array_equal(row.profile["gas_temperature"], r.profile["gas_temperature"])

    # A fixed item is studied like any other, as the batch runner sweeps it.
    fixed = korvane.study(korvane.Case(), {4: [korvane.Case().viscosity_param_1]}, initial_tension=3.0)
    assert fixed.spinneret_tension[0] == korvane.run(korvane.Case(), 3.0).spinneret_tension


def test_samples_one_thread_and_pandas_give_the_same_rows(local_table):
    rows = [0, 5, 13]
    samples = [
        {"take_up_speed": local_table.take_up_speed[i], 46: int(local_table.increment_count_1[i]),
         32: local_table.jacket_1_temperature[i]}
        for i in rows
    ]
    seen = []
    table = korvane.study(korvane.Case(), samples=samples, initial_tension=3.0, workers=1,
                          keep_profiles=True, progress=lambda done, total: seen.append((done, total)))
    assert_tables_equal(table, local_table[rows])
    assert seen == [(1, 3), (2, 3), (3, 3)]
    frame = korvane.study(korvane.Case(), samples=samples, initial_tension=3.0, as_pandas=True)
    assert list(frame.outcome) == list(table.outcome)
    assert list(frame.outcome == korvane.Outcome.SUCCESS) == list(frame.outcome == "SUCCESS")
    np.testing.assert_array_equal(frame.end_stress.to_numpy(), table.end_stress)


def test_a_grid_as_xarray_has_one_dimension_per_swept_item(local_table):
    grid = {"take_up_speed": [833, 900], "jacket_1_temperature": [150.0, 200]}
    data = korvane.study(korvane.Case(), grid, initial_tension=3.0, as_xarray=True)
    assert data["spinneret_tension"].dims == ("take_up_speed", "jacket_1_temperature")
    assert list(data["take_up_speed"].values) == [833.0, 900.0]
    assert data["take_up_speed"].attrs["units"] == "cm/s" and data["end_tension"].attrs["units"] == "dyn"
    # The same numbers as the rows of the table (rows 4, 5, 12, 13 of the local grid).
    expected = local_table.spinneret_tension[[4, 5, 12, 13]].reshape(2, 2)
    np.testing.assert_array_equal(data["spinneret_tension"].values, expected)
    assert data["outcome"].values[1, 1] == "SUCCESS"


REFUSED_STUDIES = [
    # (arguments of study(), exception, words of the message)
    ({"grid": {52: [1.0, 2.0]}}, KeyError, "52"),
    ({"grid": {"speed": [1.0]}}, KeyError, "speed"),
    ({}, ValueError, "a grid or samples"),
    # Refused before a case is made: a million cases would take gigabytes and hours.
    ({"grid": {"take_up_speed": range(1000), 32: range(1000)}}, ValueError,
     "a study runs at most 100,000 cases; this one has 1,000,000"),
    ({"samples": itertools.repeat({"take_up_speed": 900})}, ValueError, "samples has more than 100,000"),
    ({"grid": {"take_up_speed": range(5001)}, "keep_profiles": True}, ValueError,
     "at most 5,000 cases with keep_profiles=True; this one has 5,001"),
    ({"grid": {"take_up_speed": [900]}, "timeout": 0}, ValueError, "timeout is a number of seconds"),
    ({"grid": {"take_up_speed": [900]}, "timeout": "1"}, TypeError, "timeout takes a number"),
    ({"grid": {"take_up_speed": [900]}, "cancel": True}, TypeError, "cancel takes a korvane.CancelToken"),
    ({"samples": [{"take_up_speed": 900}], "as_xarray": True}, ValueError, "as_xarray takes a grid"),
    ({"grid": {"take_up_speed": [900, 900.0]}, "as_xarray": True}, ValueError, "names a value twice"),
]


@pytest.mark.parametrize("arguments, error, words", REFUSED_STUDIES)
def test_a_study_refuses_what_no_case_could_run(arguments, error, words):
    with pytest.raises(error, match=words):
        korvane.study(korvane.Case(), **arguments)


def _stop_after_the_first_rows(kind):
    """study() arguments that stop a study of many cases early, and the exception it raises."""
    token = korvane.CancelToken()
    rows = []

    def progress(done, total):
        rows.append(done)
        if kind == "cancel token" and done == 5:
            token.cancel()
        if kind == "progress raises" and done == 5:
            raise RuntimeError("enough")

    arguments = {"progress": progress}
    if kind == "timeout":
        arguments["timeout"] = 1.0
    elif kind == "cancel token":
        arguments["cancel"] = token
    elif kind == "cancel callable":
        arguments["cancel"] = lambda: len(rows) >= 5
    elif kind == "ctrl-c":
        timer = threading.Timer(1.0, os.kill, (os.getpid(), signal.SIGINT))
        timer.start()
    error = {"progress raises": RuntimeError, "ctrl-c": KeyboardInterrupt}.get(kind, korvane.StudyStopped)
    return arguments, error


@pytest.mark.parametrize("kind", ["timeout", "cancel token", "cancel callable", "progress raises", "ctrl-c"])
def test_a_stopped_study_ends_promptly_with_the_rows_it_finished(kind):
    # Twelve hundred cases take tens of seconds; each stop comes after a few of them.
    grid = {"take_up_speed": np.linspace(700, 1000, 1200)}
    arguments, error = _stop_after_the_first_rows(kind)
    with pytest.raises(error) as raised:
        korvane.study(korvane.Case(), grid, initial_tension=3.0, workers=2, **arguments)
    stopped = raised.value
    if error is korvane.StudyStopped:
        assert stopped.reason == {"timeout": "timeout"}.get(kind, "cancelled")
        assert "cases finished" in str(stopped)
    partial, finished = stopped.partial, stopped.finished
    assert 1 <= len(partial) < 1200 and len(finished) == len(partial)
    assert finished == sorted(finished)
    assert list(partial.take_up_speed) == list(grid["take_up_speed"][finished])
    assert (partial.outcome == korvane.Outcome.SUCCESS).all()  # no case cancelled midway
    case = korvane.Case()
    case.take_up_speed = partial.take_up_speed[-1]
    assert partial.spinneret_tension[-1] == korvane.run(case, 3.0).spinneret_tension


def start_cluster(folder, workers, scheduler_env=None, worker_arguments=()):
    """A scheduler and single-threaded workers without nannies on 127.0.0.1; yields the client
    and stops them all when closed."""
    # Installed with the other packages: a machine without it must fail here, not skip.
    import distributed
    scheduler_file = folder / "scheduler.json"
    processes = []
    client = None

    def start(module, *arguments, env=None):
        log = open(folder / f"{module.rsplit('.', 1)[-1]}-{len(processes)}.log", "wb")
        processes.append(subprocess.Popen(
            [sys.executable, "-m", module, *arguments], cwd=folder, env={**os.environ, **(env or {})},
            stdout=log, stderr=subprocess.STDOUT))
        log.close()

    try:
        start("distributed.cli.dask_scheduler", "--host", "127.0.0.1", "--port", "0",
              "--no-dashboard", "--scheduler-file", str(scheduler_file), env=scheduler_env)
        deadline = time.monotonic() + 60
        while not scheduler_file.exists() or not scheduler_file.read_text().strip():
            if time.monotonic() > deadline or processes[0].poll() is not None:
                pytest.fail("the Dask scheduler did not start")
            time.sleep(0.1)
        address = json.loads(scheduler_file.read_text())["address"]
        assert address.startswith("tcp://127.0.0.1:")
        for _ in range(workers):
            start("distributed.cli.dask_worker", address, "--host", "127.0.0.1", "--nthreads", "1",
                  "--no-nanny", "--no-dashboard", "--death-timeout", "60",
                  "--local-directory", str(folder), *worker_arguments)
        client = distributed.Client(address, timeout=60)
        client.wait_for_workers(workers, timeout=60)
        yield client
    finally:
        if client is not None:
            client.close()
        for process in reversed(processes):
            process.terminate()
        for process in processes:
            try:
                process.wait(20)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


@pytest.fixture(scope="module")
def cluster(tmp_path_factory):
    """A scheduler and two workers, gone when the module ends."""
    yield from start_cluster(tmp_path_factory.mktemp("dask"), 2)


# Loaded by each worker of the fragile cluster: a case with a take-up speed of 777 cm/s kills
# the worker running it, as a machine that fails or runs out of memory would.
FRAGILE_WORKER = """
import os
import korvane._study as study

# The worker may load this more than once.
_run_one = getattr(study, "_run_one_itself", study._run_one)


def _run_one_or_die(case, *arguments, **options):
    if case.take_up_speed == 777:
        os._exit(1)
    return _run_one(case, *arguments, **options)


study._run_one_itself = _run_one
study._run_one = _run_one_or_die
"""


@pytest.fixture(scope="module")
def fragile_cluster(tmp_path_factory):
    """Two workers that die on a marked case; the scheduler gives a task up after the first
    worker it took down, not the fourth."""
    folder = tmp_path_factory.mktemp("fragile")
    (folder / "fragile_worker.py").write_text(FRAGILE_WORKER)
    yield from start_cluster(folder, 2, {"DASK_DISTRIBUTED__SCHEDULER__ALLOWED_FAILURES": "0"},
                             ["--preload", str(folder / "fragile_worker.py")])


def test_a_case_whose_worker_died_is_lost_and_a_cluster_without_workers_ends_the_study(fragile_cluster):
    grid = {"take_up_speed": [833, 777, 900]}
    table = korvane.study(korvane.Case(), grid, initial_tension=3.0, client=fragile_cluster,
                          chunk_size=1)
    assert list(table.outcome) == ["SUCCESS", "WORKER_LOST", "SUCCESS"]
    assert "worker" in table.messages[1][0] and "died" in table.messages[1][0]

    # The last worker dies; then no worker is left to run a case, and the study ends after its
    # wait for one instead of waiting for ever.
    assert len(fragile_cluster.nthreads()) == 1
    table = korvane.study(korvane.Case(), {"take_up_speed": [777]}, initial_tension=3.0,
                          client=fragile_cluster)
    assert list(table.outcome) == ["WORKER_LOST"]
    started = time.monotonic()
    with pytest.raises(korvane.StudyStopped, match="no worker for 2 s") as raised:
        korvane.study(korvane.Case(), {"take_up_speed": [833, 900]}, initial_tension=3.0,
                      client=fragile_cluster, worker_timeout=2)
    assert time.monotonic() - started < 30
    assert raised.value.reason == "no workers" and len(raised.value.partial) == 0


def test_a_study_on_the_cluster_equals_the_local_one(cluster, local_table):
    assert len(cluster.scheduler_info()["workers"]) == 2
    seen = []
    table = korvane.study(korvane.Case(), GRID, initial_tension=3.0, keep_profiles=True,
                          client=cluster, progress=lambda done, total: seen.append(done))
    assert_tables_equal(table, local_table)
    assert seen == list(range(1, 13))  # the four refused before the run never leave
    # Several cases to a task come back in the order of the cases.
    table = korvane.study(korvane.Case(), GRID, initial_tension=3.0, keep_profiles=True,
                          client=cluster, chunk_size=5)
    assert_tables_equal(table, local_table)


def test_a_converged_study_on_the_cluster_equals_the_local_one(cluster):
    grid = {"take_up_speed": [833, "fast", 900]}
    options = dict(initial_tension=3.0, method="converged", tolerance=1e-3, radial_intervals=10)
    local = korvane.study(korvane.Case(), grid, **options)
    assert list(local.outcome) == ["SUCCESS", "INPUT_REFUSED", "SUCCESS"]
    r = korvane.run(korvane.Case(), 3.0, "converged", tolerance=1e-3, radial_intervals=10)
    assert (local.spinneret_tension[0], local.estimated_tension_error[0]) == (
        r.spinneret_tension, r.converged.estimated_tension_error)
    assert local.estimated_tension_error[2] > 0 and np.isnan(local.estimated_tension_error[1])
    assert_tables_equal(korvane.study(korvane.Case(), grid, client=cluster, **options), local)
