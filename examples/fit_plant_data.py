"""Fits the diffusion and viscosity parameters of the default case to measurements along the
line, prints the estimates with their 95 % intervals and their correlation, draws the measured
points over the fitted profiles and saves the fitted case.

    /usr/bin/python3 examples/fit_plant_data.py [MEASUREMENTS.csv] [-o fit.png] [--case fitted.toml]

The measurements file has the header quantity,z,value,sigma (korvane.measurable_quantities()
lists the quantities). examples/plant_measurements.csv is a small example of one: the spinneret
tension, eight average solvent fractions and eight filament temperatures, made with the
converged model at the default values plus noise of the sigma stated in the file, so the fit
should find the defaults (diffusion_param_1 = 0.00103, viscosity_param_1 = 5512.3) within its
intervals. Replace it with your line's measurements and your case (korvane.Case.load).
"""

import argparse
import os

import matplotlib

matplotlib.use("Agg")  # writes a file; no display needed

import korvane  # noqa: E402


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("measurements", nargs="?",
                        default=os.path.join(here, "plant_measurements.csv"))
    parser.add_argument("-o", "--output", default="fit.png", help="the plot (PNG)")
    parser.add_argument("--case", default="fitted.toml", help="the fitted case file")
    arguments = parser.parse_args()

    case = korvane.Case.default()
    result = korvane.fit(
        case,
        arguments.measurements,
        ["diffusion_param_1", "viscosity_param_1"],
        method="converged",
        tolerance=1e-4,
        initial_tension=3.0,
        progress=lambda iteration, cost, values: print(f"iteration {iteration}: cost {cost:.6g}"),
    )
    print(result.parameters[["value", "standard_error", "low95", "high95"]].to_string())
    print("correlation:\n" + result.correlation.round(4).to_string())
    print(f"chi-square {result.chi_square:.3f} with {result.degrees_of_freedom} degrees of "
          f"freedom, {result.evaluations} model runs, {result.seconds:.2f} s")
    worst = result.residuals.reindex(result.residuals["normalized"].abs().sort_values().index)
    print("largest residuals (in sigmas):\n" + worst.tail(3).to_string(index=False))

    result.plot().savefig(arguments.output, dpi=100)
    result.case.save(arguments.case)
    print(f"plot in {arguments.output}, fitted case in {arguments.case}")


if __name__ == "__main__":
    main()
