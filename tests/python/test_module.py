"""The korvane module against the batch runner, its outcomes and refusals, and runs on threads."""

import errno
import json
import math
import os
import pickle
import re
import signal
import stat
import subprocess
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pytest
from conftest import run_batch

import korvane

# Data files the batch runner and the module both load: {item: text} over the default case,
# jacket modes, initial tension text (None: the machine's default), expected outcome.
CASES = {
    "default": ({}, None, None, korvane.Outcome.SUCCESS),
    "initial tension 5": ({}, None, "5.0", korvane.Outcome.SUCCESS),
    "faster, jacketed, hotter gas": (
        {30: "900", 19: "230.0", 32: "180", 33: "150"},
        ("jacketed", "jacketed", "insulated"),
        "3.0",
        korvane.Outcome.SUCCESS,
    ),
    "finer grid": ({41: "1.0", 46: "60", 42: "2.5", 47: "80"}, None, "3.0", korvane.Outcome.SUCCESS),
    "tension below zero": ({30: "200"}, None, "3.0", korvane.Outcome.TENSION_BELOW_ZERO),
    "overflow": ({20: "1e308"}, None, "3.0", korvane.Outcome.CALCULATION_FAILED),
    # The surface iteration's last trial would leave more solvent than the filament holds.
    "solvent fraction beyond 1": ({18: "100"}, None, "3.0", korvane.Outcome.CALCULATION_FAILED),
}


def make_case(items, jackets):
    case = korvane.Case.default()
    for number, text in items.items():
        case[number] = text
    if jackets:
        case.jacket_modes = jackets
    return case


def csv_columns(text):
    lines = text.splitlines()
    cells = [line.split(",") for line in lines[1:]]
    return lines[0].split(","), [
        np.array([float(row[c]) if row[c] else math.nan for row in cells])
        for c in range(len(cells[0]))
    ]


@pytest.mark.parametrize("name", CASES)
def test_result_file_profile_and_messages_equal_the_batch_runner(name, tmp_path, batch_runner):
    items, jackets, tension, outcome = CASES[name]
    data_file = tmp_path / "case.txt"
    make_case(items, jackets).save(data_file)
    status, stderr, result_bytes, csv = run_batch(batch_runner, tmp_path, data_file, tension)

    case = korvane.Case.load(data_file)
    assert case == make_case(items, jackets)
    # The batch runner without --initial-tension starts from the machine's file; a run reads it
    # only when asked.
    r = korvane.run(case, initial_tension=korvane.machine_initial_tension() if tension is None else tension)
    assert r.outcome == outcome and int(r.outcome) == status
    assert r.outcome == outcome.name and str(r.outcome) == outcome.name  # as a study's table holds it
    assert r.messages == stderr
    r.write_result_file(tmp_path / "module.txt")
    assert (tmp_path / "module.txt").read_bytes() == result_bytes

    if r.point_count == 0:
        assert csv is None and r.spinneret_tension is None and len(r.profile) == 0
        return
    # Every column in the CSV's order and units, every value the same double.
    header, columns = csv_columns(csv)
    assert [f"{label} ({unit})" for _, label, unit in korvane.profile_columns()] == header
    assert list(r.profile) == [column for column, _, _ in korvane.profile_columns()]
    for key, expected in zip(r.profile, columns):
        np.testing.assert_array_equal(r.profile[key], expected, err_msg=key)
        assert r.end_values[key] == expected[-1] or math.isnan(expected[-1])
    assert r.spinneret_tension == r.profile["tension"][0]
    assert r.profile.radial_solvent.shape == (r.point_count, 11)
    frame = r.profile.to_pandas()
    assert list(frame.columns) == list(r.profile)[1:] and len(frame) == r.point_count
    np.testing.assert_array_equal(frame.index, r.profile["z"])
    assert frame.index.name == "z" and frame.attrs["units"] == r.profile.units


def test_outcomes_the_batch_runner_does_not_reach_from_a_data_file(tmp_path):
    # The result file cannot be created.
    r = korvane.run(korvane.Case(), 3.0, result_file=tmp_path / "missing" / "out.txt")
    assert r.outcome == korvane.Outcome.RESULT_FILE_FAILED
    assert r.messages == ["Result file can not open!"]
    with pytest.raises(ValueError, match="RESULT_FILE_FAILED"):
        r.write_result_file(tmp_path / "out.txt")
    assert not (tmp_path / "out.txt").exists()

    # Left where asked, and the same bytes kept in the result.
    r = korvane.run(korvane.Case(), 3.0, result_file=tmp_path / "there.txt")
    assert r.outcome == korvane.Outcome.SUCCESS
    assert (tmp_path / "there.txt").read_bytes() == r.result_file_bytes

    # Cancelled before it started: one pass, then the run ends like a failed calculation, and
    # writes nothing.
    token = korvane.CancelToken()
    token.cancel()
    r = korvane.run(korvane.Case(), 3.0, cancel=token)
    assert (r.outcome, r.cancelled, r.passes) == (korvane.Outcome.CALCULATION_FAILED, True, 1)
    assert r.messages == ["Calculation cancelled."]
    assert r.result_file_bytes == b""
    r = korvane.run(korvane.Case(), 3.0, "converged", radial_intervals=10, cancel=token)
    assert (r.outcome, r.cancelled, r.converged) == (korvane.Outcome.CALCULATION_FAILED, True, None)
    assert r.messages == ["Calculation cancelled."]


