"""Writes korvane/_item_notes.py: the unit and the physical meaning of every input item, read
from the table "The 51 input items" of docs/model.md, so that the module's item docstrings and
units say what the model description says.

    make_item_notes.py docs/model.md PACKAGE_FOLDER
"""

import os
import re
import sys

model_path, package = sys.argv[1], sys.argv[2]
with open(model_path, encoding="utf-8") as file:
    text = file.read()
section = text.split("## The 51 input items", 1)[1].split("\n## ", 1)[0]

# The docs write units for print (℃, cm³, – for none); the module writes them as the profile
# columns do (degC, cm3, -).
ASCII = {"℃": "degC", "²": "2", "³": "3", "–": "-", "—": "-"}


def plain(cell):
    for symbol, word in ASCII.items():
        cell = cell.replace(symbol, word)
    return cell


def formula(cell):
    """A table cell's formulas as plain text: no $, no LaTeX spacing or \\text{}."""
    cell = re.sub(r"\\text\{([^}]*)\}", r"\1", cell)
    return cell.replace("$", "").replace("\\,", " ").replace("`", "").strip()


notes = {}
for line in section.splitlines():
    cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
    if len(cells) != 7 or not cells[0].isdigit():
        continue
    number, name, _, unit, _, _, meaning = cells
    notes[name.strip("`")] = (int(number), plain(unit), formula(plain(meaning)))
if sorted(number for number, _, _ in notes.values()) != list(range(1, 52)):
    sys.exit(f"{model_path}: the table of the 51 input items is not complete")

lines = [
    '"""The unit and meaning of every input item, from docs/model.md (made by make_item_notes.py)."""',
    "",
    "NOTES = {",
]
lines += [f"    {name!r}: ({unit!r}, {meaning!r})," for name, (_, unit, meaning) in notes.items()]
lines += ["}", ""]
output = os.path.join(package, "_item_notes.py")
with open(output + ".tmp", "w", encoding="utf-8") as file:
    file.write("\n".join(lines))
os.replace(output + ".tmp", output)
