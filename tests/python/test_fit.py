"""korvane.fit gives korvane-fit's estimates on the same data, from a file or a DataFrame, and
refuses a bad row as it does."""

import json
import os
import subprocess

import pandas as pd
import pytest

import korvane

MEASUREMENTS = """quantity,z,value,sigma
tension,0,4.0046,0.05
average solvent fraction,50,0.6650,0.005
average solvent fraction,100,0.5747,0.005
average solvent fraction,200,0.3395,0.005
average solvent fraction,300,0.1530,0.005
average solvent fraction,500,0.0375,0.005
filament temperature,100,111.3,
filament temperature,300,152.6,
filament temperature,500,149.2,
filament temperature,700,133.4,
"""

# Quick model options, the same for both front ends.
QUICK = {"method": "converged", "tolerance": 1e-3, "radial_intervals": 16}


def test_python_and_batch_fitter_give_the_same_estimates(tmp_path):
    fitter = os.environ.get("KORVANE_FIT")
    if not fitter or not os.access(fitter, os.X_OK):
        pytest.fail("KORVANE_FIT must name the built korvane-fit (CTest sets it)")
    (tmp_path / "m.csv").write_text(MEASUREMENTS)
    parameters = ["diffusion_param_1", "viscosity_param_1=3000:9000"]
    done = subprocess.run(
        [fitter, "--measurements", "m.csv", "--initial-tension", "3.0", "--tolerance", "1e-3",
         "--radial-intervals", "16", "--report", "fit.json",
         *[a for p in parameters for a in ("--parameter", p)]],
        cwd=tmp_path, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    report = json.loads((tmp_path / "fit.json").read_text())

    from_file = korvane.fit(korvane.Case.default(), tmp_path / "m.csv", parameters,
                            initial_tension=3.0, **QUICK)
    frame = pd.read_csv(tmp_path / "m.csv")  # the empty sigmas read as NaN
    from_frame = korvane.fit(korvane.Case.default(), frame, parameters, initial_tension=3.0,
                             **QUICK)
    for result in (from_file, from_frame):
        for name, batch in report["parameters"].items():
            for key in ("value", "standard_error", "low95", "high95"):
                assert result.parameters.loc[name, key] == pytest.approx(batch[key], rel=1e-6)
        assert result.chi_square == pytest.approx(report["chi_square"], rel=1e-6)
        # The temperatures' sigma was estimated, the same for all four.
        estimated = result.residuals[result.residuals["sigma_estimated"]]
        assert len(estimated) == 4 and estimated["sigma"].nunique() == 1
    assert from_file.case.diffusion_param_1 == pytest.approx(
        report["parameters"]["diffusion_param_1"]["value"], rel=1e-15)

    bad = frame.copy()
    bad.loc[3, "z"] = 900.0
    with pytest.raises(korvane.InputError, match="line 5: z = 900 cm lies outside the line"):
        korvane.fit(korvane.Case.default(), bad, parameters, **QUICK)
    with pytest.raises(ValueError, match="tolerance must lie between"):
        korvane.fit(korvane.Case.default(), frame, parameters, tolerance=0.5)


def test_a_parameter_the_data_cannot_determine_is_named():
    # The spinneret tension alone says nothing of the diffusion coefficient.
    tension_only = pd.DataFrame({"quantity": ["tension"] * 3, "z": [0.0, 350.0, 700.0],
                                 "value": [4.0, 90.0, 165.0], "sigma": [0.05, 1.0, 1.0]})
    with pytest.warns(korvane.UndeterminedWarning, match="diffusion_param_1"):
        result = korvane.fit(korvane.Case.default(), tension_only,
                             ["diffusion_param_1", "viscosity_param_1"], initial_tension=3.0, **QUICK)
    assert result.undetermined == ["diffusion_param_1"]
    assert result.parameters["determined"].to_dict() == {"diffusion_param_1": False,
                                                         "viscosity_param_1": True}