REFUSED_ASSIGNMENTS = [
    # (item, value, exception, words of the message)
    ("take_up_speed", "fast", korvane.InputError, "Input value is not correct!"),
    # Out of the item's range: refused now, in the words of a run that refuses it.
    ("take_up_speed", -5, korvane.InputError, '"30. Take-up speed (cm/s)": "Take-up speed (cm/s)" must be greater than 0. ("-5")'),
    ("initial_solvent_fraction", "1.0", korvane.InputError, "must be greater than 0 and less than 1"),
    ("filament_count", 0, korvane.InputError, "must be at least 1"),
    ("gas_inlet_temperature", -300, korvane.InputError, "must be above -273 degC"),
    ("take_up_speed", math.nan, korvane.InputError, '"30. Take-up speed (cm/s)"'),
    ("take_up_speed", math.inf, korvane.InputError, "Input value is not correct!"),
    ("take_up_speed", 10**400, korvane.InputError, "beyond the range"),
    ("filament_count", 2.5, korvane.InputError, "takes whole numbers"),
    ("filament_count", 2**31, korvane.InputError, "takes whole numbers"),
    ("filament_count", "30.0", korvane.InputError, '"29. Total number of filaments"'),
    ("take_up_speed", True, TypeError, "not True or False"),
    ("take_up_speed", [1], TypeError, "takes a number or a text"),
    (0, 1.0, KeyError, "numbered 1 to 51"),
    (10**30, 1.0, KeyError, "numbered 1 to 51"),
    ("take_up", 1.0, KeyError, "no input item is named"),
]


@pytest.mark.parametrize("item, value, error, words", REFUSED_ASSIGNMENTS)
def test_refused_assignments_name_the_item_and_change_nothing(item, value, error, words):
    case = korvane.Case()
    with pytest.raises(error, match=re.escape(words)) as raised:
        case[item] = value
    if error is korvane.InputError:
        assert raised.value.name == item
        with pytest.raises(error, match=re.escape(words)):  # by keyword as on assignment
            korvane.Case(**{item: value})
    assert case == korvane.Case()


def test_values_become_the_texts_a_run_reads():
    case = korvane.Case()
    case.take_up_speed = 900  # an int into a decimal item
    case.filament_count = 12.0  # a whole float into a whole-number item
    case[27] = np.float64(0.1) * 3  # numpy scalars, the shortest text that reads back
    case.increment_count_1 = np.int64(30)
    case.dope_density = " 1.31E0 "  # a text as the window would hold it
    case.viscosity_param_1 = 6000  # fixed items too
    assert case.text(4) == "6000"
    assert [case.text(n) for n in (30, 29, 27, 46, 1)] == ["900", "12", "0.30000000000000004", "30", " 1.31E0 "]
    assert (case.take_up_speed, case.filament_count, case[27], case.dope_density) == (900.0, 12, 0.1 * 3, 1.31)
    assert isinstance(case.filament_count, int)
    with pytest.raises(korvane.InputError, match="jacketed"):
        case.jacket_modes = ("jacketed", "cooled", "insulated")
    with pytest.raises(korvane.InputError, match="three modes"):
        case.jacket_modes = "jacketed"
    assert case.jacket_modes == ("insulated",) * 3
    with pytest.raises(AttributeError):
        case.no_such_item = 1.0


