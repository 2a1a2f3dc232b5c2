"""Korvane from Python: dry-spinning cases, runs and studies.

    import korvane
    case = korvane.Case.default()        # or korvane.Case.load("case.txt")
    case.take_up_speed = 900.0           # every input item by its name ...
    case[30] = 900.0                     # ... or by its number
    r = korvane.run(case, initial_tension=3.0)
    r.outcome, r.passes, r.spinneret_tension, r.profile["gas_temperature"]
    r.write_result_file("out.txt")
    c = korvane.run(case, method="converged", tolerance=1e-4)
    c.spinneret_tension, c.converged.estimated_tension_error

Units are those of the window and the result file: cm, g, s, degC, cal, mol, dyn; the profile
columns are in the units of the CSV export (korvane.profile_columns() lists them).
"""

from __future__ import annotations

import math
import operator
import os
from collections.abc import Mapping
from dataclasses import dataclass

import numpy as np

from ._korvane import (
    Case,
    CancelToken,
    InputError,
    Outcome,
    _converged_tolerance_range,
    _radial_interval_range,
    _run_case,
    items,
    profile_columns,
)

__all__ = [
    "Case",
    "CancelToken",
    "ConvergedReport",
    "InputError",
    "Outcome",
    "Profile",
    "Result",
    "items",
    "profile_columns",
    "run",
    "study",
]

_COLUMNS = profile_columns()
_UNITS = {name: unit for name, _, unit in _COLUMNS}
_LABELS = {name: label for name, label, _ in _COLUMNS}
_ITEM_LABELS = {item["name"]: item["label"] for item in items()}
_RADIAL = [name for name, _, _ in _COLUMNS if name.startswith("radial_solvent_fraction_")]


class Profile(Mapping):
    """The spinning line of a run: one numpy array per column, one value per printed point.

    Keys are the column names of korvane.profile_columns(), in the CSV's order and units
    (units[name]). A value a point does not have (the last point has no step leaving it) is NaN.
    """

    def __init__(self, columns: Mapping[str, np.ndarray]):
        self._columns = dict(columns)

    def __getitem__(self, name: str) -> np.ndarray:
        return self._columns[name]

    def __iter__(self):
        return iter(self._columns)

    def __len__(self) -> int:
        return len(self._columns)

    def __repr__(self) -> str:
        return f"<korvane.Profile: {self.point_count} points, {len(self)} columns>"

    @property
    def point_count(self) -> int:
        """Number of points (rows)."""
        return len(next(iter(self._columns.values()))) if self._columns else 0

    @property
    def units(self) -> dict[str, str]:
        """Unit of every column, e.g. units["z"] == "cm"."""
        return dict(_UNITS)

    @property
    def labels(self) -> dict[str, str]:
        """The CSV header words of every column."""
        return dict(_LABELS)

    @property
    def radial_solvent(self) -> np.ndarray:
        """Solvent weight fraction at the radial nodes, shape (points, 11): axis to surface."""
        return np.column_stack([self._columns[name] for name in _RADIAL])

    def to_pandas(self):
        """The profile as a pandas DataFrame (needs pandas)."""
        import pandas

        return pandas.DataFrame(self._columns)


