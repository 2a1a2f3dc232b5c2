"""korvane.fit: input items of a case fitted to measurements along the line.

    import korvane
    f = korvane.fit(korvane.Case.default(), "measurements.csv",
                    ["diffusion_param_1", "viscosity_param_1"])
    f.parameters          # DataFrame: value, standard_error, low95, high95, initial per item
    f.correlation         # DataFrame of the determined parameters
    f.residuals           # DataFrame: quantity, z, measured, sigma, model, normalized
    f.case                # the fitted case (korvane.Case)
    f.plot()              # measured points with error bars over the fitted profiles

The fit is the batch fitter's (korvane-fit): the same measurements file, parameters, bounds,
method options and loss give the same estimates.
"""

from __future__ import annotations

import math
import os
import warnings

from ._korvane import (
    Case,
    InputError,
    _converged_tolerance_range,
    _fit,
    _measurable_quantities,
    _radial_interval_range,
)


class FitFailed(RuntimeError):
    """The fit did not converge, or a run of the model failed; the message says why.
    Attribute: status ("not_converged" or "run_failed")."""

    def __init__(self, message: str, status: str):
        super().__init__(message)
        self.status = status


class UndeterminedWarning(UserWarning):
    """The measurements cannot determine some of the parameters (FitResult.undetermined)."""


def measurable_quantities() -> list[str]:
    """The quantities a measurement may name, as the profile CSV's header names them without the
    unit."""
    return list(_measurable_quantities())


class FitResult:
    """The answer of korvane.fit.

    parameters: a pandas DataFrame indexed by item name with value, standard_error, low95,
    high95 (the 95 % interval, estimate +- 1.96 standard errors), initial and determined.
    correlation: a DataFrame of the determined parameters' correlation.
    residuals: a DataFrame with quantity, z (cm), measured, sigma (given or estimated), model
    and normalized ((model - measured) / sigma).
    chi_square, degrees_of_freedom, evaluations (model runs), iterations, seconds.
    undetermined: the names of parameters the measurements cannot determine (their standard
    errors are NaN). case: the case with the estimates. warnings: what the fit wants you to know.
    """

    def __init__(self, raw: dict, method: str, tolerance: float, radial_intervals, initial_tension):
        import pandas as pd

        rows = raw["parameters"]
        nan = float("nan")
        self.parameters = pd.DataFrame(
            {
                "value": [r["value"] for r in rows],
                "standard_error": [r["standard_error"] if r["determined"] else nan for r in rows],
                "low95": [r["low95"] if r["determined"] else nan for r in rows],
                "high95": [r["high95"] if r["determined"] else nan for r in rows],
                "initial": [r["initial"] for r in rows],
                "determined": [r["determined"] for r in rows],
            },
            index=pd.Index([r["name"] for r in rows], name="parameter"),
        )
        determined = [r["name"] for r in rows if r["determined"]]
        self.correlation = pd.DataFrame(raw["correlation"], index=determined, columns=determined)
        self.residuals = pd.DataFrame(
            [
                {"quantity": label, "z": z, "measured": measured, "sigma": sigma, "model": model,
                 "normalized": (model - measured) / sigma, "sigma_estimated": estimated}
                for label, _, z, measured, sigma, estimated, model in raw["residuals"]
            ]
        )
        self._names = {label: name for label, name, *_ in raw["residuals"]}
        self.chi_square: float = raw["chi_square"]
        self.degrees_of_freedom: int = raw["degrees_of_freedom"]
        self.evaluations: int = raw["evaluations"]
        self.iterations: int = raw["iterations"]
        self.seconds: float = raw["seconds"]
        self.undetermined: list[str] = list(raw["undetermined"])
        self.warnings: list[str] = list(raw["warnings"])
        self.message: str = raw["message"]
        self.case: Case = raw["case"]
        self._run_options = (method, tolerance, radial_intervals, initial_tension)

    def __repr__(self) -> str:
        return (
            f"<FitResult {len(self.parameters)} parameters, chi-square {self.chi_square:.4g} "
            f"with {self.degrees_of_freedom} degrees of freedom>"
        )

    def plot(self, axes=None):
        """Draws the measured points with their error bars over the fitted case's profiles, one
        panel per quantity (matplotlib); returns the figure."""
        import matplotlib.pyplot as plt

        from . import run

        method, tolerance, radial_intervals, initial_tension = self._run_options
        if method == "converged":
            line = run(self.case, initial_tension, method, tolerance=tolerance,
                       radial_intervals=radial_intervals)
        else:
            line = run(self.case, initial_tension, method)
        quantities = list(dict.fromkeys(self.residuals["quantity"]))
        if axes is None:
            figure, axes = plt.subplots(len(quantities), 1, sharex=True,
                                        figsize=(6.4, 2.4 * len(quantities)), squeeze=False)
            axes = axes[:, 0]
        else:
            figure = axes[0].figure
        for ax, quantity in zip(axes, quantities):
            name = self._names[quantity]
            ax.plot(line.profile["z"], line.profile[name], label="fitted model")
            rows = self.residuals[self.residuals["quantity"] == quantity]
            ax.errorbar(rows["z"], rows["measured"], yerr=rows["sigma"], fmt="o", capsize=3,
                        label="measured")
            ax.set_ylabel(f"{quantity} ({line.profile.units[name]})")
            ax.legend(loc="best", fontsize="small")
        axes[-1].set_xlabel("z (cm)")
        return figure