def test_refused_runs_raise_input_error_naming_the_item(tmp_path):
    # A data file may hold a text that does not convert; the run refuses it by name.
    data_file = tmp_path / "case.txt"
    korvane.Case().save(data_file)
    lines = data_file.read_bytes().split(b"\r\n")
    lines[29] = lines[29].replace(b"833.0", b"fast")
    data_file.write_bytes(b"\r\n".join(lines))
    case = korvane.Case.load(data_file)
    with pytest.raises(korvane.InputError, match=r'"30\. Take-up speed \(cm/s\)": Input value is not correct! \("fast"\)') as raised:
        korvane.run(case, 3.0)
    assert (raised.value.item, raised.value.name) == (30, "take_up_speed")
    assert raised.value.result.outcome == korvane.Outcome.INPUT_REFUSED
    with pytest.raises(korvane.InputError, match="Input value is not correct!"):
        case.take_up_speed  # noqa: B018 - reading it converts it
    # A value out of range that a data file brings is refused by the run in the words the
    # assignment uses.
    data_file.write_bytes(b"\r\n".join(lines).replace(b"fast", b"-5"))
    with pytest.raises(korvane.InputError) as by_run:
        korvane.run(korvane.Case.load(data_file))
    with pytest.raises(korvane.InputError) as by_assignment:
        korvane.Case().take_up_speed = -5
    assert str(by_run.value) == str(by_assignment.value)

    with pytest.raises(korvane.InputError, match='"initial tension"') as raised:
        korvane.run(korvane.Case(), "three")
    assert raised.value.name == "initial_tension"

    case = korvane.Case()
    case.increment_count_3 = 74  # 60 + 200 + 740 cm reaches the 1000 cm of jacket 3's end
    with pytest.raises(korvane.InputError, match='"Total spinning length" value should be smaller'):
        korvane.run(case, 3.0)

    with pytest.raises(TypeError, match="run takes a korvane.Case, not str"):
        korvane.run(str(data_file))
    (tmp_path / "short.txt").write_text("Density = 1.0\n")
    with pytest.raises(korvane.InputError, match="is not a correct data file!"):
        korvane.Case.load(tmp_path / "short.txt")
    case.dope_density = "1.0 "
    with pytest.raises(FileNotFoundError, match="Data file can not be saved!") as raised:
        case.save(tmp_path / "missing" / "case.txt")
    assert raised.value.filename == str(tmp_path / "missing" / "case.txt")

    with pytest.raises(ValueError, match='"classic" or "converged"'):
        korvane.run(korvane.Case(), 3.0, method="fast")


