"""Measures cases per second for the default case: on one thread, on all cores, and on a
two-worker Dask cluster on this machine, and the time per case that Dask adds; then the same
case with the converged method (default options) on one thread and on all cores.

    /usr/bin/python3 examples/measure_study.py [CASES [CONVERGED_CASES]]
"""

import os
import sys
import time

import korvane


def rate(cases, **options):
    grid = {"take_up_speed": [833.0] * cases}  # the default case, again and again
    start = time.perf_counter()
    table = korvane.study(korvane.Case(), grid, initial_tension=3.0, **options)
    seconds = time.perf_counter() - start
    assert (table.outcome == "SUCCESS").all()
    return cases / seconds


def main():
    cases = int(sys.argv[1]) if len(sys.argv) > 1 else 400
    converged_cases = int(sys.argv[2]) if len(sys.argv) > 2 else 8
    cores = os.cpu_count() or 1
    rate(20, workers=1)  # warm up
    one = rate(cases, workers=1)
    every = rate(cases, workers=cores)
    print(f"local, 1 thread:       {one:8.1f} cases/s")
    print(f"local, {cores} threads:      {every:8.1f} cases/s")

    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        rate(20, client=client)  # workers import korvane
        dask = rate(cases, client=client)
    print(f"Dask, 2 workers:       {dask:8.1f} cases/s")
    # Each worker is busy 2 / dask seconds per case, of which 1 / one is the run itself.
    print(f"Dask overhead per case: {(2 / dask - 1 / one) * 1000:7.2f} ms")

    one = rate(converged_cases, workers=1, method="converged")
    every = rate(converged_cases, workers=cores, method="converged")
    print(f"converged, 1 thread:   {one:8.2f} cases/s")
    print(f"converged, {cores} threads:  {every:8.2f} cases/s")


if __name__ == "__main__":
    main()
