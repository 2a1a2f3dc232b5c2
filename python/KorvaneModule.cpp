// The korvane Python module: cases by item name or number, one run, and the tables of items and
// profile columns that the Python side builds its names from.
#include <fcntl.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>

#include "files/CaseFile.h"
#include "files/DataFile.h"
#include "files/DataFileWriter.h"
#include "files/FileBytes.h"
#include "files/InitialTensionFile.h"
#include "files/MaterialFile.h"
#include "files/NumberText.h"
#include "files/OutputPaths.h"
#include "files/ProfileCsv.h"
#include "files/ResultFile.h"
#include "inputs/FieldTexts.h"
#include "inputs/ParameterItems.h"
#include "inputs/PropertyLawFormulas.h"
#include "inputs/RangeChecks.h"
#include "inputs/SensitivityItems.h"
#include "inputs/TextConversion.h"
#include "python/CaseRun.h"
#include "python/FitBinding.h"  // korvane.fit

namespace py = pybind11;

namespace korvane {
namespace {

constexpr const char* kJacketed = "jacketed";
constexpr const char* kInsulated = "insulated";

// korvane.InputError, made when the module is imported and kept for the life of the
// interpreter (a static py::object would be released after the interpreter has gone).
PyObject* gInputError = nullptr;

py::handle InputErrorType() {
  return gInputError;
}

// Raises korvane.InputError with the message and, when one item is at fault, its number and
// script name as attributes.
[[noreturn]] void RaiseInputError(const std::string& message, const ParameterItem* item = nullptr) {
  py::object error = InputErrorType()(message);
  error.attr("item") = item ? py::object(py::int_(item->Number)) : py::object(py::none());
  error.attr("name") = item ? py::object(py::str(ItemName(*item))) : py::object(py::none());
  PyErr_SetObject(InputErrorType().ptr(), error.ptr());
  throw py::error_already_set();
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

const ParameterItem& ItemOf(const py::handle& key) {
  if (py::isinstance<py::str>(key)) {
    const std::string name = key.cast<std::string>();
    if (const ParameterItem* item = ItemByName(name)) return *item;
    throw py::key_error("no input item is named " + Quoted(name));
  }
  if (PyIndex_Check(key.ptr()) && !py::isinstance<py::bool_>(key)) {
    const py::int_ number = py::reinterpret_borrow<py::object>(key);
    for (int k = 1; k <= kItemCount; ++k)
      if (number.equal(py::int_(k))) return ItemByNumber(k);
    throw py::key_error("input items are numbered 1 to 51, not " +
                        py::repr(number).cast<std::string>());
  }
  throw py::type_error("an input item is given by its number (1 to 51) or its name");
}

const std::string& TextOf(const FieldTexts& texts, const ParameterItem& item) {
  return texts.Items[static_cast<size_t>(item.Number - 1)];
}

// The value of an item's text: a float, or an int for the whole-number items.
py::object ItemValueOf(const FieldTexts& texts, const ParameterItem& item) {
  const std::string& text = TextOf(texts, item);
  if (const std::optional<double> value = ConvertItemText(item, text)) {
    if (item.Type == ItemType::Int32) return py::int_(static_cast<int32_t>(*value));
    return py::float_(*value);
  }
  RaiseInputError(
      Quoted(ItemDisplayName(item)) + ": " + kInputValueNotCorrect + " (" + Quoted(text) + ")",
      &item);
}

// The field text for a value given from Python: a text as it is, a number as the shortest text
// that reads back to it (whole numbers for the whole-number items).
std::string TextForValue(const ParameterItem& item, const py::handle& value) {
  const std::string name = Quoted(ItemDisplayName(item));
  if (py::isinstance<py::str>(value)) {
    const std::string text = value.cast<std::string>();
    if (!ConvertItemText(item, text))
      RaiseInputError(name + ": " + kInputValueNotCorrect + " (" + Quoted(text) + ")", &item);
    return text;
  }
  if (py::isinstance<py::bool_>(value))
    throw py::type_error(name + " takes a number or a text, not True or False");
  double number = 0;
  if (PyIndex_Check(value.ptr())) {
    const py::int_ whole = py::reinterpret_borrow<py::object>(value);
    if (item.Type == ItemType::Int32) {
      long long v = 0;
      try {
        v = whole.cast<long long>();
      } catch (const py::cast_error&) {
        v = INT64_MAX;
      }
      if (v < INT32_MIN || v > INT32_MAX)
        RaiseInputError(name + " takes whole numbers from -2147483648 to 2147483647", &item);
      return std::to_string(v);
    }
    number = PyLong_AsDouble(whole.ptr());
    if (number == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      RaiseInputError(name + ": " + kInputValueNotCorrect + " (beyond the range of numbers)",
                      &item);
    }
  } else if (PyFloat_Check(value.ptr()) || py::hasattr(value, "__float__")) {
    number = py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
  } else {
    throw py::type_error(name + " takes a number or a text");
  }
  if (!std::isfinite(number))
    RaiseInputError(name + ": " + kInputValueNotCorrect + " (" + ShortestText(number) + ")", &item);
  if (item.Type == ItemType::Int32) {
    if (number != std::floor(number) || std::fabs(number) > 2147483647.0)
      RaiseInputError(name + " takes whole numbers; " + ShortestText(number) + " is not one",
                      &item);
    return std::to_string(static_cast<int64_t>(number));
  }
  return ShortestText(number);
}

// Sets an item, refusing a value outside the item's bound with the InputError a run would raise.
void SetItem(FieldTexts& texts, const ParameterItem& item, const py::handle& value) {
  std::string text = TextForValue(item, value);
  if (const std::optional<double> number = ConvertItemText(item, text))
    if (const std::optional<std::string> problem = ItemRangeProblem(item, *number))
      RaiseInputError(Quoted(ItemDisplayName(item)) + ": " + *problem + " (" + Quoted(text) + ")",
                      &item);
  texts.Items[static_cast<size_t>(item.Number - 1)] = std::move(text);
}

// The value of a case's own initial tension (dyn).
double InitialTensionValue(const FieldTexts& texts) {
  double value = 0;
  if (!ConvertDecimal(texts.InitialTensionText, value))
    RaiseInputError(std::string("\"initial tension\": ") + kInputValueNotCorrect + " (" +
                    Quoted(texts.InitialTensionText) + ")");
  return value;
}

// Sets a case's initial tension from a number or a text, refused as a run refuses it.
void SetInitialTension(FieldTexts& texts, const py::handle& value) {
  std::string text;
  if (py::isinstance<py::str>(value)) {
    text = value.cast<std::string>();
  } else if (py::isinstance<py::bool_>(value) ||
             !(PyIndex_Check(value.ptr()) || py::hasattr(value, "__float__"))) {
    throw py::type_error("initial_tension takes a number in dyn or a text");
  } else {
    text = ShortestText(py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>());
  }
  double number = 0;
  if (!ConvertDecimal(text, number) || !std::isfinite(number))
    RaiseInputError(std::string("\"initial tension\": ") + kInputValueNotCorrect + " (" +
                    Quoted(text) + ")");
  if (!(number > 0))
    RaiseInputError(std::string("\"initial tension\": \"") + kInitialTensionLabel +
                    "\" must be greater than 0. (" + Quoted(text) + ")");
  texts.InitialTensionText = std::move(text);
}

// Name and text pairs in the order of their names: laws and constants are the same whatever
// order a file or a dict gave them in.
std::vector<std::pair<std::string, std::string>> ByName(
    std::vector<std::pair<std::string, std::string>> pairs) {
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

// Two cases are equal when every item has the same value (texts that do not convert: the same
// text), the same jacket modes, the same property laws and constants (in any order) and the
// same initial tension.
bool SameCase(const FieldTexts& a, const FieldTexts& b) {
  if (a.Jacketed != b.Jacketed || ByName(a.Laws) != ByName(b.Laws)) return false;
  const auto constantsA = ByName(a.LawConstants), constantsB = ByName(b.LawConstants);
  if (constantsA.size() != constantsB.size()) return false;
  for (size_t k = 0; k < constantsA.size(); ++k) {
    const auto& [name, text] = constantsA[k];
    if (name != constantsB[k].first) return false;
    if (text == constantsB[k].second) continue;
    const std::optional<double> u = FiniteNumber(text);
    if (!u || u != FiniteNumber(constantsB[k].second)) return false;
  }
  for (const ParameterItem& item : ParameterItems()) {
    const std::string& x = TextOf(a, item);
    const std::string& y = TextOf(b, item);
    if (x == y) continue;
    const std::optional<double> u = ConvertItemText(item, x);
    if (!u || u != ConvertItemText(item, y)) return false;
  }
  if (a.InitialTensionText == b.InitialTensionText) return true;
  double u = 0, v = 0;
  return ConvertDecimal(a.InitialTensionText, u) && ConvertDecimal(b.InitialTensionText, v) &&
         u == v;
}

py::tuple JacketModes(const FieldTexts& texts) {
  py::tuple modes(kJacketCount);
  for (size_t j = 0; j < kJacketCount; ++j) modes[j] = texts.Jacketed[j] ? kJacketed : kInsulated;
  return modes;
}

void SetJacketModes(FieldTexts& texts, const py::object& modes) {
  if (py::isinstance<py::str>(modes) || !py::isinstance<py::sequence>(modes) ||
      py::len(modes) != kJacketCount)
    RaiseInputError("jacket_modes takes three modes, each \"jacketed\" or \"insulated\"");
  std::array<bool, kJacketCount> jacketed{};
  for (size_t j = 0; j < kJacketCount; ++j) {
    const py::object mode = modes[py::int_(j)];
    const std::string text = py::isinstance<py::str>(mode) ? mode.cast<std::string>() : "";
    if (text != kJacketed && text != kInsulated)
      RaiseInputError("Jacket-" + std::to_string(j + 1) +
                      " is \"jacketed\" or \"insulated\", not " +
                      py::repr(mode).cast<std::string>());
    jacketed[j] = text == kJacketed;
  }
  texts.Jacketed = jacketed;
}

// A case of the worked default with the items, jacket_modes and initial_tension given by name.
// Sets the case's property laws from a mapping of law name to formula (an empty one: the
// built-in laws); every law is compiled first, and the first that does not compile is refused
// with InputError, leaving the case as it was.
void SetLaws(FieldTexts& texts, const py::handle& laws) {
  if (!py::isinstance<py::dict>(laws))
    throw py::type_error(
        "laws must be a dict of law name to formula, such as "
        "{\"vapor_pressure\": \"exp(...)\"}");
  PropertyLawTexts given;
  for (const auto& [name, formula] : laws.cast<py::dict>()) {
    if (!py::isinstance<py::str>(name) || !py::isinstance<py::str>(formula))
      throw py::type_error("laws must map law names to formulas, both texts");
    given.emplace_back(name.cast<std::string>(), formula.cast<std::string>());
  }
  for (const auto& [name, formula] : given)
    if (std::optional<std::string> problem = PropertyLawProblem(name, formula, texts.LawConstants))
      RaiseInputError(*problem);
  texts.Laws = std::move(given);
}

py::dict LawConstantsOf(const FieldTexts& texts) {
  py::dict constants;
  for (const auto& [name, text] : texts.LawConstants) {
    const std::optional<double> value = FiniteNumber(text);
    constants[py::str(name)] = value ? py::cast(*value) : py::cast(text);
  }
  return constants;
}

// Sets the constants the case's laws use from a mapping of name to number (an empty one: none);
// a name that may not name a constant, or a value that is no finite number, is refused with
// InputError, leaving the case as it was. The laws are not checked again: a law that names a
// constant no longer given is refused by the run.
void SetLawConstants(FieldTexts& texts, const py::handle& constants) {
  if (!py::isinstance<py::dict>(constants))
    throw py::type_error("law_constants must be a dict of name to number, such as {\"d0\": 1e-6}");
  LawConstantTexts given;
  for (const auto& [name, value] : constants.cast<py::dict>()) {
    if (!py::isinstance<py::str>(name))
      throw py::type_error("law_constants must map names (texts) to numbers");
    const std::string text = name.cast<std::string>();
    if (std::optional<std::string> problem = LawConstantNameProblem(text))
      RaiseInputError(*problem);
    if (py::isinstance<py::bool_>(value) || !PyNumber_Check(value.ptr()))
      RaiseInputError("the law constant " + text + " takes a number, not " +
                      py::repr(value).cast<std::string>());
    const double number = value.cast<double>();
    if (!std::isfinite(number))
      RaiseInputError("the law constant " + text + " takes a finite number, not " +
                      py::repr(value).cast<std::string>());
    given.emplace_back(text, ShortestText(number));
  }
  texts.LawConstants = std::move(given);
}

FieldTexts CaseOfKeywords(const py::kwargs& values) {
  FieldTexts texts = DefaultFieldTexts();
  // The constants first: the laws may use them.
  if (values.contains("law_constants")) SetLawConstants(texts, values["law_constants"]);
  for (const auto& [key, value] : values) {
    const std::string name = key.cast<std::string>();
    if (name == "law_constants") {
      continue;
    } else if (name == "jacket_modes") {
      SetJacketModes(texts, py::reinterpret_borrow<py::object>(value));
    } else if (name == "initial_tension") {
      SetInitialTension(texts, value);
    } else if (name == "laws") {
      SetLaws(texts, value);
    } else if (const ParameterItem* item = ItemByName(name)) {
      SetItem(texts, *item, value);
    } else {
      throw py::type_error("Case() has no input item named " + Quoted(name) +
                           " (korvane.items() lists them)");
    }
  }
  return texts;
}

std::string CaseRepr(const FieldTexts& texts) {
  const FieldTexts defaults = DefaultFieldTexts();
  std::string changed;
  for (const ParameterItem& item : ParameterItems()) {
    if (TextOf(texts, item) == TextOf(defaults, item)) continue;
    changed += changed.empty() ? "" : ", ";
    changed += std::string(ItemName(item)) + "=" + Quoted(TextOf(texts, item));
  }
  if (texts.Jacketed != defaults.Jacketed)
    changed += (changed.empty() ? "" : ", ") + std::string("jacket_modes=") +
               py::repr(JacketModes(texts)).cast<std::string>();
  return "korvane.Case(" + (changed.empty() ? std::string("default") : changed) + ")";
}

// Raises the OSError of the system's error number (FileNotFoundError, PermissionError,
// IsADirectoryError, ...) naming the path.
[[noreturn]] void RaiseOSError(int error, const std::string& path) {
  PyErr_SetObject(PyExc_OSError,
                  py::make_tuple(error, std::generic_category().message(error), path).ptr());
  throw py::error_already_set();
}

// Raises the OSError of a file that cannot be opened for reading, or of a folder; a pipe is not
// waited for.
void CheckReadable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) RaiseOSError(errno, path);
  struct stat status {};
  const bool folder = ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
  ::close(fd);
  if (folder) RaiseOSError(EISDIR, path);
}

FieldTexts LoadCase(const std::filesystem::path& path) {
  CheckReadable(path.string());
  FieldTexts texts = DefaultFieldTexts();
  const InputFileKind kind = InputFileKindOf(path.string());
  if (kind == InputFileKind::CaseFile) {
    const CaseLoad load = LoadCaseFile(path.string());
    if (!load.Ok) RaiseInputError(load.Message);
    return load.Value.Texts;
  }
  const DataFileLoad load = kind == InputFileKind::ResultFile ? LoadResultFileInputs(path.string())
                                                              : LoadDataFile(path.string());
  if (!load.Ok) RaiseInputError(load.Message);
  if (kind == InputFileKind::ResultFile) {
    const std::string note =
        path.string() +
        ": a result file does not record the jacket modes; all three are taken "
        "as insulated.";
    if (PyErr_WarnEx(PyExc_UserWarning, note.c_str(), 1) != 0) throw py::error_already_set();
    texts.Items = load.Values.Items;  // the echo holds every item, fixed ones included
    texts.Jacketed = load.Values.Jacketed;
    texts.Laws = ReadResultFileLaws(path.string(), &texts.LawConstants);
  } else {
    ApplyDataFileValues(load.Values, texts);
  }
  return texts;
}

// Applies a material file as the batch runner's --material does, refusing it in the same words:
// OSError (FileNotFoundError, ...) when it cannot be read, InputError when it is no material.
void ApplyMaterialFile(FieldTexts& texts, const std::filesystem::path& path) {
  const MaterialLoad load = LoadMaterialFile(path.string());
  if (load.Unreadable) {
    PyErr_SetObject(PyExc_OSError, py::make_tuple(load.Error, load.Message, path.string()).ptr());
    throw py::error_already_set();
  }
  if (!load.Ok) RaiseInputError(load.Message);
  ApplyMaterial(load.Value, texts);
}

// Refuses, in the batch runner's words, a file to write that is an input of the run: the
// machine's initial tension file, which every run reads unless given a tension. The rest of the
// batch runner's rules (a folder, a write-protected file, a pipe nobody reads, a device written
// in place rather than replaced) are those of the writer itself.
void CheckOutput(const std::string& role, const std::string& path, bool readsTensionFile) {
  std::vector<NamedFile> inputs;
  if (readsTensionFile) inputs.push_back({"the initial tension file", InitialTensionFilePath()});
  if (const std::optional<std::string> clash = FindOutputClash(inputs, {{role, path}}))
    throw py::value_error(*clash + " Nothing was written.");
}

[[noreturn]] void RaiseFileError(const FileResult& failure) {
  PyErr_SetString(PyExc_OSError, failure.Message.c_str());
  throw py::error_already_set();
}

// A file to save that could not be written: the OSError of its folder when that is missing or
// write-protected, naming the path, otherwise the writer's message.
[[noreturn]] void RaiseSaveError(const FileResult& failure, const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  int error = 0;
  if (::access(folder.c_str(), F_OK) != 0)
    error = errno;
  else if (::access(folder.c_str(), W_OK) != 0)
    error = errno;
  else if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
    error = errno;
  if (error == 0) RaiseFileError(failure);
  PyErr_SetObject(PyExc_OSError, py::make_tuple(error, failure.Message, path.string()).ptr());
  throw py::error_already_set();
}

void SaveCase(const FieldTexts& texts, const std::filesystem::path& path,
              const std::optional<std::string>& format) {
  if (format && *format != "case" && *format != "data")
    throw py::value_error("format: \"case\" or \"data\", not \"" + *format + "\"");
  if (format ? *format == "case" : path.extension() == ".toml") {
    CheckOutput("the case file", path.string(), true);
    CaseFile value;
    value.Name = path.stem().string();
    value.Texts = texts;
    const FileResult saved = CaseFileWriter(path.string(), value);
    if (saved.Status == FileStatus::BadValue) RaiseInputError(saved.Message);
    if (!saved.ok()) RaiseSaveError(saved, path);
    return;
  }
  // A data file never sets a fixed item, so one that differs from its default would be lost.
  for (const ParameterItem& item : ParameterItems()) {
    if (item.Fixed &&
        ConvertItemText(item, TextOf(texts, item)) != ConvertItemText(item, item.DefaultText))
      RaiseInputError(std::string(ItemName(item)) + " (item " + std::to_string(item.Number) +
                          ") is fixed: a data file does not keep it, so the case would load "
                          "back with " +
                          item.DefaultText,
                      &item);
  }
  if (!texts.Laws.empty() || !texts.LawConstants.empty())
    RaiseInputError(
        "the case has property laws (" +
        (texts.Laws.empty() ? texts.LawConstants.front().first : texts.Laws.front().first) +
        ", ...): a data file does not keep them; save it as a case file (.toml)");
  CheckOutput("the data file", path.string(), true);
  const FileResult saved = DataFileWriter(path.string(), texts);
  if (saved.Status == FileStatus::BadValue) RaiseInputError(saved.Message);
  if (!saved.ok()) RaiseSaveError(saved, path);
}

// Writes a run's result file as the batch runner writes its own, flushed to the disk.
void WriteResultFile(const std::filesystem::path& path, const py::bytes& data) {
  CheckOutput("the result file", path.string(), true);
  const std::string bytes = data;
  FileResult written;
  {
    py::gil_scoped_release release;
    written = WriteFileBytes(path.string(), bytes, kResultFileCannotOpen, kResultFileWriteFailed,
                             Durability::FlushedToDisk);
  }
  if (!written.ok()) RaiseFileError(written);
}

// The initial tension text of the machine's initial tension file, as the batch runner takes it
// (3.0 without the file; messages get why the file was not read).
std::string MachineInitialTension(std::vector<std::string>& messages) {
  const InitialTensionRead read = ReadInitialTensionFile(InitialTensionFilePath());
  if (!read.Ok) messages.emplace_back(read.Message);
  return read.Text;
}

// The initial tension text of a run: given, or the case's own.
std::string InitialTensionText(const FieldTexts& texts, const py::object& given) {
  if (given.is_none()) return texts.InitialTensionText;
  if (py::isinstance<py::str>(given)) return given.cast<std::string>();
  if (py::isinstance<py::bool_>(given) ||
      !(PyIndex_Check(given.ptr()) || py::hasattr(given, "__float__")))
    throw py::type_error("initial_tension takes a number in dyn, a text or None");
  const double value = py::float_(given).cast<double>();
  if (!std::isfinite(value)) RaiseInputError("The initial tension is not a finite number");
  return ShortestText(value);
}

class CancelToken {
 public:
  void Cancel() { flag_->store(true); }
  void Reset() { flag_->store(false); }
  bool Cancelled() const { return flag_->load(); }
  const std::atomic<bool>* Flag() const { return flag_.get(); }

