// Derivatives of a converged line with respect to inputs of its run: of the spinneret tension
// that meets the end target, and of every profile value at the print points. One pass with
// forward sensitivities gives how the line moves with the tension at the spinneret and with
// each input at a fixed tension; the tension's own derivative follows by differentiating the
// end condition m(F0, p) = 0 (m the end mismatch the tension search drives to zero):
//   dF0/dp = -(dm/dp) / (dm/dF0),
// and a profile value's total derivative is dy/dp + dy/dF0 dF0/dp. The derivatives are those of
// the model on the answer's radial grid, so they are smooth in the inputs where the answer itself
// moves by steps of the tolerance.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/converged/ConvergedModel.h"
#include "core/converged/RadialGrid.h"
#include "core/model/RunParameters.h"
#include "core/results/SpinningLineProfile.h"

namespace korvane {

// An input of the run the derivatives are taken with respect to: a decimal field of the run
// record, or a value the record's laws read (a law constant, PropertyLaws::Constant). It may
// enter the equations, the run-wide flows derived from the record, the state at the spinneret or
// the end target. Field gives the value's place in a copy of the record (null: it has none).
struct SensitivityParameter {
  std::string Name;  // as the results name it, e.g. "take_up_speed"
  std::function<double*(RunParameters&)> Field;
};

struct ParameterSensitivity {
  std::string Name;
  double SpinneretTension = 0;  // dF0/dp: dyn per unit of the input
  // d(value)/dp of the profile's values at the print points, in the profile's units per unit of
  // the input. ProfileZ holds the points' positions; ProfileStress is not filled.
  SpinningLineProfile Profile;
};

// The converged line the derivatives are taken of.
struct SensitivityLine {
  const RunParameters& Params;
  RadialGrid Grid;  // the answer's
  ConvergedPhysics Physics;
  const std::vector<double>& PrintZ;
  double SpinneretTension = 0;   // dyn
  double RelativeTolerance = 0;  // the integrator's, as for the answer
  // The end target: the take-up speed of the run unless a tension is given here. Without a
  // target (the spinneret tension was given) the tension stays as it is: dF0/dp = 0.
  bool HasTarget = true;
  std::optional<double> TakeUpTension;
  std::chrono::steady_clock::time_point Deadline = std::chrono::steady_clock::time_point::max();
  std::function<bool()> Cancelled;  // polled; may be empty
};

// Fills one entry of `results` per parameter, in their order. False with `message` saying why
// when a derivative cannot be computed (the message names the parameter where one is at fault).
bool ConvergedSensitivities(const SensitivityLine& line,
                            const std::vector<SensitivityParameter>& parameters,
                            std::vector<ParameterSensitivity>& results, std::string& message);

}  // namespace korvane
