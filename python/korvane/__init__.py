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
    d = korvane.run(case, method="converged", sensitivities=["take_up_speed", 8])
    d.sensitivities["take_up_speed"].spinneret_tension, d.sensitivities[...]["tension"]

Units are those of the window and the result file: cm, g, s, degC, cal, mol, dyn; the profile
columns are in the units of the CSV export (korvane.profile_columns() lists them).
The model's equations, input items and methods are described in docs/model.md of the source tree.
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
    _converged_tolerance_range,
    _radial_interval_range,
    _run_case,
    _write_result_file,
    items,
    profile_columns,
)
from ._outcome import Outcome

__all__ = [
    "Case",
    "CancelToken",
    "ConvergedReport",
    "InputError",
    "MAX_CASES",
    "MAX_CASES_WITH_PROFILES",
    "Outcome",
    "Profile",
    "Result",
    "Sensitivity",
    "items",
    "profile_columns",
    "run",
    "study",
    "StudyStopped",
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


class Sensitivity(Profile):
    """The derivatives of a converged answer with respect to one input item: spinneret_tension
    (dyn per unit of the item) and, for every profile column the line carries (not z, the area
    or the stress), its derivative at the printed points, in units[name] (the column's unit per
    the item's). They include the move of the spinneret tension that keeps the end target met."""

    def __init__(self, item: str, spinneret_tension: float, columns, units):
        super().__init__(columns)
        self.item = item
        self.spinneret_tension = spinneret_tension
        self._units = dict(units)

    def __repr__(self) -> str:
        return (
            f"<korvane.Sensitivity to {self.item}: spinneret tension {self.spinneret_tension:.6g}, "
            f"{len(self)} columns>"
        )

    @property
    def units(self) -> dict[str, str]:
        """Unit of every column's derivative, e.g. units["tension"] == "dyn per cm/s"."""
        return dict(self._units)


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
        self.outcome: Outcome = Outcome(raw["outcome"])
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
        derivatives = raw.get("sensitivities")
        # By item name, in the order asked for; None when none were asked for or no answer came.
        self.sensitivities: dict[str, Sensitivity] | None = (
            {name: Sensitivity(name, *values) for name, values in derivatives.items()}
            if derivatives is not None
            else None
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
        file the batch runner writes for the same case. What the batch runner refuses to write
        is refused with its words: ValueError for the initial tension file, OSError for a file
        that cannot be written (the earlier file then keeps its bytes)."""
        if not self.result_file_bytes:
            raise ValueError(f"this run ({self.outcome.name}) wrote no result file")
        _write_result_file(os.fspath(path), self.result_file_bytes)


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


def _sensitivity_items(sensitivities, method) -> list[str]:
    """The items of run()'s sensitivities as texts; ValueError or TypeError naming the argument."""
    if sensitivities is None:
        return []
    if isinstance(sensitivities, (str, bytes)) or not hasattr(sensitivities, "__iter__"):
        raise TypeError(f"sensitivities takes a list of item names or numbers, not {sensitivities!r}")
    texts = []
    for item in sensitivities:
        if isinstance(item, str):
            texts.append(item)
        elif not isinstance(item, bool) and hasattr(item, "__index__"):
            texts.append(str(operator.index(item)))
        else:
            raise TypeError(f"sensitivities takes item names or numbers, not {item!r}")
    if texts and method != "converged":
        raise ValueError("sensitivities are an option of the converged method")
    return texts


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
    sensitivities: list[str | int] | None = None,
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
    sensitivities: decimal input items (names or numbers) to differentiate the answer with
    respect to; r.sensitivities maps each item's name to its Sensitivity.

    result_file: also leave the result file there as the run writes it (the outcome is
    RESULT_FILE_FAILED when it cannot be written); by default only r.result_file_bytes keep it.
    cancel: a CancelToken another thread may cancel. The run releases the GIL, so threads run
    cases in parallel. On the main thread, Ctrl-C cancels the run within a pass (a few
    milliseconds for the classic method) and raises KeyboardInterrupt.

    Raises ValueError naming the argument for a method option out of range (TypeError for one
    that is not a number), and InputError, naming the item, when the run refuses its input (a
    value that does not convert, the step counts, the total length); error.result holds the
    Result.
    """
    options = _method_options(method, tolerance, radial_intervals, take_up_tension)
    derivatives = _sensitivity_items(sensitivities, method)
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
        derivatives,
    )
    result = Result(raw)
    if result.outcome == Outcome.INPUT_REFUSED:
        raise _refusal(result, case, initial_tension)
    return result


from ._study import MAX_CASES, MAX_CASES_WITH_PROFILES, StudyStopped, study  # noqa: E402  (uses run and Result above)
from ._fit import FitFailed, FitResult, UndeterminedWarning, fit, measurable_quantities  # noqa: E402,F401  (korvane.fit)
