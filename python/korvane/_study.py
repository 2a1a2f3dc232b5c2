"""Studies: many runs of one case with some items changed, on this machine's cores or on the
workers of a Dask cluster, gathered into one table in the order of the cases."""

from __future__ import annotations

import itertools
import math
import os
import sys
import time
from collections.abc import Callable, Iterable, Mapping, Sequence
from concurrent.futures import FIRST_COMPLETED, ThreadPoolExecutor, wait

import numpy as np

from . import _korvane
from ._outcome import Outcome

_END_COLUMNS = [name for name, _, _ in _korvane.profile_columns()]
_ITEMS = {item["name"]: item for item in _korvane.items()}
_ITEMS_BY_NUMBER = {item["number"]: item for item in _korvane.items()}

# The most cases one study runs. The table of a study with 100,000 cases takes about 40 MB; a
# profile about 27 kB for the default grid and up to 0.5 MB for the finest, hence the lower limit
# with keep_profiles=True. Split a larger study into several.
MAX_CASES = 100_000
MAX_CASES_WITH_PROFILES = 5_000

_POLL_SECONDS = 0.05  # how often a running study looks at its timeout, cancel and cluster
_WORKER_CHECK_SECONDS = 1.0  # how often a study on a cluster asks for its workers
_GATHER_SECONDS = 5.0  # the longest wait for the rows of a finished task


class StudyStopped(RuntimeError):
    """A study stopped before its last case.

    Attributes:
        reason: "timeout" (its timeout passed), "cancelled" (its cancel token or callable said
            so) or "no workers" (its Dask cluster had no worker for worker_timeout seconds).
        partial: the table of the cases that finished, in the order of the cases (a DataFrame
            when the study was asked for one).
        finished: the indices of those cases among all the study's cases.

    KeyboardInterrupt, and an exception raised by the progress callback, stop a study too; they
    are raised with the same partial and finished attributes.
    """

    def __init__(self, message: str, reason: str, partial=None, finished=()):
        super().__init__(message)
        self.reason = reason
        self.partial = partial
        self.finished = list(finished)


class _Stop(Exception):
    """Stops the runner loops; study() turns it into StudyStopped."""

    def __init__(self, reason: str, message: str):
        super().__init__(message)
        self.reason = reason


def _item_name(key) -> str:
    """The script name of an item given by name or number (fixed items too, as in a sweep)."""
    if isinstance(key, str):
        item = _ITEMS.get(key)
    elif isinstance(key, int) and not isinstance(key, bool):
        item = _ITEMS_BY_NUMBER.get(key)
    else:
        item = None
    if item is None:
        raise KeyError(f"no input item is named or numbered {key!r}")
    return item["name"]


def _bounded(values, limit: int, what: str) -> tuple[int, Iterable]:
    """The number of values and the values, refused past the limit without reading further."""
    try:
        return len(values), values
    except TypeError:  # an iterator: read one more than the limit at most
        values = list(itertools.islice(values, limit + 1))
        if len(values) > limit:
            raise ValueError(f"{what} has more than {limit:,} values") from None
        return len(values), values


def _refuse_count(count: int, keep_profiles: bool) -> None:
    limit = MAX_CASES_WITH_PROFILES if keep_profiles else MAX_CASES
    if count > limit:
        kept = " with keep_profiles=True" if keep_profiles else ""
        raise ValueError(
            f"a study runs at most {limit:,} cases{kept}; this one has {count:,}: split it into "
            "several studies")


