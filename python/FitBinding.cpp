#include "python/FitBinding.h"

#include <pybind11/functional.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <vector>

#include "files/MeasurementsCsv.h"
#include "fit/MeasurementFit.h"
#include "python/CaseRun.h"

namespace py = pybind11;

namespace korvane {

namespace {

const char* StatusName(FitStatus status) {
  switch (status) {
    case FitStatus::Fitted:
      return "fitted";
    case FitStatus::Undetermined:
      return "undetermined";
    case FitStatus::NotConverged:
      return "not_converged";
    case FitStatus::RunFailed:
      return "run_failed";
    case FitStatus::Cancelled:
      return "cancelled";
    case FitStatus::Refused:
      return "refused";
  }
  return "not_converged";
}

py::dict Refusal(const std::string& message) {
  py::dict raw;
  raw["status"] = "refused";
  raw["message"] = message;
  return raw;
}

// The fit as the batch fitter runs it; the measurements from a file (path) or from the CSV text
// of a table (text, named `what` in messages). Ctrl-C stops the fit after the run in progress
// and raises KeyboardInterrupt.
py::dict Fit(FieldTexts texts, const std::string& initialTension, const std::string& path,
             const std::string& text, const std::vector<std::string>& parameters,
             const std::string& method, double tolerance, int radialIntervals,
             const std::string& loss, int maxIterations, const py::object& progress) {
  texts.InitialTensionText = initialTension;
  FitRequest request;
  const std::optional<SolverMethod> solver = SolverMethodByName(method);
  if (!solver) return Refusal("method is \"classic\" or \"converged\", not \"" + method + "\"");
  request.Options.Method = *solver;
  request.Options.Converged.Tolerance = tolerance;
  request.Options.Converged.RadialIntervals = radialIntervals;
  if (loss != "linear" && loss != "huber")
    return Refusal("loss is \"linear\" or \"huber\", not \"" + loss + "\"");
  request.Loss = loss == "huber" ? FitLoss::Huber : FitLoss::Linear;
  request.MaxIterations = maxIterations;
  const std::optional<double> length = LineLength(texts);
  if (!length) return Refusal("The step fields of the case do not give the length of the line.");
  const MeasurementsLoad measurements = path.empty()
                                            ? ReadMeasurements(text, "the measurements", *length)
                                            : LoadMeasurementsFile(path, *length);
  if (!measurements.Ok) return Refusal(measurements.Message);
  std::string error;
  std::optional<std::vector<FitParameter>> fitted = ParseFitParameters(parameters, texts, error);
  if (!fitted) return Refusal("parameters: " + error);
  request.Texts = texts;
  request.Measurements = measurements.Values;
  request.Parameters = std::move(*fitted);
  bool interrupted = false;
  request.Cancelled = [&interrupted] {
    if (!interrupted && PyErr_CheckSignals() != 0) interrupted = true;
    return interrupted;
  };
  if (!progress.is_none()) {
    request.Progress = [&progress, &request](const FitProgress& p) {
      py::dict values;
      for (size_t k = 0; k < p.Values.size(); ++k)
        values[py::str(FitParameterName(request.Parameters[k]))] = p.Values[k];
      progress(p.Iteration, p.Cost, values);
    };
  }
  const FitResult result = FitToMeasurements(request);
  if (interrupted) throw py::error_already_set();

  py::dict raw;
  raw["status"] = StatusName(result.Status);
  raw["message"] = result.Message;
  raw["warnings"] = result.Warnings;
  py::list estimates;
  for (const FitEstimate& e : result.Parameters) {
    py::dict row;
    row["name"] = e.Name;
    row["item"] = e.Item;
    row["initial"] = e.Initial;
    row["value"] = e.Value;
    row["determined"] = e.Determined;
    row["standard_error"] = e.StandardError;
    row["low95"] = e.Low95;
    row["high95"] = e.High95;
    estimates.append(row);
  }
  raw["parameters"] = estimates;
  raw["correlation"] = result.Correlation;
  raw["undetermined"] = result.Undetermined;
  raw["chi_square"] = result.ChiSquare;
  raw["degrees_of_freedom"] = result.DegreesOfFreedom;
  raw["iterations"] = result.Iterations;
  raw["evaluations"] = result.Evaluations;
  raw["seconds"] = result.Seconds;
  py::list residuals;
  for (const FitResidual& r : result.Residuals)
    residuals.append(py::make_tuple(r.Column->Label, r.Column->Name, r.Z, r.Measured, r.Sigma,
                                    r.SigmaEstimated, r.Model));
  raw["residuals"] = residuals;
  raw["case"] = result.FittedTexts;
  raw["method"] = method;
  return raw;
}

}  // namespace

void AddFitBindings(py::module_& m) {
  m.def("_fit", &Fit, py::arg("case"), py::arg("initial_tension"), py::arg("path"), py::arg("text"),
        py::arg("parameters"), py::arg("method"), py::arg("tolerance"), py::arg("radial_intervals"),
        py::arg("loss"), py::arg("max_iterations"), py::arg("progress"));
  m.def(
      "_measurable_quantities",
      [] {
        std::vector<std::string> labels;
        for (const ProfileColumn* column : MeasurableColumns()) labels.push_back(column->Label);
        return labels;
      },
      "The quantities a measurement may name.");
}

}  // namespace korvane
