// The point where an axial step starts: its values hold over the whole step.
#pragma once

#include "core/results/SpinningLineProfile.h"

namespace korvane {

struct StepStart {
  int Index = 0;                          // the profile point; the step ends at Index + 1
  double Z = 0;                           // cm from the spinneret
  double AvgSolvent = 0;                  // weight fraction
  double SurfaceSolvent = 0;              // weight fraction at the filament surface
  double YarnVelocity = 0;                // cm/s
  double YarnTemp = 0;                    // degC
  double Tension = 0;                     // dyn
  double GasTemp = 0;                     // degC
  double GasVelocity = 0;                 // cm/s
  double GasSolventFraction = 0;          // mole fraction
  const double* RadialSolvent = nullptr;  // nodes 0..intervals
};

inline StepStart StepStartAt(const SpinningLineProfile& profile, int index) {
  StepStart start;
  start.Index = index;
  start.Z = profile.ProfileZ[index];
  start.AvgSolvent = profile.ProfileAvgSolvent[index];
  start.SurfaceSolvent = profile.ProfileSurfaceSolvent[index];
  start.YarnVelocity = profile.ProfileYarnVelocity[index];
  start.YarnTemp = profile.ProfileYarnTemp[index];
  start.Tension = profile.ProfileTension[index];
  start.GasTemp = profile.ProfileGasTemp[index];
  start.GasVelocity = profile.ProfileGasVelocity[index];
  start.GasSolventFraction = profile.ProfileGasSolventFraction[index];
  start.RadialSolvent = profile.ProfileRadialSolvent[index].data();
  return start;
}

}  // namespace korvane