def _plan(grid, samples, keep_profiles):
    """The studied item names, the number of cases and a function giving the {name: value} of
    every case in their order, lazily; a study with too many cases is refused here."""
    if (grid is None) == (samples is None):
        raise ValueError("a study takes a grid or samples (a list of dicts), one of them")
    limit = MAX_CASES_WITH_PROFILES if keep_profiles else MAX_CASES
    if grid is not None:
        names = [_item_name(key) for key in grid]
        if len(set(names)) != len(names):
            raise ValueError("an item appears twice in the grid")
        axes = []
        for name, key in zip(names, grid):
            size, values = _bounded(grid[key], limit, f"the grid's {name}")
            axes.append((size, values))
        _refuse_count(math.prod(size for size, _ in axes), keep_profiles)
        axes = [list(values) for _, values in axes]
        count = math.prod(len(values) for values in axes)

        def combinations():
            return (dict(zip(names, c)) for c in itertools.product(*axes))

        combinations.axes = axes
        return names, count, combinations
    count, samples = _bounded(samples, limit, "samples")
    _refuse_count(count, keep_profiles)
    names: list[str] = []
    for sample in samples:
        for key in sample:
            name = _item_name(key)
            if name not in names:
                names.append(name)

    def settings():
        for sample in samples:
            yield {_item_name(key): value for key, value in sample.items()}

    return names, count, settings


def _failed_row(outcome, messages) -> dict:
    return {
        "outcome": int(outcome),
        "passes": 0,
        "spinneret_tension": None,
        "estimated_tension_error": None,
        "end_values": {},
        "messages": tuple(messages),
        "profile": None,
        "cancelled": False,
    }


def _run_one(case, initial_tension, options, keep_profile, cancel=None) -> dict:
    """One case of a study, as a row; a failed case is a row too (this runs on the workers).
    options: the method and its options, as korvane._method_options gives them. cancel: the
    study's CancelToken on this machine (None on a cluster)."""
    from . import run  # the package, imported on the worker

    try:
        result = run(case, initial_tension, **options, keep_profile=keep_profile, cancel=cancel)
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
        "cancelled": result.cancelled,
    }


def _report(progress, done, total):
    if callable(progress):
        progress(done, total)
    elif progress:
        print(f"\rkorvane study: {done}/{total} cases", end="\n" if done == total else "",
              file=sys.stderr, flush=True)


class _Watch:
    """The study's timeout and cancel, and the token that cancels its runs on this machine."""

    def __init__(self, timeout, cancel):
        self.timeout = timeout
        self.deadline = None if timeout is None else time.monotonic() + timeout
        self.cancel = cancel
        self.token = _korvane.CancelToken()

    def check(self):
        if self.cancel is not None:
            asked = self.cancel.cancelled if isinstance(self.cancel, _korvane.CancelToken) else self.cancel()
            if asked:
                raise _Stop("cancelled", "the study was cancelled")
        if self.deadline is not None and time.monotonic() >= self.deadline:
            raise _Stop("timeout", f"the study reached its timeout of {self.timeout:g} s")


class _Table:
    """The study's table, filled row by row as the cases finish."""

    def __init__(self, names, count, keep_profiles):
        fields = [(name, "f8") for name in names]
        fields += [("outcome", "O"), ("passes", "i4"), ("spinneret_tension", "f8")]
        fields += [("estimated_tension_error", "f8")]
        fields += [(f"end_{column}", "f8") for column in _END_COLUMNS]
        fields += [("messages", "O")]
        if keep_profiles:
            fields += [("profile", "O")]
        self.names = names
        self.keep_profiles = keep_profiles
        self.table = np.zeros(count, dtype=fields)
        self.filled = np.zeros(count, dtype=bool)

    def fill(self, index, setting, row):
        from . import Profile

        table = self.table
        for name in self.names:
            table[name][index] = _input_value(setting.get(name, float("nan")))
        table["outcome"][index] = Outcome(row["outcome"])
        table["passes"][index] = row["passes"]
        tension = row["spinneret_tension"]
        table["spinneret_tension"][index] = np.nan if tension is None else tension
        error = row["estimated_tension_error"]
        table["estimated_tension_error"][index] = np.nan if error is None else error
        for column in _END_COLUMNS:
            table[f"end_{column}"][index] = row["end_values"].get(column, np.nan)
        table["messages"][index] = tuple(row["messages"])
        if self.keep_profiles:
            profile = row["profile"]
            table["profile"][index] = Profile(profile) if profile is not None else None
        self.filled[index] = True

    def finished(self) -> list[int]:
        return [int(index) for index in np.flatnonzero(self.filled)]

    def result(self, as_pandas, rows=None):
        table = self.table if rows is None else self.table[rows]
        if as_pandas == "xarray":
            return self.dataset(table)
        if as_pandas:
            import pandas

            return pandas.DataFrame.from_records(table)
        return table.view(np.recarray)

    def dataset(self, table):
        """The rows of a grid as an xarray Dataset with one dimension per swept item (the cases
        not in the rows are NaN), every variable with its unit in attrs["units"]."""
        import pandas

        from ._case import items

        frame = pandas.DataFrame.from_records(table).set_index(self.names)
        frame["outcome"] = frame["outcome"].map(str)  # a plain text a netCDF file can hold
        dataset = frame.to_xarray()
        units = {row["name"]: row["unit"] for row in items()}
        units.update({f"end_{name}": unit for name, _, unit in _korvane.profile_columns()})
        units.update({"spinneret_tension": "dyn", "estimated_tension_error": "dyn", "passes": "-"})
        for name in list(dataset.variables):
            if name in units:
                dataset[name].attrs["units"] = units[name]
        return dataset