def fit(
    case: Case,
    measurements,
    parameters: list[str | int],
    method: str = "converged",
    tolerance: float = 1e-4,
    loss: str = "linear",
    *,
    initial_tension: float | str | None = None,
    radial_intervals: int | None = None,
    max_iterations: int = 50,
    progress=None,
) -> FitResult:
    """Fits items of the case to measurements along the line, as korvane-fit does.

    measurements: the path of a CSV file with the header quantity,z,value,sigma, or a pandas
    DataFrame with those columns (sigma NaN or empty where it is to be estimated from the
    residuals). parameters: items by name or number, or constants of the case's laws by name
    (case.law_constants), each optionally with bounds, "NAME=LOW:HIGH" (default: the item's
    range; a positive constant stays above 0, another is unbounded). method: "converged" (advised; the Jacobian comes from its
    sensitivities) or "classic" (warned about: its answer moves in steps). loss: "linear" or
    "huber". initial_tension: as for korvane.run (None: the case's own). progress: called as progress(iteration, cost,
    values) after every iteration. Ctrl-C stops the fit and raises KeyboardInterrupt.

    Raises InputError for measurements or parameters that are refused (naming the line or the
    item), FitFailed when the fit does not converge or a run fails. Parameters the measurements
    cannot determine are named in FitResult.undetermined, with an UndeterminedWarning.
    """
    if hasattr(case, "thaw"):  # a FrozenCase
        case = case.thaw()
    if not isinstance(case, Case):
        raise TypeError(f"fit takes a korvane.Case, not {type(case).__name__}")
    if method == "converged":
        low, high = _converged_tolerance_range
        if not low <= float(tolerance) <= high:
            raise ValueError(f"tolerance must lie between {low:g} and {high:g}, not {tolerance!r}")
        if radial_intervals is not None:
            low, high = _radial_interval_range
            if not low <= int(radial_intervals) <= high:
                raise ValueError(
                    f"radial_intervals must lie between {low} and {high}, not {radial_intervals!r}")
    path, text = "", ""
    if isinstance(measurements, (str, os.PathLike)):
        path = os.fspath(measurements)
    else:
        text = _csv_text(measurements)
    tension = case.text("initial_tension") if initial_tension is None else str(initial_tension)
    raw = _fit(
        case,
        tension,
        path,
        text,
        [str(p) for p in parameters],
        method,
        float(tolerance),
        int(radial_intervals or 0),
        loss,
        int(max_iterations),
        progress,
    )
    status = raw["status"]
    if status == "refused":
        raise InputError(raw["message"])
    if status != "fitted" and status != "undetermined":
        raise FitFailed(raw["message"], status)
    result = FitResult(raw, method, tolerance, radial_intervals, tension)
    for warning in result.warnings:
        warnings.warn(warning, UserWarning, stacklevel=2)
    if result.undetermined:
        warnings.warn(raw["message"], UndeterminedWarning, stacklevel=2)
    return result


def _csv_text(frame) -> str:
    """The table as the measurements file's text; a missing sigma stays empty."""
    missing = [c for c in ("quantity", "z", "value", "sigma") if c not in frame.columns]
    if missing:
        raise InputError("the measurements table has no column " + ", ".join(missing))

    def cell(value) -> str:
        # A text stays as it is, so that the reading names its row when it is no number.
        if value is None or isinstance(value, str):
            return value or ""
        number = float(value)
        return "" if math.isnan(number) else repr(number)

    lines = ["quantity,z,value,sigma"]
    for quantity, z, value, sigma in zip(frame["quantity"], frame["z"], frame["value"],
                                         frame["sigma"]):
        lines.append(",".join([str(quantity), cell(z), cell(value), cell(sigma)]))
    return "\n".join(lines) + "\n"