@dataclass(frozen=True)
class ConvergedReport:
    """The figures of a run of the converged method that found its answer.

    Attributes:
        tolerance: the relative accuracy asked for (-).
        radial_intervals: the radial intervals of the grid the answer is on (-).
        surface_clustered: whether that grid is clustered at the filament surface (True for the
            automatic grid) rather than of equal intervals.
        passes: passes over the line in all, the error estimates' included (-).
        search_passes: passes of the tension search on the final radial grid (-).
        steps: integrator steps of all passes (-).
        rhs_evaluations: evaluations of the balance equations of all passes (-).
        spinneret_tension: the spinning tension at the spinneret (dyn).
        estimated_tension_error: the estimated error of spinneret_tension (dyn).
        estimated_relative_tension_error: the same relative to spinneret_tension (-).
        tolerance_met: the estimated relative error is within the tolerance and the written
            line meets its target within it (the automatic radial grid stops refining at 512
            intervals, short of it if need be); tolerance_note says why not when it is not.
        solvent_balance_error: (solvent lost by the filaments - solvent gained by the gas) /
            solvent lost (-).
        seconds: wall-clock time of the solver (s).
        end_mismatch: (end velocity - take-up speed) / take-up speed of the written line, or the
            same of the take-up tension when that is the target (-).
        tolerance_note: why the tolerance is not met, in words ("" when it is).
    """

    tolerance: float
    radial_intervals: int
    surface_clustered: bool
    passes: int
    search_passes: int
    steps: int
    rhs_evaluations: int
    spinneret_tension: float
    estimated_tension_error: float
    estimated_relative_tension_error: float
    tolerance_met: bool
    solvent_balance_error: float
    seconds: float
    end_mismatch: float = 0.0
    tolerance_note: str = ""


class Result:
    """What one run left: its outcome, messages, passes and, when it printed results, the
    spinneret tension (dyn), the profile and the result file's bytes; for the converged method
    its figures (converged, None for the classic method and a converged run without answer)."""

    def __init__(self, raw: dict):
        self.outcome: Outcome = raw["outcome"]
        self.messages: list[str] = list(raw["messages"])
        self.passes: int = raw["passes"]
        self.cancelled: bool = raw["cancelled"]
        self.point_count: int = raw["point_count"]
        self.failed_item: str | None = raw["failed_item"]
        self.spinneret_tension: float | None = raw["spinneret_tension"]
        self.end_values: dict[str, float] = dict(raw["end_values"])
        self.result_file_bytes: bytes = raw["result_file_bytes"]
        columns = raw["columns"]
        self.profile: Profile | None = Profile(columns) if columns is not None else None
        figures = raw["converged"]
        self.converged: ConvergedReport | None = (
            ConvergedReport(**figures) if figures is not None else None
        )

    def __repr__(self) -> str:
        error = (
            f" +- {self.converged.estimated_tension_error:.2g}" if self.converged is not None else ""
        )
        return (
            f"<korvane.Result {self.outcome.name}: {self.passes} passes, "
            f"spinneret tension {self.spinneret_tension}{error} dyn>"
        )

    def write_result_file(self, path: str | os.PathLike) -> None:
        """Writes the run's result file to path (replacing it in one step), byte for byte the
        file the batch runner writes for the same case."""
        if not self.result_file_bytes:
            raise ValueError(f"this run ({self.outcome.name}) wrote no result file")
        _replace_file(os.fspath(path), self.result_file_bytes)


def _replace_file(path: str, data: bytes) -> None:
    folder = os.path.dirname(path) or "."
    temporary = os.path.join(folder, f".{os.path.basename(path)}.{os.getpid()}.{id(data):x}.tmp")
    descriptor = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
    try:
        with os.fdopen(descriptor, "wb") as file:
            file.write(data)
            file.flush()
            os.fsync(file.fileno())
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except FileNotFoundError:
            pass
        raise


def _refusal(result: Result, case: Case, initial_tension) -> InputError:
    """The InputError of a run whose input was refused, with the message the window shows."""
    name = result.failed_item
    number = None
    if name == "initial_tension":
        message = f'"initial tension": {result.messages[-1]} ("{initial_tension}")'
    elif name is not None:
        number = next(item["number"] for item in items() if item["name"] == name)
        message = f'"{_ITEM_LABELS[name]}": {result.messages[-1]} ("{case.text(name)}")'
    else:
        message = result.messages[-1] if result.messages else "The input was refused."
    error = InputError(message)
    error.item = number
    error.name = name
    error.result = result
    return error


def _real(name: str, value) -> float:
    """A number argument as a float; TypeError naming the argument for anything else."""
    if isinstance(value, (bool, str, bytes)) or not hasattr(value, "__float__"):
        raise TypeError(f"{name} takes a number, not {value!r}")
    return float(value)