 private:
  std::shared_ptr<std::atomic<bool>> flag_ = std::make_shared<std::atomic<bool>>(false);
};

// Lets Ctrl-C reach a run started from the main thread, which runs without the interpreter: now
// and then the run takes the interpreter back and lets Python handle the signals that arrived.
// An exception their handlers raise (KeyboardInterrupt) cancels the run, and is raised once the
// run has ended. Runs on other threads leave the signals to the main thread.
class SignalPoll {
 public:
  SignalPoll() {
    const py::object main = py::module_::import("threading").attr("main_thread")();
    enabled_ = main.attr("ident").cast<unsigned long>() == PyThread_get_thread_ident();
  }
  SignalPoll(const SignalPoll&) = delete;
  SignalPoll& operator=(const SignalPoll&) = delete;
  ~SignalPoll() {  // with the interpreter held
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(traceback_);
  }

  // Polled by the run without the interpreter; true once a handler has raised.
  bool operator()() {
    if (!enabled_ || raised_) return raised_;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_) return false;
    next_ = now + std::chrono::milliseconds(20);
    py::gil_scoped_acquire acquire;
    if (PyErr_CheckSignals() == 0) return false;
    PyErr_Fetch(&type_, &value_, &traceback_);
    raised_ = true;
    return true;
  }

