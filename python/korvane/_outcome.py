"""How a run, or a case of a study, ended."""

from __future__ import annotations

import enum


class Outcome(enum.IntEnum):
    """How a run ended. The values 0 to 4 are the batch runner's exit statuses.

    An outcome also equals its name, so that the outcomes of run() and of a study's table compare
    alike: r.outcome == Outcome.SUCCESS == "SUCCESS" == 0, and table.outcome == Outcome.SUCCESS
    or table.outcome == "SUCCESS" picks the rows of the cases that succeeded. Its str() is its
    name. It hashes as its number.
    """

    SUCCESS = 0
    CALCULATION_FAILED = 1
    """Does not converge, the pass limit, a floating-point fault, or cancelled."""
    INPUT_REFUSED = 2
    TENSION_BELOW_ZERO = 3
    RESULT_FILE_FAILED = 4
    WORKER_LOST = 5
    """A study's case whose Dask worker died while it ran; no run of the batch runner ends so."""

    def __eq__(self, other):
        if isinstance(other, str):
            return self.name == other
        return int.__eq__(self, other)

    def __ne__(self, other):
        equal = self.__eq__(other)
        return equal if equal is NotImplemented else not equal

    __hash__ = int.__hash__

    def __str__(self) -> str:
        return self.name

    def __format__(self, format_spec: str) -> str:
        return format(self.name, format_spec)