def test_materials_apply_and_refuse_as_the_batch_runner_does(tmp_path, batch_runner):
    default = os.path.join(os.path.dirname(__file__), "..", "..", "materials", "default.toml")
    case = korvane.Case()
    case.apply_material(default)
    assert case == korvane.Case()

    (tmp_path / "m.toml").write_text('name = "m"\nsource = "a test"\n[dope]\nviscosity_param_1 = 6e3\n')
    case.apply_material(tmp_path / "m.toml")
    assert (case.viscosity_param_1, case.text(4)) == (6000.0, "6000")

    (tmp_path / "bad.toml").write_text('name = "m"\nsource = "a test"\ntake_up_speed = 900\n')
    with pytest.raises(korvane.InputError) as raised:
        case.apply_material(tmp_path / "bad.toml")
    done = subprocess.run([batch_runner, "--initial-tension", "3", "--material", str(tmp_path / "bad.toml")],
                          capture_output=True, text=True, cwd=tmp_path)
    assert done.returncode == 2
    assert str(raised.value) + "\n" == done.stderr
    assert "take_up_speed (item 30) is not a material property" in done.stderr
    with pytest.raises(FileNotFoundError, match="missing.toml"):
        case.apply_material(tmp_path / "missing.toml")
    assert (case.viscosity_param_1, case.take_up_speed) == (6000.0, 833.0)
    # A data file does not keep fixed items: saving one that differs would lose it.
    with pytest.raises(korvane.InputError, match=r"viscosity_param_1 \(item 4\) is fixed"):
        case.save(tmp_path / "case.txt")
    assert not (tmp_path / "case.txt").exists()
    # A case file keeps them, every text as typed, the jackets and the initial tension, and runs
    # in the batch runner as it does here.
    case.filament_count = "0x30"
    case.dope_output = "3.43E-2"
    case.jacket_modes = ("jacketed", "insulated", "jacketed")
    case.initial_tension = "2.5"
    case.save(tmp_path / "case.toml")
    loaded = korvane.Case.load(tmp_path / "case.toml")
    assert loaded == case and (loaded.text(29), loaded.text(26), loaded.text("initial_tension")) == ("0x30", "3.43E-2", "2.5")
    assert loaded.initial_tension == 2.5
    case.save(tmp_path / "case.txt", format="case")
    assert (tmp_path / "case.txt").read_bytes() == (tmp_path / "case.toml").read_bytes()
    done = subprocess.run([batch_runner, "case.toml", "-o", "batch.txt"], capture_output=True, text=True, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    korvane.run(loaded).write_result_file(tmp_path / "module.txt")  # from the case's own tension
    assert (tmp_path / "module.txt").read_bytes() == (tmp_path / "batch.txt").read_bytes()


def test_property_laws_run_with_the_case_wherever_it_goes(tmp_path, batch_runner):
    # The vapour pressure written as its built-in law gives the built-in run; a law that changes
    # it changes the run, in the module as in the batch runner, and goes with every copy of the
    # case: a pickle (a study's workers), a case file, the result file; a data file cannot keep it.
    (tmp_path / "m.toml").write_text(
        'name = "m"\nsource = "a test"\n[laws]\n'
        'vapor_pressure = "10^(vapor_pressure_param_1 - vapor_pressure_param_2 / (t + vapor_pressure_param_3))"\n')
    case = korvane.Case()
    case.apply_material(tmp_path / "m.toml")
    assert list(case.laws) == ["vapor_pressure"] and case != korvane.Case()
    assert korvane.run(case, 3.0).spinneret_tension == korvane.run(korvane.Case(), 3.0).spinneret_tension
    (tmp_path / "m.toml").write_text('name = "m"\nsource = "a test"\n[laws]\nvapor_pressure = "a * 10^(5.116 - 2024.7 / (t + 230))"\n'
                                     '[laws.constants]\na = 0.9\n')
    case.apply_material(tmp_path / "m.toml")
    assert case.law_constants == {"a": 0.9}
    assert pickle.loads(pickle.dumps(case)).law_constants == case.law_constants
    assert pickle.loads(pickle.dumps(case)) == case
    assert korvane.Case.from_dict(json.loads(json.dumps(case.to_dict()))) == case
    assert case.frozen().thaw() == case and case.frozen() == case
    other = case.copy()
    other.law_constants = {"a": 0.8}
    assert other != case and other.frozen() != case.frozen()
    with pytest.raises(korvane.InputError, match="is an item's name"):
        other.law_constants = {"take_up_speed": 1.0}
    with pytest.raises(korvane.InputError, match="takes a number"):
        other.law_constants = {"a": "0.9"}
    r = korvane.run(case, 3.0)
    assert r.outcome == korvane.Outcome.SUCCESS and r.spinneret_tension != korvane.run(korvane.Case(), 3.0).spinneret_tension
    with pytest.raises(korvane.InputError, match="a data file does not keep them"):
        case.save(tmp_path / "case.txt")
    case.save(tmp_path / "case.toml")
    assert korvane.Case.load(tmp_path / "case.toml") == case
    done = subprocess.run([batch_runner, "case.toml", "-o", "batch.txt"], capture_output=True, text=True, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    r.write_result_file(tmp_path / "module.txt")
    assert (tmp_path / "module.txt").read_bytes() == (tmp_path / "batch.txt").read_bytes()
    assert b"Property laws given as formulas:\r\n  vapor_pressure = a * 10^" in (tmp_path / "batch.txt").read_bytes()
    assert (tmp_path / "batch.txt").read_bytes().endswith(b"\r\nLaw constants:\r\n  a = 0.9\r\n")
    with pytest.warns(UserWarning, match="jacket modes"):
        loaded = korvane.Case.load(tmp_path / "batch.txt")  # a result file read as a case
    assert loaded.laws == case.laws and loaded.law_constants == case.law_constants


def test_writers_refuse_what_the_batch_runner_refuses(tmp_path, batch_runner):
    r = korvane.run(korvane.Case(), 3.0)
    # A pipe nobody reads is not waited for, nor replaced by a file.
    pipe = tmp_path / "pipe"
    os.mkfifo(pipe)
    done = subprocess.run([batch_runner, "--initial-tension", "3.0", "-o", str(pipe)],
                          capture_output=True, text=True, timeout=120)
    assert (done.returncode, done.stderr) == (4, "Result file can not open!\n")
    with pytest.raises(OSError, match="^Result file can not open!$"):
        r.write_result_file(pipe)
    assert korvane.run(korvane.Case(), 3.0, result_file=pipe).messages == [
        "Result file can not open!"
    ]
    assert stat.S_ISFIFO(os.stat(pipe).st_mode)
    # The initial tension file every run reads is an input, never an output.
    tension = "/var/lib/korvane/TensKRVN.txt"
    done = subprocess.run([batch_runner, "-o", tension], capture_output=True, text=True,
                          timeout=120)
    words = f'"{tension}" is the initial tension file "{tension}", which it would overwrite.'
    assert done.returncode == 2 and words in done.stderr
    for write in (
        lambda: r.write_result_file(tension),
        lambda: korvane.run(korvane.Case(), result_file=tension),
        lambda: korvane.Case().save(tension),
    ):
        with pytest.raises(ValueError, match=re.escape(words + " Nothing was written.")):
            write()
    # A write-protected file stays, even in a folder that would let a replacement in.
    kept = tmp_path / "kept.txt"
    kept.write_bytes(b"earlier")
    kept.chmod(0o444)
    if os.access(kept, os.W_OK):
        pytest.skip("file permissions do not hold for this user (the superuser)")
    with pytest.raises(OSError, match="^Result file can not open!$"):
        r.write_result_file(kept)
    assert kept.read_bytes() == b"earlier"


@pytest.fixture
def small_disk(tmp_path):
    """A file system of 64 KiB under tmp_path, which only the superuser may mount."""
    disk = tmp_path / "disk"
    disk.mkdir()
    if os.geteuid() != 0:
        pytest.skip("filling a small file system of its own takes the superuser")
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(disk)],
                             capture_output=True, text=True)
    if mounted.returncode != 0:
        pytest.skip(f"no small file system could be mounted: {mounted.stderr.strip()}")
    try:
        yield disk
    finally:
        subprocess.run(["umount", "-l", str(disk)], check=False)


