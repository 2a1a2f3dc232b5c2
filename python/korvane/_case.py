"""A Case as a value: its items by name like a dict, a frozen (hashable) copy, the items' units
and meanings, and how a notebook shows it."""

from __future__ import annotations

import html
from collections.abc import Mapping

from . import _korvane
from ._item_notes import NOTES

Case = _korvane.Case

MODEL = "docs/model.md"
# The 51 items in the order of their numbers, each with its unit and meaning.
_ITEMS = []
for _row in _korvane.items():
    _unit, _meaning = NOTES[_row["name"]]
    _ITEMS.append({**_row, "unit": _unit, "meaning": _meaning})
_NAMES = tuple(row["name"] for row in _ITEMS)
_BY_NAME = {row["name"]: row for row in _ITEMS}


def items() -> list[dict]:
    """The 51 input items in the order of their numbers, each a dict: number, name (the
    script name), label (the window's), unit, default (a number), default_text, fixed (a data
    file never changes it), whole_number, and meaning (what it is physically, with the symbol
    of the formula it enters; docs/model.md gives the formulas)."""
    return [dict(row) for row in _ITEMS]


def _item_doc(row: dict) -> str:
    kind = "a whole number; " if row["whole_number"] else ""
    fixed = "; fixed (a data file does not change it)" if row["fixed"] else ""
    return (
        f"{row['label']}: {row['meaning']}.\n\n"
        f"Unit: {row['unit']}; {kind}default {row['default_text']}{fixed}. "
        f"The formula it enters: {MODEL}, \"The 51 input items\" and the sections it names."
    )


for _row in _ITEMS:  # the property docstrings say what each item means
    getattr(Case, _row["name"]).__doc__ = _item_doc(_row)


def _keys(self) -> list[str]:
    """The 51 item names, in the order of their numbers."""
    return list(_NAMES)


def _values(self) -> list:
    return [self[name] for name in _NAMES]


def _items(self) -> list[tuple]:
    """(name, value) of every item, in the order of their numbers."""
    return [(name, self[name]) for name in _NAMES]


def _to_dict(self) -> dict:
    """Every item by name, then jacket_modes (a list), initial_tension and, when the case has
    property laws, laws (law name to formula) and, when they have constants, law_constants
    (name to number): plain numbers and texts, so json.dumps takes it and Case.from_dict gives
    the case back."""
    values = dict(self.items())
    values["jacket_modes"] = list(self.jacket_modes)
    values["initial_tension"] = self.initial_tension
    if self.laws:
        values["laws"] = dict(self.laws)
    if self.law_constants:
        values["law_constants"] = dict(self.law_constants)
    return values


def _from_dict(cls, values: Mapping) -> Case:
    """The case of a dict like to_dict()'s (items missing from it keep their default); a name
    that is no item raises TypeError, a value out of its range InputError."""
    return cls(**values)


def _frozen(self) -> FrozenCase:
    """An unchangeable copy that can be hashed (a dict key, a set member)."""
    return FrozenCase(self)


def _case_html(self) -> str:
    default = Case()
    rows = []
    for row in _ITEMS:
        try:
            value = self[row["name"]]
        except _korvane.InputError:  # a text that does not convert, shown as it is
            value = repr(self.text(row["name"]))
        if value != default[row["name"]]:
            rows.append((row["name"], row["label"], value, row["default"], row["unit"]))
    if self.jacket_modes != default.jacket_modes:
        rows.append(("jacket_modes", "jacket zones 1 to 3", ", ".join(self.jacket_modes),
                     ", ".join(default.jacket_modes), ""))
    if self.initial_tension != default.initial_tension:
        rows.append(("initial_tension", "assumed initial tension", self.initial_tension,
                     default.initial_tension, "dyn"))
    if not rows:
        return "<p><b>korvane.Case</b>: the default case</p>"
    cells = "".join(
        "<tr>" + "".join(f"<td>{html.escape(str(cell))}</td>" for cell in row) + "</tr>"
        for row in rows
    )
    return (
        f"<p><b>korvane.Case</b>: {len(rows)} value{'' if len(rows) == 1 else 's'} other than the default</p>"
        "<table><tr><th>name</th><th>label</th><th>value</th><th>default</th><th>unit</th></tr>"
        f"{cells}</table>"
    )


