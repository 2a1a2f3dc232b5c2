"""Writes korvane/__init__.pyi: the template with the Case properties of the 51 input items,
taken from the built module's own item table, where the template says "# @ITEMS@"."""

import os
import sys

template_path, package = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.dirname(os.path.abspath(package)))
import korvane  # noqa: E402

lines = []
for item in korvane.items():
    kind = "int" if item["whole_number"] else "float"
    doc = f'{item["label"]}, in {item["unit"]}; default {item["default"]}' + ("; fixed" if item["fixed"] else "")
    lines.append("    @property")
    lines.append(f'    def {item["name"]}(self) -> {kind}:')
    lines.append(f'        """{doc}."""')
    if not item["fixed"]:
        lines.append(f'    @{item["name"]}.setter')
        lines.append(f'    def {item["name"]}(self, value: {kind} | str) -> None: ...')
with open(template_path, encoding="utf-8") as file:
    text = file.read()
text = text.replace("    # @ITEMS@\n", "\n".join(lines) + "\n")
output = os.path.join(package, "__init__.pyi")
with open(output + ".tmp", "w", encoding="utf-8") as file:
    file.write(text)
os.replace(output + ".tmp", output)