def test_a_full_disk_keeps_the_earlier_result_file(small_disk):
    target = small_disk / "r.txt"
    assert korvane.run(korvane.Case(), 3.0, result_file=target).outcome == korvane.Outcome.SUCCESS
    earlier = target.read_bytes()
    # Four times the points of the first two sections: some 45 KB more than the disk holds.
    finer = korvane.Case()
    for number, text in {41: "0.5", 46: "120", 42: "1.25", 47: "160"}.items():
        finer[number] = text
    r = korvane.run(finer, 3.0, result_file=target)
    assert r.outcome == korvane.Outcome.RESULT_FILE_FAILED
    assert r.messages[-2:] == [
        "Result file could not be written: No space left on device",
        f'"{target}" keeps its earlier contents.',
    ]
    big = korvane.run(finer, 3.0)
    with pytest.raises(OSError, match="No space left on device"):
        big.write_result_file(target)
    assert target.read_bytes() == earlier
    assert [path.name for path in small_disk.iterdir()] == ["r.txt"]


# The converged method at a loose tolerance: (options, the spinneret tension the method
# converges to in dyn (None: not known here), radial intervals (None: the automatic grid)).
CONVERGED_RUNS = {
    "automatic radial grid": ({}, 3.9896, None),
    "classic radial model": ({"radial_intervals": 10}, 3.47834, 10),
    # Below the default line's end tension (163 dyn): a slower end than the take-up speed.
    "take-up tension": ({"take_up_tension": 120.0}, None, None),
}


@pytest.mark.parametrize("name", CONVERGED_RUNS)
def test_converged_runs_find_the_answer_within_their_reported_error(name):
    options, answer, intervals = CONVERGED_RUNS[name]
    r = korvane.run(korvane.Case(), 3.0, "converged", tolerance=1e-3, **options)
    assert r.outcome == korvane.Outcome.SUCCESS, r.messages
    c = r.converged
    assert c.spinneret_tension == r.spinneret_tension == r.profile["tension"][0]
    if answer is not None:
        assert abs(r.spinneret_tension - answer) <= c.estimated_tension_error
    if "take_up_tension" in options:
        assert r.end_values["tension"] == pytest.approx(options["take_up_tension"], rel=1e-3)
        assert r.end_values["filament_velocity"] < 0.9 * korvane.Case().take_up_speed
    else:
        assert r.end_values["filament_velocity"] == pytest.approx(korvane.Case().take_up_speed, rel=1e-3)
    assert c.estimated_tension_error == pytest.approx(c.estimated_relative_tension_error * c.spinneret_tension)
    if intervals is None:  # refined at the surface until the tolerance is met
        assert (c.tolerance_met, c.surface_clustered) == (True, True) and c.radial_intervals >= 64
        assert c.estimated_relative_tension_error < 1e-3
    else:
        assert (c.radial_intervals, c.surface_clustered) == (intervals, False)
    assert c.tolerance == 1e-3 and c.passes == r.passes and 0 < c.search_passes <= c.passes
    assert 0 < c.steps <= c.rhs_evaluations and c.seconds > 0
    assert abs(c.solvent_balance_error) < 1e-3
    assert korvane.run(korvane.Case(), 3.0).converged is None


def test_sensitivities_map_each_item_to_its_derivatives_and_are_refused_where_they_cannot_be():
    case = korvane.Case()
    r = korvane.run(case, 3.0, "converged", tolerance=1e-3, radial_intervals=10,
                    sensitivities=[30, "diffusion_param_2"])
    assert r.outcome == korvane.Outcome.SUCCESS, r.messages
    assert list(r.sensitivities) == ["take_up_speed", "diffusion_param_2"]
    speed = r.sensitivities["take_up_speed"]
    assert speed.item == "take_up_speed" and speed.point_count == r.point_count
    assert speed.spinneret_tension == speed["tension"][0] > 0
    assert speed.units["tension"] == "dyn per cm/s"
    assert speed.units["average_solvent_fraction"] == "1 per cm/s"
    assert set(speed) == set(r.profile) - {"z", "filament_area", "stress"}
    # The end meets the take-up speed whatever it is.
    assert speed["filament_velocity"][-1] == pytest.approx(1.0, rel=1e-3)
    assert r.sensitivities["diffusion_param_2"]["filament_velocity"][-1] == pytest.approx(0, abs=1e-6)
    assert korvane.run(case, 3.0, "converged", tolerance=1e-3).sensitivities is None

    for options, error, words in [
        ({"method": "classic", "sensitivities": ["take_up_speed"]}, ValueError,
         "sensitivities are an option of the converged method"),
        ({"sensitivities": ["filament_count"]}, ValueError, r"filament_count \(item 29\) is a whole"),
        ({"sensitivities": [41]}, ValueError, r"increment_1 \(item 41\) lays out the print points"),
        ({"sensitivities": ["speed"]}, ValueError, '"speed" is no input item'),
        ({"sensitivities": "take_up_speed"}, TypeError, "sensitivities takes a list"),
        ({"sensitivities": [30.0]}, TypeError, "sensitivities takes item names or numbers"),
    ]:
        with pytest.raises(error, match=words):
            korvane.run(case, 3.0, **{"method": "converged", **options})