def _run_local(cases, total, table, workers, progress, watch) -> None:
    """Runs the cases on threads of this machine, a few more queued than there are threads."""
    workers = max(1, workers or os.cpu_count() or 1)
    pool = ThreadPoolExecutor(max_workers=workers)
    pending = {}  # future: (index, setting)
    done = 0
    try:
        for index, setting, task in cases:
            while len(pending) >= 2 * workers:
                done = _collect_local(pending, table, done, total, progress, watch)
            pending[pool.submit(_run_one, *task, watch.token)] = (index, setting)
        while pending:
            done = _collect_local(pending, table, done, total, progress, watch)
    except BaseException:
        # The runs in progress end after their pass; the cases not begun never start. A case
        # that finished before the stop keeps its row.
        watch.token.cancel()
        for future in pending:
            future.cancel()
        pool.shutdown(wait=True)
        for future, (index, setting) in pending.items():
            if future.done() and not future.cancelled() and future.exception() is None:
                row = future.result()
                if not row["cancelled"]:
                    table.fill(index, setting, row)
        raise
    pool.shutdown(wait=True)


def _collect_local(pending, table, done, total, progress, watch) -> int:
    finished, _ = wait(pending, timeout=_POLL_SECONDS, return_when=FIRST_COMPLETED)
    for future in finished:
        index, setting = pending.pop(future)
        table.fill(index, setting, future.result())
        done += 1
        _report(progress, done, total)
    watch.check()
    return done


def _run_chunk(tasks) -> list:
    """Several cases in one Dask task, so that the scheduler's cost is shared among them."""
    return [_run_one(*task) for task in tasks]


def _lost_rows(future, count) -> list:
    """The rows of a task that failed as a whole: its worker died, korvane is missing there..."""
    try:
        error = future.exception()
        message = f"{type(error).__name__}: {error}"
    except Exception as failure:  # noqa: BLE001
        error = failure
        message = f"{type(failure).__name__}: {failure}"
    try:
        from distributed.scheduler import KilledWorker
    except ImportError:  # pragma: no cover - other versions of distributed
        KilledWorker = ()
    lost = isinstance(error, KilledWorker) or type(error).__name__ == "KilledWorker"
    if lost:
        message = f"the Dask worker running this case died ({message})"
    return [_failed_row(Outcome.WORKER_LOST if lost else Outcome.CALCULATION_FAILED, [message])] * count


def _rows_of(future, count, timeout=_GATHER_SECONDS):
    """The rows of a task that has ended; None when they cannot be fetched now (the worker that
    held them died, and the scheduler runs the task again)."""
    if future.status != "finished":
        return _lost_rows(future, count)
    try:
        return future.result(timeout=timeout)
    except Exception:  # noqa: BLE001 - a timeout, or the rows lost with their worker
        return None


class _Workers:
    """Tells when the cluster has had no worker for longer than the study waits for one."""

    def __init__(self, client, timeout):
        self.client = client
        self.timeout = timeout
        self.next_check = 0.0
        self.none_since = None

    def check(self):
        now = time.monotonic()
        if now < self.next_check:
            return
        self.next_check = now + _WORKER_CHECK_SECONDS
        try:
            count = len(self.client.nthreads())
        except Exception:  # noqa: BLE001 - a scheduler that does not answer has no workers either
            count = 0
        if count:
            self.none_since = None
            return
        self.none_since = self.none_since or now
        if now - self.none_since >= self.timeout:
            raise _Stop("no workers", f"the Dask cluster has had no worker for {self.timeout:g} s "
                        "(its last worker died, or none joined)")