  // With the interpreter held: raises what a handler raised during the run.
  void RaisePending() {
    if (!raised_) return;
    PyErr_Restore(type_, value_, traceback_);
    type_ = value_ = traceback_ = nullptr;
    throw py::error_already_set();
  }

 private:
  bool enabled_ = false;
  bool raised_ = false;
  std::chrono::steady_clock::time_point next_{};
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* traceback_ = nullptr;
};

// A converged run's figures, for the Python side's ConvergedReport (None when the method did not
// run to its answer).
py::object ConvergedFigures(const RunReport& report, const ConvergedOptions& options) {
  if (!report.Converged || report.Converged->Status != ConvergedStatus::Converged)
    return py::none();
  const ConvergedReport& c = *report.Converged;
  py::dict figures;
  figures["tolerance"] = options.Tolerance;
  figures["radial_intervals"] = c.RadialIntervals;
  figures["surface_clustered"] = c.SurfaceClustered;
  figures["passes"] = c.Passes;
  figures["search_passes"] = c.SearchPasses;
  figures["steps"] = c.Steps;
  figures["rhs_evaluations"] = c.RhsEvaluations;
  figures["spinneret_tension"] = c.SpinneretTension;
  figures["estimated_tension_error"] = c.EstimatedTensionError;
  figures["estimated_relative_tension_error"] = c.EstimatedRelativeTensionError;
  figures["tolerance_met"] = c.ToleranceMet;
  figures["end_mismatch"] = c.EndMismatch;
  figures["tolerance_note"] = c.ToleranceNote;
  figures["solvent_balance_error"] = c.SolventBalanceError;
  figures["seconds"] = c.Seconds;
  return figures;
}

// The options arrive checked by the Python side (korvane._method_options); the solver refuses
// anything else as a failed calculation with its message.
py::dict RunForScript(const FieldTexts& texts, const py::object& initialTension,
                      const std::string& method, double tolerance, int radialIntervals,
                      std::optional<double> takeUpTension, const std::string& resultFile,
                      const CancelToken* cancel, bool keepProfile,
                      const std::vector<std::string>& sensitivities) {
  const std::optional<SolverMethod> solver = SolverMethodByName(method);
  if (!solver)
    throw py::value_error("method is \"classic\" or \"converged\", not " + Quoted(method));
  CaseRunRequest request;
  request.Texts = texts;
  request.Options.Method = *solver;
  request.Options.Converged.Tolerance = tolerance;
  request.Options.Converged.RadialIntervals = radialIntervals;
  request.Options.Converged.TakeUpTension = takeUpTension;
  if (!resultFile.empty()) CheckOutput("the result file", resultFile, true);
  for (const std::string& item : sensitivities) {
    std::string error;
    std::optional<SensitivityParameter> parameter = SensitivityParameterFor(item, error);
    if (!parameter) throw py::value_error("sensitivities: " + error);
    request.Options.Converged.Sensitivities.push_back(std::move(*parameter));
  }
  request.ResultFile = resultFile;
  request.KeepProfile = keepProfile;
  request.Cancel = cancel ? cancel->Flag() : nullptr;
  request.Texts.InitialTensionText = InitialTensionText(texts, initialTension);

  SignalPoll signals;
  request.Interrupted = [&signals] { return signals(); };
  CaseRunOutcome outcome;
  {
    py::gil_scoped_release release;
    outcome = RunCase(request);
  }
  signals.RaisePending();

  py::dict result;
  const RunReport& report = outcome.Report;
  result["outcome"] = static_cast<int>(report.Outcome);  // korvane.Outcome
  result["messages"] = outcome.Messages;
  result["passes"] = outcome.Passes;
  result["cancelled"] = report.Cancelled;
  result["point_count"] = report.PrintedPointCount;
  result["failed_item"] = report.Read.FailedItem > 0
                              ? py::object(py::str(ItemName(ItemByNumber(report.Read.FailedItem))))
                          : report.Read.InitialTensionFailed
                              ? py::object(py::str("initial_tension"))
                              : py::object(py::none());
  result["spinneret_tension"] =
      report.PrintedPointCount > 0 ? py::object(py::float_(outcome.SpinneretTension)) : py::none();
  result["result_file_bytes"] = py::bytes(outcome.ResultFileBytes);
  py::dict ends, columns;
  const auto& table = ProfileColumns();
  for (size_t c = 0; c < outcome.EndValues.size(); ++c) ends[table[c].Name] = outcome.EndValues[c];
  for (size_t c = 0; c < outcome.Columns.size(); ++c) {
    const std::vector<double>& values = outcome.Columns[c];
    py::array_t<double> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    columns[table[c].Name] = array;
  }
  result["end_values"] = ends;
  result["columns"] = keepProfile ? py::object(columns) : py::object(py::none());
  result["converged"] = ConvergedFigures(report, request.Options.Converged);
  py::object derivatives = py::none();
  if (!sensitivities.empty() && report.PrintedPointCount > 0 && report.Converged &&
      report.Converged->Status == ConvergedStatus::Converged) {
    py::dict byItem;
    for (const CaseRunOutcome::Sensitivity& s : outcome.Sensitivities) {
      py::dict arrays, units;
      for (size_t c = 0; c < s.Columns.size(); ++c) {
        py::array_t<double> array(static_cast<py::ssize_t>(s.Columns[c].size()));
        std::copy(s.Columns[c].begin(), s.Columns[c].end(), array.mutable_data());
        arrays[py::str(s.ColumnNames[c])] = array;
        units[py::str(s.ColumnNames[c])] = s.Units[c];
      }
      byItem[py::str(s.Name)] = py::make_tuple(s.SpinneretTension, arrays, units);
    }
    derivatives = byItem;
  }
  result["sensitivities"] = derivatives;
  return result;
}

}  // namespace
}  // namespace korvane