REFUSED_OPTIONS = [
    # (options of run(), exception, words of the message)
    ({"method": "fast"}, ValueError, '"classic" or "converged"'),
    ({"tolerance": 1e-9}, ValueError, "tolerance is a relative accuracy from 1e-08 to 0.01"),
    ({"tolerance": 0.02}, ValueError, "tolerance"),
    ({"tolerance": math.nan}, ValueError, "tolerance"),
    ({"tolerance": "1e-3"}, TypeError, "tolerance takes a number"),
    ({"radial_intervals": 1}, ValueError, "radial_intervals is from 2 to 512"),
    ({"radial_intervals": 513}, ValueError, "radial_intervals"),
    ({"radial_intervals": 10.0}, TypeError, "radial_intervals takes a whole number"),
    ({"radial_intervals": True}, TypeError, "radial_intervals"),
    ({"method": "classic", "radial_intervals": 10}, ValueError, "radial_intervals is an option of the converged"),
    ({"take_up_tension": 0.0}, ValueError, "take_up_tension is a tension above zero"),
    ({"take_up_tension": -1}, ValueError, "take_up_tension"),
    ({"take_up_tension": math.inf}, ValueError, "take_up_tension"),
    ({"take_up_tension": [1.0]}, TypeError, "take_up_tension takes a number"),
    ({"method": "classic", "take_up_tension": 5.0}, ValueError, "take_up_tension is an option of the converged"),
]


@pytest.mark.parametrize("options, error, words", REFUSED_OPTIONS)
def test_refused_method_options_name_the_argument_before_any_case_runs(options, error, words):
    options = {"method": "converged", **options}
    with pytest.raises(error, match=words):
        korvane.run(korvane.Case(), 3.0, **options)
    with pytest.raises(error, match=words):
        korvane.study(korvane.Case(), {"take_up_speed": [833.0]}, initial_tension=3.0, **options)


def test_threads_run_cases_in_parallel_with_the_results_of_one_by_one():
    cases = []
    for speed in (600, 700, 833, 900, 1000, 200):
        case = korvane.Case()
        case.take_up_speed = speed
        cases.append(case)
    serial = [korvane.run(case, 3.0) for case in cases]
    with ThreadPoolExecutor(3) as pool:
        parallel = list(pool.map(lambda case: korvane.run(case, 3.0), cases))
    for one, other in zip(serial, parallel):
        assert (one.outcome, one.passes, one.messages) == (other.outcome, other.passes, other.messages)
        assert one.result_file_bytes == other.result_file_bytes
        for key in one.profile:
            np.testing.assert_array_equal(one.profile[key], other.profile[key])


def test_a_run_releases_the_interpreter_and_is_cancelled_from_another_thread():
    # About 30 passes over 1921 points: this thread wakes from its short sleep, and cancels the
    # run long before its end, only if the run lets go of the interpreter.
    case = korvane.Case()
    case.take_up_speed = 20000
    for number, value in {41: 0.5, 46: 120, 42: 0.5, 47: 400, 43: 0.5, 48: 800, 44: 0.25, 49: 600}.items():
        case[number] = value
    token = korvane.CancelToken()
    started = threading.Event()
    results = []

    def long_run():
        started.set()
        results.append(korvane.run(case, 3.0, cancel=token))

    worker = threading.Thread(target=long_run)
    worker.start()
    started.wait(10)
    time.sleep(0.02)
    token.cancel()
    worker.join(60)
    (r,) = results
    assert r.cancelled and r.outcome == korvane.Outcome.CALCULATION_FAILED
    assert 1 <= r.passes < 20
    assert r.messages == ["Calculation cancelled."]
    token.reset()
    assert korvane.run(case, 3.0, cancel=token).outcome == korvane.Outcome.SUCCESS


def test_ctrl_c_cancels_a_run_within_its_pass_and_raises_keyboard_interrupt():
    # The converged method at its finest tolerance runs for several seconds; the interrupt
    # must not wait for its end.
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        korvane.run(korvane.Case(), 3.0, "converged", tolerance=1e-8)
    assert time.monotonic() - started < 3
    timer.join()
    # The next run is not disturbed.
    assert korvane.run(korvane.Case(), 3.0).outcome == korvane.Outcome.SUCCESS


def _reassigned():
    case = korvane.Case(take_up_speed=900)
    case.take_up_speed = 833
    return case


_LAW = {"vapor_pressure": "0.9 * 10^(5.116 - 2024.7 / (t + 230))"}
_TWO_LAWS = _LAW | {"gas_conductivity": "1e-4 * (1 + tf / 273)"}