def _method_options(method, tolerance, radial_intervals, take_up_tension) -> dict:
    """The method and its options as run() takes them, checked; ValueError (TypeError for what
    is not a number) naming the argument that is refused."""
    if method not in ("classic", "converged"):
        raise ValueError(f'method is "classic" or "converged", not {method!r}')
    accuracy = _real("tolerance", tolerance)
    smallest, largest = _converged_tolerance_range
    if not smallest <= accuracy <= largest:
        raise ValueError(
            f"tolerance is a relative accuracy from {smallest:g} to {largest:g}, not {tolerance!r}"
        )
    intervals = None  # the automatic radial grid
    if radial_intervals is not None:
        if isinstance(radial_intervals, bool):
            raise TypeError("radial_intervals takes a whole number or None, not True or False")
        try:
            intervals = operator.index(radial_intervals)
        except TypeError:
            raise TypeError(
                f"radial_intervals takes a whole number or None, not {radial_intervals!r}"
            ) from None
        fewest, most = _radial_interval_range
        if not fewest <= intervals <= most:
            raise ValueError(
                f"radial_intervals is from {fewest} to {most} (or None), not {intervals}"
            )
        if method == "classic":
            raise ValueError("radial_intervals is an option of the converged method; the classic "
                             "method has 10 equal intervals")
    target = None
    if take_up_tension is not None:
        target = _real("take_up_tension", take_up_tension)
        if not (target > 0 and math.isfinite(target)):
            raise ValueError(f"take_up_tension is a tension above zero in dyn, not {take_up_tension!r}")
        if method == "classic":
            raise ValueError("take_up_tension is an option of the converged method; the classic "
                             "method meets the take-up speed")
    return {"method": method, "tolerance": accuracy, "radial_intervals": intervals,
            "take_up_tension": target}


def run(
    case: Case,
    initial_tension: float | str | None = None,
    method: str = "classic",
    *,
    tolerance: float = 1e-4,
    radial_intervals: int | None = None,
    take_up_tension: float | None = None,
    result_file: str | os.PathLike | None = None,
    cancel: CancelToken | None = None,
    keep_profile: bool = True,
) -> Result:
    """Runs one case and returns its Result; prints nothing.

    initial_tension: the assumed spinning tension at the spinneret in dyn from which the
    iteration starts (a number or a text); None takes it as the batch runner does (the initial
    tension file, else 3.0). method: "classic" (the shooting iteration of the window and the
    batch runner) or "converged" (the same model solved to a stated accuracy, with an estimate
    of its error in r.converged).

    Options of the converged method:
    tolerance: the relative accuracy of the results, 1e-8 to 1e-2 (default 1e-4).
    radial_intervals: the radial grid inside a filament, 2 to 512 equal intervals (10: the
    classic method's radial model); None chooses a grid clustered at the surface, refined until
    it meets the tolerance.
    take_up_tension: the tension at the end of the line in dyn to meet instead of the take-up
    speed.

    result_file: also leave the result file there as the run writes it (the outcome is
    RESULT_FILE_FAILED when it cannot be written); by default only r.result_file_bytes keep it.
    cancel: a CancelToken another thread may cancel. The run releases the GIL, so threads run
    cases in parallel.

    Raises ValueError naming the argument for a method option out of range (TypeError for one
    that is not a number), and InputError, naming the item, when the run refuses its input (a
    value that does not convert, the step counts, the total length); error.result holds the
    Result.
    """
    options = _method_options(method, tolerance, radial_intervals, take_up_tension)
    raw = _run_case(
        case,
        initial_tension,
        options["method"],
        options["tolerance"],
        options["radial_intervals"] or 0,  # 0: the automatic radial grid
        options["take_up_tension"],
        os.fspath(result_file) if result_file is not None else "",
        cancel,
        keep_profile,
    )
    result = Result(raw)
    if result.outcome == Outcome.INPUT_REFUSED:
        raise _refusal(result, case, initial_tension)
    return result


from ._study import study  # noqa: E402  (uses run and Result above)
