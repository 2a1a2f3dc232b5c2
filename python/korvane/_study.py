"""Studies: many runs of one case with some items changed, on this machine's cores or on the
workers of a Dask cluster, gathered into one table in the order of the cases."""

from __future__ import annotations

import itertools
import os
import sys
from collections.abc import Callable, Iterable, Mapping, Sequence
from concurrent.futures import ThreadPoolExecutor

import numpy as np

from . import _korvane
from ._outcome import Outcome

_END_COLUMNS = [name for name, _, _ in _korvane.profile_columns()]
_ITEMS = {item["name"]: item for item in _korvane.items()}
_ITEMS_BY_NUMBER = {item["number"]: item for item in _korvane.items()}


def _item_name(key) -> str:
    """The script name of an item given by name or number; fixed items cannot be studied."""
    if isinstance(key, str):
        item = _ITEMS.get(key)
    elif isinstance(key, int) and not isinstance(key, bool):
        item = _ITEMS_BY_NUMBER.get(key)
    else:
        item = None
    if item is None:
        raise KeyError(f"no input item is named or numbered {key!r}")
    if item["fixed"]:
        error = _korvane.InputError(f'"{item["label"]}" is fixed and cannot be changed')
        error.item, error.name = item["number"], item["name"]
        raise error
    return item["name"]


def _settings(grid, samples) -> tuple[list[str], list[dict]]:
    """The studied item names and one {name: value} per case, in the order of the cases."""
    if (grid is None) == (samples is None):
        raise ValueError("a study takes a grid or samples (a list of dicts), one of them")
    if grid is not None:
        names = [_item_name(key) for key in grid]
        if len(set(names)) != len(names):
            raise ValueError("an item appears twice in the grid")
        values = [list(grid[key]) for key in grid]
        return names, [dict(zip(names, combination)) for combination in itertools.product(*values)]
    names: list[str] = []
    cases = []
    for sample in samples:
        case = {}
        for key, value in sample.items():
            name = _item_name(key)
            if name not in names:
                names.append(name)
            case[name] = value
        cases.append(case)
    return names, cases


def _failed_row(outcome, messages) -> dict:
    return {
        "outcome": int(outcome),
        "passes": 0,
        "spinneret_tension": None,
        "estimated_tension_error": None,
        "end_values": {},
        "messages": tuple(messages),
        "profile": None,
    }


def _run_one(case, initial_tension, options, keep_profile) -> dict:
    """One case of a study, as a row; a failed case is a row too (this runs on the workers).
    options: the method and its options, as korvane._method_options gives them."""
    from . import run  # the package, imported on the worker

    try:
        result = run(case, initial_tension, **options, keep_profile=keep_profile)
    except _korvane.InputError as error:
        result = getattr(error, "result", None)
        if result is None:
            return _failed_row(Outcome.INPUT_REFUSED, [str(error)])
        return _failed_row(Outcome.INPUT_REFUSED, result.messages + [str(error)])
    except Exception as error:  # noqa: BLE001 - a study reports a failed case in its row
        return _failed_row(Outcome.CALCULATION_FAILED, [f"{type(error).__name__}: {error}"])
    return {
        "outcome": int(result.outcome),
        "passes": result.passes,
        "spinneret_tension": result.spinneret_tension,
        "estimated_tension_error": (
            result.converged.estimated_tension_error if result.converged is not None else None
        ),
        "end_values": result.end_values,
        "messages": tuple(result.messages),
        "profile": dict(result.profile) if result.profile is not None else None,
    }


def _report(progress, done, total):
    if callable(progress):
        progress(done, total)
    elif progress:
        print(f"\rkorvane study: {done}/{total} cases", end="\n" if done == total else "",
              file=sys.stderr, flush=True)


def _run_local(tasks, workers, progress) -> list:
    rows: list = [None] * len(tasks)
    done = 0
    workers = max(1, workers or os.cpu_count() or 1)
    with ThreadPoolExecutor(max_workers=min(workers, max(1, len(tasks)))) as pool:
        futures = {pool.submit(_run_one, *task): index for index, task in enumerate(tasks)}
        from concurrent.futures import as_completed

        for future in as_completed(futures):
            rows[futures[future]] = future.result()
            done += 1
            _report(progress, done, len(tasks))
    return rows


def _run_chunk(tasks) -> list:
    """Several cases in one Dask task, so that the scheduler's cost is shared among them."""
    return [_run_one(*task) for task in tasks]


