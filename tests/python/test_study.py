"""Studies on this machine's threads and on a Dask cluster of a scheduler and two workers that the
test starts on 127.0.0.1 and tears down at the end."""

import json
import os
import subprocess
import sys
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


def test_a_study_refuses_what_no_case_could_run():
    with pytest.raises(korvane.InputError, match="is fixed"):
        korvane.study(korvane.Case(), {4: [1.0, 2.0]})
    with pytest.raises(KeyError):
        korvane.study(korvane.Case(), {"speed": [1.0]})
    with pytest.raises(ValueError, match="a grid or samples"):
        korvane.study(korvane.Case())


@pytest.fixture(scope="module")
def cluster(tmp_path_factory):
    """A scheduler and two single-threaded workers on 127.0.0.1, gone when the module ends."""
    # Installed with the other packages: a machine without it must fail here, not skip.
    import distributed
    folder = tmp_path_factory.mktemp("dask")
    scheduler_file = folder / "scheduler.json"
    processes = []
    client = None

    def start(module, *arguments):
        log = open(folder / f"{module.rsplit('.', 1)[-1]}-{len(processes)}.log", "wb")
        processes.append(subprocess.Popen(
            [sys.executable, "-m", module, *arguments], cwd=folder, env=dict(os.environ),
            stdout=log, stderr=subprocess.STDOUT))
        log.close()

    try:
        start("distributed.cli.dask_scheduler", "--host", "127.0.0.1", "--port", "0",
              "--no-dashboard", "--scheduler-file", str(scheduler_file))
        deadline = time.monotonic() + 60
        while not scheduler_file.exists() or not scheduler_file.read_text().strip():
            if time.monotonic() > deadline or processes[0].poll() is not None:
                pytest.fail("the Dask scheduler did not start")
            time.sleep(0.1)
        address = json.loads(scheduler_file.read_text())["address"]
        assert address.startswith("tcp://127.0.0.1:")
        for _ in range(2):
            start("distributed.cli.dask_worker", address, "--host", "127.0.0.1", "--nthreads", "1",
                  "--no-nanny", "--no-dashboard", "--death-timeout", "60",
                  "--local-directory", str(folder))
        client = distributed.Client(address, timeout=60)
        client.wait_for_workers(2, timeout=60)
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
