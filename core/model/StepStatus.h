// How a step of the march, or a guarded operation within it, ended.
#pragma once

namespace korvane {

enum class StepStatus {
  Ok,
  Refused,  // a guarded operation failed and its message has been shown
  Fault     // a floating-point fault ended the calculation and has been recorded
};

}  // namespace korvane
