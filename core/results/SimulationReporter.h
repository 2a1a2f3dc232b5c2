// How the simulation core speaks to its surroundings: it shows nothing itself.
#pragma once

#include <string_view>

namespace korvane {

class SimulationReporter {
 public:
  virtual ~SimulationReporter() = default;
  // A message for the user; returns when the user has acknowledged it (a modal box in the
  // window, a line on standard error in the batch runner, a record in a test).
  virtual void ShowMessage(std::string_view text) = 0;
  // Called after every pass of the tension iteration with the pass count and the relative
  // difference between end velocity and take-up speed. Returning false cancels the run.
  virtual bool PassFinished(int /*passes*/, double /*relativeDifference*/) { return true; }
};

}  // namespace korvane
