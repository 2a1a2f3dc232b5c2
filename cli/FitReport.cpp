#include "cli/FitReport.h"

#include <cmath>
#include <cstdio>

#include "files/NumberText.h"

namespace korvane {

namespace {

std::string Number(double value) {
  return std::isfinite(value) ? ShortestText(value) : "null";
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          quoted += escaped;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + '"';
}

}  // namespace

std::string FitReportJson(const FitResult& result) {
  std::string json = "{\"parameters\": {";
  for (size_t k = 0; k < result.Parameters.size(); ++k) {
    const FitEstimate& e = result.Parameters[k];
    const auto known = [&](double value) { return e.Determined ? Number(value) : "null"; };
    json += (k ? ",\n  " : "\n  ") + Quoted(e.Name) + ": {\"value\": " + Number(e.Value) +
            ", \"standard_error\": " + known(e.StandardError) + ", \"low95\": " + known(e.Low95) +
            ", \"high95\": " + known(e.High95) + ", \"initial\": " + Number(e.Initial) + "}";
  }
  json += "},\n \"correlation\": [";
  for (size_t a = 0; a < result.Correlation.size(); ++a) {
    json += a ? ", [" : "[";
    for (size_t b = 0; b < result.Correlation[a].size(); ++b)
      json += (b ? ", " : "") + Number(result.Correlation[a][b]);
    json += "]";
  }
  json += "],\n \"chi_square\": " + Number(result.ChiSquare) +
          ", \"degrees_of_freedom\": " + std::to_string(result.DegreesOfFreedom) +
          ", \"converged\": " + (result.Converged() ? "true" : "false") +
          ", \"evaluations\": " + std::to_string(result.Evaluations) +
          ", \"seconds\": " + Number(result.Seconds) + ",\n \"undetermined\": [";
  for (size_t k = 0; k < result.Undetermined.size(); ++k)
    json += (k ? ", " : "") + Quoted(result.Undetermined[k]);
  json += "], \"message\": " + Quoted(result.Message) + ",\n \"residuals\": [";
  for (size_t i = 0; i < result.Residuals.size(); ++i) {
    const FitResidual& r = result.Residuals[i];
    json += (i ? ",\n  " : "\n  ") + std::string("{\"quantity\": ") + Quoted(r.Column->Label) +
            ", \"z\": " + Number(r.Z) + ", \"measured\": " + Number(r.Measured) +
            ", \"sigma\": " + Number(r.Sigma) + ", \"model\": " + Number(r.Model) + "}";
  }
  return json + "]}\n";
}

}  // namespace korvane