# A case as a value: (what is built, what it must equal).
CASE_VALUES = {
    "keywords": (lambda: korvane.Case(take_up_speed=900, gas_inlet_temperature=260, initial_tension=5),
                 lambda: korvane.Case.from_dict(make_case({30: "900", 19: "260"}, None).to_dict() | {"initial_tension": 5.0})),
    "dict round trip": (lambda: korvane.Case.from_dict(korvane.Case(filament_count=12, jacket_modes=["jacketed"] * 3).to_dict()),
                        lambda: korvane.Case(filament_count=12, jacket_modes=("jacketed",) * 3)),
    "JSON round trip": (lambda: korvane.Case.from_dict(json.loads(json.dumps(korvane.Case(dope_output=0.03, initial_tension="2.5").to_dict()))),
                        lambda: korvane.Case(dope_output="3.0E-2", initial_tension=2.5)),
    "dict(case)": (lambda: dict(korvane.Case()), lambda: {item["name"]: item["default"] for item in korvane.items()}),
    "list(case)": (lambda: list(korvane.Case()), lambda: [item["name"] for item in korvane.items()]),
    "items()": (lambda: korvane.Case().items()[29], lambda: ("take_up_speed", 833.0)),
    "equal by value": (_reassigned, korvane.Case),
    "texts of one value": (lambda: korvane.Case(take_up_speed=" 8.33E2 ", filament_count="48"), korvane.Case),
    "frozen equals the case": (lambda: korvane.Case(take_up_speed=900).frozen(), lambda: korvane.Case(take_up_speed=900)),
    "frozen hashes by value": (lambda: {_reassigned().frozen(), korvane.Case().frozen()}, lambda: {korvane.Case().frozen()}),
    "frozen thaws": (lambda: korvane.Case(take_up_speed=900).frozen().thaw(), lambda: korvane.Case(take_up_speed=900)),
    "frozen pickles": (lambda: pickle.loads(pickle.dumps(korvane.Case(take_up_speed=900).frozen())).take_up_speed, lambda: 900.0),
    "initial tension pickles": (lambda: pickle.loads(pickle.dumps(korvane.Case(initial_tension=4))).initial_tension, lambda: 4.0),
    # Laws go wherever the case goes: a frozen copy or a dict that dropped them would run the
    # built-in laws.
    "laws in a JSON round trip": (lambda: korvane.Case.from_dict(json.loads(json.dumps(korvane.Case(laws=_LAW).to_dict()))).laws, lambda: _LAW),
    "laws in a frozen copy": (lambda: korvane.Case(laws=_LAW).frozen().thaw(), lambda: korvane.Case(laws=_LAW)),
    "laws tell frozen copies apart": (lambda: korvane.Case(laws=_LAW).frozen() == korvane.Case().frozen(), lambda: False),
    "laws in any order": (lambda: korvane.Case(laws=dict(reversed(_TWO_LAWS.items()))), lambda: korvane.Case(laws=_TWO_LAWS)),
    "laws in any order, frozen": (lambda: korvane.Case(laws=dict(reversed(_TWO_LAWS.items()))).frozen(), lambda: korvane.Case(laws=_TWO_LAWS).frozen()),
}


@pytest.mark.parametrize("name", CASE_VALUES)
def test_a_case_is_a_value(name):
    built, expected = CASE_VALUES[name]
    value = built()
    assert value == expected()
    if isinstance(value, korvane.Case):
        assert value != korvane.Case(take_up_speed=901)
        with pytest.raises(TypeError):
            hash(value)  # it changes; case.frozen() hashes


REFUSED_CASES = [
    # (what is done, exception, words of the message)
    (lambda: korvane.Case(take_up=900), TypeError, 'no input item named "take_up"'),
    (lambda: korvane.Case.from_dict({"take_up_speed": -5}), korvane.InputError, "must be greater than 0"),
    (lambda: korvane.Case(jacket_modes="jacketed"), korvane.InputError, "three modes"),
    (lambda: korvane.Case(initial_tension=0), korvane.InputError, '"Assumed initial tension (dyn)" must be greater than 0.'),
    (lambda: korvane.Case(initial_tension="three"), korvane.InputError, "Input value is not correct!"),
    (lambda: setattr(korvane.Case().frozen(), "take_up_speed", 900), AttributeError, "does not change"),
    (lambda: korvane.Case(laws={"vapour_pressure": "0.5"}), korvane.InputError, "vapour_pressure"),
    (lambda: korvane.Case(laws={"vapor_pressure": "0.5 * tt"}), korvane.InputError, "vapor_pressure"),
    (lambda: korvane.run({"take_up_speed": 900}), TypeError, "run takes a korvane.Case, not dict"),
    (lambda: korvane.study("case.txt", {"take_up_speed": [900]}), TypeError, "study takes a korvane.Case, not str"),
]


@pytest.mark.parametrize("action, error, words", REFUSED_CASES)
def test_refused_cases_say_why(action, error, words):
    with pytest.raises(error, match=re.escape(words)):
        action()


def test_a_run_starts_from_the_case_s_own_initial_tension():
    own = korvane.run(korvane.Case(initial_tension=5))
    assert own.result_file_bytes == korvane.run(korvane.Case(), 5.0).result_file_bytes
    assert korvane.run(korvane.Case()).result_file_bytes == korvane.run(korvane.Case(), "3.0").result_file_bytes
    assert korvane.Case().initial_tension == 3.0