PYBIND11_MODULE(_korvane, m) {
  using namespace korvane;
  m.doc() = "The compiled part of korvane: cases, one run, and the item and column tables.";
  m.attr("__version__") = KORVANE_VERSION;

  gInputError =
      PyErr_NewExceptionWithDoc("korvane.InputError",
                                "An input was refused; the message names the item. Attributes: "
                                "item (its number or None) and name (its script name or None).",
                                PyExc_ValueError, nullptr);
  if (!gInputError) throw py::error_already_set();
  m.attr("InputError") = InputErrorType();
  // The converged method's option limits, as the core checks them.
  m.attr("_converged_tolerance_range") =
      py::make_tuple(kSmallestConvergedTolerance, kLargestConvergedTolerance);
  m.attr("_radial_interval_range") =
      py::make_tuple(kSmallestRadialIntervals, kLargestRadialIntervals);

  py::class_<CancelToken>(m, "CancelToken",
                          "Cancels a run from another thread: the run ends after its current "
                          "pass with Outcome.CALCULATION_FAILED and cancelled set.")
      .def(py::init<>())
      .def("cancel", &CancelToken::Cancel, "Asks every run holding this token to stop.")
      .def("reset", &CancelToken::Reset, "Lets the token be used for new runs.")
      .def_property_readonly("cancelled", &CancelToken::Cancelled);

  py::class_<FieldTexts> caseClass(m, "Case",
                                   "The inputs of one run, as the window's fields hold them.");
  caseClass
      .def(py::init(&CaseOfKeywords),
           "The worked default case, with the items given by name changed: "
           "Case(take_up_speed=900, gas_inlet_temperature=260); jacket_modes=, "
           "initial_tension= and laws= too. Each value is refused as on assignment.")
      .def_static("default", &DefaultFieldTexts, "The worked default case.")
      .def_static("load", &LoadCase, py::arg("path"),
                  "The case of a file, told by its content: an input data file (items it cannot "
                  "change keep their default), a case file (TOML: every item, the jackets, the "
                  "material and the initial tension), or a result file (its INPUT DATA, as "
                  "rounded there; the jackets read as insulated, which it does not record). "
                  "Raises InputError when the file cannot be read or is none of them.")
      .def("save", &SaveCase, py::arg("path"), py::arg("format") = py::none(),
           "Saves the case so that it loads back to the same case: as a case file (TOML) for "
           "a name ending in .toml or format=\"case\", otherwise as an input data file "
           "(format=\"data\"). Raises InputError for a data file of a case whose fixed items "
           "differ from their defaults, or that has property laws, which a data file does not "
           "keep.")
      .def_property("initial_tension", &InitialTensionValue, &SetInitialTension,
                    "The assumed spinning tension at the spinneret (dyn) from which a run of "
                    "this case starts its iteration (default 3.0); a case file keeps it. "
                    "run(case) starts from it unless given another initial_tension. Refused "
                    "like a run refuses it: a number above 0.")
      .def("apply_material", &ApplyMaterialFile, py::arg("path"),
           "Sets the items a material file (TOML) gives, fixed ones included, and its property "
           "laws (see laws). Raises InputError when the file is no material, OSError when it "
           "cannot be read.")
      .def_property(
          "laws",
          [](const FieldTexts& texts) {
            py::dict laws;
            for (const auto& [law, formula] : texts.Laws) laws[py::str(law)] = formula;
            return laws;
          },
          &SetLaws,
          "The property laws the case gives as formulas, by law name (a material's [laws] or "
          "a case file's); a run evaluates them in place of the built-in correlations. Empty: "
          "the built-in ones. Assigning a dict replaces them all, each compiled first "
          "(InputError names the law that does not); set law_constants before laws that use "
          "them. See docs/model.md.")
      .def_property(
          "law_constants", &LawConstantsOf, &SetLawConstants,
          "The named constants the property laws use, by name ([laws.constants] of a material "
          "or case file), e.g. {\"d0\": 1.2e-6}; korvane.fit takes them as parameters by name. "
          "Assigning a dict replaces them all.")
      .def(
          "__getitem__",
          [](const FieldTexts& texts, const py::handle& key) {
            return ItemValueOf(texts, ItemOf(key));
          },
          "An item's value by its number or name.")
      .def(
          "__setitem__",
          [](FieldTexts& texts, const py::handle& key, const py::handle& value) {
            SetItem(texts, ItemOf(key), value);
          },
          "Sets an item by its number or name, fixed items included.")
      .def(
          "text",
          [](const FieldTexts& texts, const py::handle& key) {
            if (py::isinstance<py::str>(key) && key.cast<std::string>() == "initial_tension")
              return texts.InitialTensionText;
            return TextOf(texts, ItemOf(key));
          },
          py::arg("item"),
          "An item's text as a run reads it (\"initial_tension\": the initial tension's).")
      .def_property("jacket_modes", &JacketModes, &SetJacketModes,
                    "The three jacket zones, each \"jacketed\" or \"insulated\".")
      .def("copy", [](const FieldTexts& texts) { return texts; })
      .def("__copy__", [](const FieldTexts& texts) { return texts; })
      .def("__deepcopy__", [](const FieldTexts& texts, const py::handle&) { return texts; })
      .def("__eq__", &SameCase, py::is_operator(),
           "Equal when every item, the jacket modes and the initial tension have the same "
           "values, however their texts are written, and the property laws and their constants "
           "are the same.")
      .def("__repr__", &CaseRepr)
      .def(py::pickle(
          [](const FieldTexts& texts) {
            return py::make_tuple(py::cast(texts.Items), py::cast(texts.Jacketed),
                                  texts.InitialTensionText, py::cast(texts.Laws),
                                  py::cast(texts.LawConstants));
          },
          [](const py::tuple& state) {
            FieldTexts texts = DefaultFieldTexts();
            texts.Items = state[0].cast<std::array<std::string, kItemCount>>();
            texts.Jacketed = state[1].cast<std::array<bool, kJacketCount>>();
            if (state.size() > 2) texts.InitialTensionText = state[2].cast<std::string>();
            if (state.size() > 3)
              texts.Laws = state[3].cast<std::vector<std::pair<std::string, std::string>>>();
            if (state.size() > 4)
              texts.LawConstants =
                  state[4].cast<std::vector<std::pair<std::string, std::string>>>();
            return texts;
          }));
  for (const ParameterItem& item : ParameterItems()) {
    const int number = item.Number;
    std::string doc = ItemDisplayName(item) +
                      (item.Type == ItemType::Int32 ? "; a whole number" : "") + "; default " +
                      item.DefaultText + (item.Fixed ? "; fixed" : "") + ".";
    caseClass.def_property(
        ItemName(item),
        [number](const FieldTexts& texts) { return ItemValueOf(texts, ItemByNumber(number)); },
        [number](FieldTexts& texts, const py::handle& value) {
          SetItem(texts, ItemByNumber(number), value);
        },
        doc.c_str());
  }

  m.def(
      "items",
      [] {
        py::list items;
        for (const ParameterItem& item : ParameterItems()) {
          py::dict row;
          row["number"] = item.Number;
          row["name"] = ItemName(item);
          row["label"] = ItemDisplayName(item);
          row["default"] =
              item.Type == ItemType::Int32
                  ? py::object(
                        py::int_(static_cast<int32_t>(*ConvertItemText(item, item.DefaultText))))
                  : py::object(py::float_(*ConvertItemText(item, item.DefaultText)));
          row["default_text"] = item.DefaultText;
          row["fixed"] = item.Fixed;
          row["whole_number"] = item.Type == ItemType::Int32;
          items.append(row);
        }
        return items;
      },
      "The 51 input items in the order of their numbers.");
  m.def(
      "profile_columns",
      [] {
        py::list columns;
        for (const ProfileColumn& column : ProfileColumns())
          columns.append(py::make_tuple(column.Name, column.Label, column.Unit));
        return columns;
      },
      "The profile's columns as (name, label, unit), in the CSV's order.");
  m.def(
      "machine_initial_tension",
      [] {
        std::vector<std::string> messages;
        return MachineInitialTension(messages);
      },
      "The initial tension (dyn, as text) of this machine's initial tension file, which the "
      "window and the batch runner start from; \"3.0\" without the file. A run reads it only "
      "when asked: korvane.run(case, korvane.machine_initial_tension()).");
  m.def(
      "_check_method",
      [](const std::string& method) {
        const std::optional<SolverMethod> solver = SolverMethodByName(method);
        if (!solver)
          throw py::value_error("method is \"classic\" or \"converged\", not " + Quoted(method));
        CheckMethodAvailable(*solver);
      },
      "Raises when the method is unknown or not part of this build.");
  AddFitBindings(m);  // korvane.fit
  m.def("_write_result_file", &WriteResultFile, py::arg("path"), py::arg("data"));
  m.def("_run_case", &RunForScript, py::arg("case"), py::arg("initial_tension"), py::arg("method"),
        py::arg("tolerance"), py::arg("radial_intervals"), py::arg("take_up_tension"),
        py::arg("result_file"), py::arg("cancel"), py::arg("keep_profile"),
        py::arg("sensitivities") = std::vector<std::string>{});

  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const SolverUnavailable& e) {
      PyErr_SetString(PyExc_NotImplementedError, e.what());
    }
  });
}
