"""Sweeps the take-up speed of the default case and plots the end solvent fraction and the
spinneret tension against it.

    /usr/bin/python3 examples/sweep_take_up_speed.py [--scheduler tcp://host:8786] [-o FILE.png]

Without --scheduler the cases run on this machine's cores; with it, on that Dask cluster.
"""

import argparse

import matplotlib

matplotlib.use("Agg")  # writes a file; no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import korvane  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scheduler", help="address of a Dask scheduler, e.g. tcp://host:8786")
    parser.add_argument("-o", "--output", default="take-up-speed.png", help="the plot (PNG)")
    arguments = parser.parse_args()

    client = None
    if arguments.scheduler:
        from distributed import Client

        client = Client(arguments.scheduler)

    case = korvane.Case.default()
    speeds = np.arange(400.0, 1201.0, 50.0)  # cm/s
    table = korvane.study(case, {"take_up_speed": speeds}, initial_tension=3.0, client=client)
    ok = table.outcome == "SUCCESS"
    for row in table[~ok]:
        print(f"take-up speed {row.take_up_speed:g} cm/s: {row.outcome} {' '.join(row.messages)}")

    figure, (solvent, tension) = plt.subplots(2, 1, sharex=True, figsize=(6, 6))
    solvent.plot(table.take_up_speed[ok], table.end_average_solvent_fraction[ok], "o-")
    solvent.set_ylabel("end solvent fraction (-)")
    tension.plot(table.take_up_speed[ok], table.spinneret_tension[ok], "s-", color="tab:red")
    tension.set_ylabel("spinneret tension (dyn)")
    tension.set_xlabel("take-up speed (cm/s)")
    figure.suptitle("Default case: sweep of the take-up speed")
    figure.tight_layout()
    figure.savefig(arguments.output, dpi=100)
    print(f"{ok.sum()} of {len(table)} cases succeeded; plot in {arguments.output}")
    if client is not None:
        client.close()


if __name__ == "__main__":
    main()