Case.keys = _keys
Case.values = _values
Case.items = _items
Case.__iter__ = lambda self: iter(_NAMES)
Case.__len__ = lambda self: len(_NAMES)
Case.__contains__ = lambda self, name: name in _BY_NAME
Case.to_dict = _to_dict
Case.from_dict = classmethod(_from_dict)
Case.frozen = _frozen
Case._repr_html_ = _case_html


class FrozenCase(Mapping):
    """A case that cannot change, hashed by its values: case.frozen(). Reads like a Case (by
    item name or number, as attributes, to_dict()); thaw() gives a Case to change or run, and
    run() takes it as it is. Equal to a Case of the same values."""

    __slots__ = ("_values", "_jackets", "_tension", "_laws", "_constants")

    def __init__(self, case: Case):
        values = case.to_dict()
        object.__setattr__(self, "_values", tuple(values[name] for name in _NAMES))
        object.__setattr__(self, "_jackets", tuple(values["jacket_modes"]))
        object.__setattr__(self, "_tension", values["initial_tension"])
        # In the order of their names, so that the order they were given in does not count.
        object.__setattr__(self, "_laws", tuple(sorted(values.get("laws", {}).items())))
        object.__setattr__(self, "_constants", tuple(sorted(values.get("law_constants", {}).items())))

    def __getitem__(self, key):
        if isinstance(key, str):
            if key not in _BY_NAME:
                raise KeyError(f'no input item is named "{key}"')
            return self._values[_BY_NAME[key]["number"] - 1]
        if not isinstance(key, bool) and isinstance(key, int) and 1 <= key <= len(_NAMES):
            return self._values[key - 1]
        raise KeyError(f"input items are numbered 1 to {len(_NAMES)}, not {key!r}")

    def __getattr__(self, name):
        if name in _BY_NAME:
            return self[name]
        raise AttributeError(f"FrozenCase has no attribute {name!r}")

    def __setattr__(self, name, value):
        raise AttributeError("a frozen case does not change; case.thaw() gives a Case that does")

    def __iter__(self):
        return iter(_NAMES)

    def __len__(self) -> int:
        return len(_NAMES)

    @property
    def jacket_modes(self) -> tuple:
        return self._jackets

    @property
    def initial_tension(self) -> float:
        return self._tension

    @property
    def laws(self) -> dict:
        return dict(self._laws)

    @property
    def law_constants(self) -> dict:
        return dict(self._constants)

    def to_dict(self) -> dict:
        values = dict(zip(_NAMES, self._values))
        values["jacket_modes"] = list(self._jackets)
        values["initial_tension"] = self._tension
        if self._laws:
            values["laws"] = dict(self._laws)
        if self._constants:
            values["law_constants"] = dict(self._constants)
        return values

    def thaw(self) -> Case:
        """A Case of these values, to change or run."""
        return Case.from_dict(self.to_dict())

    def _key(self):
        return (self._values, self._jackets, self._tension, self._laws, self._constants)

    def __hash__(self) -> int:
        return hash(self._key())

    def __eq__(self, other) -> bool:
        if isinstance(other, Case):
            try:
                other = other.frozen()
            except _korvane.InputError:  # a text that does not convert: no value to compare
                return False
        if not isinstance(other, FrozenCase):
            return NotImplemented
        return self._key() == other._key()

    def __reduce__(self):
        return (_thawed_frozen, (self.to_dict(),))

    def __repr__(self) -> str:
        return "korvane.FrozenCase" + repr(self.thaw())[len("korvane.Case"):]

    def _repr_html_(self) -> str:
        return _case_html(self.thaw()).replace("korvane.Case", "korvane.FrozenCase", 1)


def _thawed_frozen(values: dict) -> FrozenCase:
    return FrozenCase(Case.from_dict(values))