def _unreadable(path):
    path.write_text("Density = 1.0\n")
    path.chmod(0)
    if os.access(path, os.R_OK):
        pytest.skip("file permissions do not hold for this user (the superuser)")
    return path


# Files a case cannot be loaded from: (how the path is made, the OSError, its errno).
FILE_ERRORS = {
    "missing": (lambda folder: folder / "missing.txt", FileNotFoundError, errno.ENOENT),
    "missing folder": (lambda folder: folder / "nowhere" / "case.toml", FileNotFoundError, errno.ENOENT),
    "a folder": (lambda folder: folder, IsADirectoryError, errno.EISDIR),
    "unreadable": (lambda folder: _unreadable(folder / "secret.txt"), PermissionError, errno.EACCES),
}


@pytest.mark.parametrize("name", FILE_ERRORS)
def test_file_errors_name_the_path_and_the_system_error(name, tmp_path):
    made, error, number = FILE_ERRORS[name]
    path = made(tmp_path)
    with pytest.raises(error) as raised:
        korvane.Case.load(path)
    assert (raised.value.errno, raised.value.filename) == (number, str(path))
    assert str(path) in str(raised.value)


def test_the_package_shows_its_version_and_no_borrowed_names(batch_runner):
    done = subprocess.run([batch_runner, "--version"], capture_output=True, text=True, check=True)
    assert done.stdout == f"korvane-batch {korvane.__version__}\n"
    assert not {"np", "os", "math", "Mapping", "dataclass", "operator", "annotations", "html"} & set(dir(korvane))
    assert set(korvane.__all__) <= set(dir(korvane))


def test_items_carry_units_numeric_defaults_and_what_they_mean():
    rows = korvane.items()
    assert [row["number"] for row in rows] == list(range(1, 52))
    for row in rows:
        assert row["unit"] and row["meaning"], row["name"]
        kind = int if row["whole_number"] else float
        assert type(row["default"]) is kind and korvane.Case()[row["name"]] == row["default"]
        doc = getattr(korvane.Case, row["name"]).__doc__
        assert row["meaning"] in doc and row["unit"] in doc and "docs/model.md" in doc
    by_name = {row["name"]: row for row in rows}
    assert (by_name["take_up_speed"]["unit"], by_name["gas_inlet_temperature"]["unit"]) == ("cm/s", "degC")
    assert "eta_0" in by_name["viscosity_param_3"]["meaning"]  # the formula it enters


def test_profiles_are_read_only_and_tables_carry_units():
    r = korvane.run(korvane.Case())
    for array in (r.profile["z"], r.profile.radial_solvent):
        with pytest.raises(ValueError, match="read-only"):
            array[0] = 99
    assert r.profile["z"][0] == 0 and korvane.run(korvane.Case()).profile["z"][0] == 0
    frame = r.profile.to_pandas(units_in_names=True)
    assert frame.index.name == "z (cm)" and "gas_temperature (degC)" in frame.columns
    assert frame.attrs["units"]["gas_temperature"] == "degC"
    data = r.profile.to_xarray()
    np.testing.assert_array_equal(data["z"], r.profile["z"])
    assert data["tension"].dims == ("z",) and data["tension"].attrs["units"] == "dyn"
    np.testing.assert_array_equal(data["tension"], r.profile["tension"])


def test_notebooks_show_what_differs_and_the_answer():
    shown = korvane.Case(take_up_speed=900, initial_tension=4)._repr_html_()
    assert "take_up_speed" in shown and "cm/s" in shown and "900" in shown and "initial_tension" in shown
    assert "dope_density" not in shown and "default case" in korvane.Case()._repr_html_()
    c = korvane.run(korvane.Case(), method="converged", tolerance=1e-3, radial_intervals=10)
    shown = c._repr_html_()
    assert "SUCCESS" in shown and f"{c.spinneret_tension:.6g} &plusmn;" in shown
    assert "filament velocity" in shown and "cm/s" in shown


def _readme_blocks(section):
    readme = (Path(__file__).parents[2] / "README.md").read_text(encoding="utf-8")
    text = readme.split(f"\n## {section}\n", 1)[1].split("\n## ", 1)[0]
    return re.findall(r"```python\n(.*?)```", text, re.S)


@pytest.mark.parametrize("section", ["Using Korvane from Python", "Sensitivities and fitting"])
def test_the_readme_s_python_runs_as_written(section, tmp_path, monkeypatch):
    if section == "Sensitivities and fitting":
        pytest.importorskip("scipy")
    (tmp_path / "examples").symlink_to(Path(__file__).parents[2] / "examples")
    monkeypatch.chdir(tmp_path)
    blocks = _readme_blocks(section)
    assert blocks
    namespace = {}
    for block in blocks:
        if "scheduler-host" in block:  # needs a Dask cluster of its own
            continue
        exec(compile(block, f"README.md ({section})", "exec"), namespace)