def _run_dask(tasks, client, progress, chunk_size) -> list:
    import distributed

    if not tasks:
        return []
    if chunk_size is None:
        # About eight tasks per worker: few enough to keep the scheduler's share small, enough
        # to balance the load and to show progress.
        workers = max(1, len(client.scheduler_info().get("workers", {})))
        chunk_size = max(1, len(tasks) // (8 * workers))
    chunks = [tasks[start : start + chunk_size] for start in range(0, len(tasks), chunk_size)]
    futures = client.map(_run_chunk, chunks, pure=False)
    if progress is True:
        distributed.progress(futures)
        distributed.wait(futures)
    else:
        done = 0
        for future in distributed.as_completed(futures):
            done += len(chunks[futures.index(future)])
            _report(progress, done, len(tasks))
    rows = []
    for chunk, future in zip(chunks, futures):
        if future.status == "finished":
            rows.extend(future.result())
            continue
        # The task itself failed: a worker died, korvane is missing there, ...
        try:
            error = future.exception()
            message = f"{type(error).__name__}: {error}"
        except Exception as failure:  # noqa: BLE001
            message = f"{type(failure).__name__}: {failure}"
        rows.extend(_failed_row(Outcome.CALCULATION_FAILED, [message]) for _ in chunk)
    return rows


def _input_value(name, value) -> float:
    """The studied value as a number for the table (NaN when it is not one)."""
    try:
        return float(value)
    except (TypeError, ValueError):
        return float("nan")


def study(
    case: _korvane.Case,
    grid: Mapping[str | int, Iterable] | None = None,
    *,
    samples: Sequence[Mapping[str | int, object]] | None = None,
    initial_tension: float | str | None = None,
    method: str = "classic",
    tolerance: float = 1e-4,
    radial_intervals: int | None = None,
    take_up_tension: float | None = None,
    client=None,
    workers: int | None = None,
    chunk_size: int | None = None,
    keep_profiles: bool = False,
    progress: bool | Callable[[int, int], None] = False,
    as_pandas: bool = False,
):
    """Runs a case once for every combination of the grid's values (or once per sample).

    grid: {item name or number: values}; every combination runs, the last item varying fastest.
    samples: instead of a grid, a list of {item: value} (e.g. a Latin hypercube drawn by you).
    client: a dask.distributed.Client; the cases run on its workers (which must be able to
    import korvane), with the same results in the same order as on this machine, chunk_size cases
    to a task (default: about eight tasks per worker). Without it the cases run on `workers`
    threads (default: the machine's cores).
    initial_tension: dyn; None takes the initial tension file's value (3.0 without it), read
    here once, so that every worker starts from the same tension.
    method, tolerance, radial_intervals, take_up_tension: as for korvane.run, the same for every
    case; a value run() would refuse raises here, before any case runs.
    progress: a callable progress(done, total), or True for Dask's progress bar (a counter on
    standard error when local).

    Returns a numpy record array (a pandas DataFrame with as_pandas=True), one row per case:
    the studied items, outcome (a korvane.Outcome, which equals its name), passes, spinneret_tension
    (dyn), estimated_tension_error (dyn; the converged method's estimate of the error of
    spinneret_tension, NaN for the classic method and without an answer), end_<column> for
    every profile column at the last printed point (NaN without results), messages (a tuple of texts) and, with keep_profiles=True, profile (a dict of
    arrays, None without results). A failed case is a row with its outcome.
    """
    from . import _method_options

    options = _method_options(method, tolerance, radial_intervals, take_up_tension)
    names, settings = _settings(grid, samples)
    if initial_tension is None:
        initial_tension = _korvane._default_initial_tension()
    tasks = []
    refused: dict[int, dict] = {}
    for index, setting in enumerate(settings):
        prepared = case.copy()
        try:
            for name, value in setting.items():
                prepared[name] = value
        except (_korvane.InputError, TypeError) as error:
            refused[index] = _failed_row(Outcome.INPUT_REFUSED, [str(error)])
            continue
        tasks.append((prepared, initial_tension, options, keep_profiles))
    if method == "converged" and tasks:
        _korvane._check_method(method)

    if client is not None:
        computed = _run_dask(tasks, client, progress, chunk_size)
    else:
        computed = _run_local(tasks, workers, progress)
    results = iter(computed)
    rows = [refused[index] if index in refused else next(results) for index in range(len(settings))]
    return _table(names, settings, rows, keep_profiles, as_pandas)


def _table(names, settings, rows, keep_profiles, as_pandas):
    from . import Profile

    fields = [(name, "f8") for name in names]
    fields += [("outcome", "O"), ("passes", "i4"), ("spinneret_tension", "f8")]
    fields += [("estimated_tension_error", "f8")]
    fields += [(f"end_{column}", "f8") for column in _END_COLUMNS]
    fields += [("messages", "O")]
    if keep_profiles:
        fields += [("profile", "O")]
    table = np.zeros(len(rows), dtype=fields)
    for index, (setting, row) in enumerate(zip(settings, rows)):
        for name in names:
            table[name][index] = _input_value(name, setting.get(name, float("nan")))
        table["outcome"][index] = Outcome(row["outcome"])
        table["passes"][index] = row["passes"]
        tension = row["spinneret_tension"]
        table["spinneret_tension"][index] = np.nan if tension is None else tension
        error = row["estimated_tension_error"]
        table["estimated_tension_error"][index] = np.nan if error is None else error
        for column in _END_COLUMNS:
            table[f"end_{column}"][index] = row["end_values"].get(column, np.nan)
        table["messages"][index] = tuple(row["messages"])
        if keep_profiles:
            profile = row["profile"]
            table["profile"][index] = Profile(profile) if profile is not None else None
    if as_pandas:
        import pandas

        return pandas.DataFrame.from_records(table)
    return table.view(np.recarray)