def _run_dask(cases, total, table, client, progress, chunk_size, watch, worker_timeout) -> None:
    """Runs the cases on the cluster's workers, chunk_size cases to a task, a few tasks per
    worker at a time."""
    workers = max(1, len(client.scheduler_info().get("workers", {})))
    if chunk_size is None:
        # About eight tasks per worker: few enough to keep the scheduler's share small, enough
        # to balance the load and to show progress.
        chunk_size = max(1, total // (8 * workers))
    in_flight = 4 * workers
    alive = _Workers(client, worker_timeout)
    pending = {}  # future: [(index, setting), ...]
    done = 0
    cases = iter(cases)
    try:
        while True:
            while len(pending) < in_flight:
                chunk = list(itertools.islice(cases, chunk_size))
                if not chunk:
                    break
                future = client.submit(_run_chunk, [task for _, _, task in chunk], pure=False)
                pending[future] = [(index, setting) for index, setting, _ in chunk]
            if not pending:
                return
            finished = []
            for future in [future for future in pending if future.done()]:
                rows = _rows_of(future, len(pending[future]))
                if rows is None:  # its rows went with their worker: the task runs again
                    continue
                finished.append(future)
                where = pending.pop(future)
                for (index, setting), row in zip(where, rows):
                    table.fill(index, setting, row)
                done += len(where)
                _report(progress, done, total)
            if finished:
                in_flight = 4 * max(1, len(client.scheduler_info().get("workers", {})))
            else:
                time.sleep(_POLL_SECONDS)
            watch.check()
            alive.check()
    except BaseException:
        for future, where in pending.items():
            rows = _rows_of(future, len(where), 0.5) if future.status == "finished" else None
            for (index, setting), row in zip(where, rows or ()):
                table.fill(index, setting, row)
        try:
            client.cancel(list(pending))
        except Exception:  # noqa: BLE001 - a cluster that is gone has nothing left to cancel
            pass
        raise


def _input_value(value) -> float:
    """The studied value as a number for the table (NaN when it is not one)."""
    try:
        return float(value)
    except (TypeError, ValueError):
        return float("nan")


def _seconds(name, value, default=None):
    if value is None:
        return default
    if isinstance(value, (bool, str, bytes)) or not hasattr(value, "__float__"):
        raise TypeError(f"{name} takes a number of seconds, not {value!r}")
    seconds = float(value)
    if not (seconds > 0 and math.isfinite(seconds)):
        raise ValueError(f"{name} is a number of seconds above zero, not {value!r}")
    return seconds


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
    as_xarray: bool = False,
    timeout: float | None = None,
    cancel: _korvane.CancelToken | Callable[[], bool] | None = None,
    worker_timeout: float = 30.0,
):
    """Runs a case once for every combination of the grid's values (or once per sample).

    grid: {item name or number: values}; every combination runs, the last item varying fastest.
    samples: instead of a grid, a list of {item: value} (e.g. a Latin hypercube drawn by you).
    A study runs at most korvane.MAX_CASES cases (100,000), korvane.MAX_CASES_WITH_PROFILES
    (5,000) with keep_profiles=True; a larger one raises ValueError naming its count before any
    case runs. The cases are made as they are run, a few ahead of the threads or workers.
    client: a dask.distributed.Client; the cases run on its workers (which must be able to
    import korvane), with the same results in the same order as on this machine, chunk_size cases
    to a task (default: about eight tasks per worker). Without it the cases run on `workers`
    threads (default: the machine's cores).
    initial_tension: dyn; None takes the case's own (case.initial_tension, 3.0 by default).
    method, tolerance, radial_intervals, take_up_tension: as for korvane.run, the same for every
    case; a value run() would refuse raises here, before any case runs.
    progress: a callable progress(done, total), or True for a counter on standard error.

    Stopping a study: timeout (seconds for the whole study) and cancel (a korvane.CancelToken,
    or a callable that returns True to stop) are looked at every 50 ms; the study then raises
    korvane.StudyStopped. Ctrl-C (KeyboardInterrupt) and an exception raised by the progress
    callback stop it as promptly and are raised again. Every one of them carries the rows of
    the cases that finished: error.partial (a table like the one returned, of those rows only,
    in the order of the cases) and error.finished (their indices among the cases). The runs in
    progress on this machine end after their current pass; on a cluster the remaining tasks
    are cancelled.
    worker_timeout: seconds a study on a cluster waits while the cluster has no worker (its
    last worker died, or none has joined) before it raises StudyStopped (reason "no workers").
    A case whose worker died while it ran has the outcome WORKER_LOST.

    as_xarray=True (a grid only): the table as an xarray Dataset with one dimension per swept
    item, in the grid's order, and every variable's unit in attrs["units"].

    Returns a numpy record array (a pandas DataFrame with as_pandas=True), one row per case:
    the studied items, outcome (a korvane.Outcome, which equals its name: table.outcome ==
    "SUCCESS" and table.outcome == korvane.Outcome.SUCCESS both select the successful cases),
    passes, spinneret_tension (dyn), estimated_tension_error (dyn; the converged method's
    estimate of the error of spinneret_tension, NaN for the classic method and without an
    answer), end_<column> for every profile column at the last printed point (NaN without
    results), messages (a tuple of texts) and, with keep_profiles=True, profile (a dict of
    arrays, None without results). A failed case is a row with its outcome.
    """
    from . import FrozenCase, _method_options

    if isinstance(case, FrozenCase):
        case = case.thaw()
    if not isinstance(case, _korvane.Case):
        raise TypeError(f"study takes a korvane.Case, not {type(case).__name__}")
    options = _method_options(method, tolerance, radial_intervals, take_up_tension)
    watch = _Watch(_seconds("timeout", timeout), cancel)
    worker_timeout = _seconds("worker_timeout", worker_timeout)
    if cancel is not None and not (isinstance(cancel, _korvane.CancelToken) or callable(cancel)):
        raise TypeError(f"cancel takes a korvane.CancelToken or a callable, not {cancel!r}")
    names, count, settings = _plan(grid, samples, keep_profiles)
    if as_xarray:
        if grid is None:
            raise ValueError("as_xarray takes a grid: samples have no dimensions")
        for name, values in zip(names, settings.axes):
            values = [_input_value(value) for value in values]
            if len(set(values)) != len(values):
                raise ValueError(f"as_xarray: the grid's {name} names a value twice")
        as_pandas = "xarray"

    # A value no case can take is refused before anything runs; its case is a row at once.
    table = _Table(names, count, keep_profiles)
    scratch = case.copy()
    refused = 0
    for index, setting in enumerate(settings()):
        try:
            for name, value in setting.items():
                scratch[name] = value
        except (_korvane.InputError, TypeError) as error:
            table.fill(index, setting, _failed_row(Outcome.INPUT_REFUSED, [str(error)]))
            refused += 1
    total = count - refused
    if method == "converged" and total:
        _korvane._check_method(method)

    def cases():
        for index, setting in enumerate(settings()):
            if table.filled[index]:
                continue
            prepared = case.copy()
            for name, value in setting.items():
                prepared[name] = value
            yield index, setting, (prepared, initial_tension, options, keep_profiles)

    try:
        if client is not None:
            _run_dask(cases(), total, table, client, progress, chunk_size, watch, worker_timeout)
        else:
            _run_local(cases(), total, table, workers, progress, watch)
    except _Stop as stop:
        finished = table.finished()
        message = f"{stop}; {len(finished) - refused} of {total} cases finished"
        raise StudyStopped(message, stop.reason, table.result(as_pandas, finished), finished) from None
    except BaseException as error:
        finished = table.finished()
        try:
            error.partial = table.result(as_pandas, finished)
            error.finished = finished
        except AttributeError:  # an exception that takes no attributes
            pass
        raise
    return table.result(as_pandas)
