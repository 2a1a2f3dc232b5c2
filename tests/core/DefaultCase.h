// The worked default case of the input fields, assigned by hand, and a place to run it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/RunParameters.h"
#include "core/SimulationContext.h"
#include "core/SimulationReporter.h"
#include "core/SimulationState.h"
#include "core/SpinningLineProfile.h"

namespace korvane::testing {

inline RunParameters DefaultCase() {
  RunParameters p;
  p.DopeDensity = 1.0;
  p.DopeSpecificHeat = 0.5;
  p.InitialSolventFraction = 0.73;
  p.ViscosityParam1 = 5512.3;
  p.ViscosityParam2 = 9.0;
  p.ViscosityParam3 = 3450.0;
  p.DiffusionParam1 = 0.00103;
  p.DiffusionParam2 = -2190.0;
  p.CriticalWeightFraction = 1.0;
  p.TempDependencyParam1 = 0.0;
  p.TempDependencyParam2 = 0.0;
  p.SolventMolecularWeight = 87.1;
  p.HeatOfVaporization = 10360.0;
  p.VaporSpecificHeat = 0.458;
  p.VaporPressureParam1 = 5.116;
  p.VaporPressureParam2 = 2024.7;
  p.VaporPressureParam3 = 230.0;
  p.GasSpecificHeat = 0.245;
  p.GasInitialTemp = 250.0;
  p.GasFlowRate = 43.0;
  p.GasInitialSolventContent = 0.0;
  p.GasConductivityParam1 = 0.000000131;
  p.GasConductivityParam2 = 0.0000528;
  p.GasKinViscosityParam1 = 0.00105;
  p.GasKinViscosityParam2 = 0.095;
  p.DopeOutput = 0.0343;
  p.DopeInitialTemp = 80.0;
  p.NozzleArea = 0.000314;
  p.FilamentCount = 48;
  p.TakeUpSpeed = 833.0;
  p.RoomTemp = 30.0;
  p.JacketTemp[0] = p.JacketTemp[1] = p.JacketTemp[2] = 30.0;
  p.ColumnDiameter = 40.0;
  p.JacketUpperPos[0] = 400.0;
  p.JacketUpperPos[1] = 1000.0;
  p.JacketUpperPos[2] = 1000.0;
  p.Jacket3LowerPos = 1000.0;
  p.InsulationHeatTransferCoeff = 1.0;
  const double increments[kSectionCount] = {2.0, 5.0, 10.0, 5.0, 5.0};
  const int32_t counts[kSectionCount] = {30, 40, 44, 0, 0};
  for (int s = 0; s < kSectionCount; ++s) {
    p.Increment[s] = increments[s];
    p.IncrementCount[s] = counts[s];
  }
  p.SolventGasHKRatio = 7.5;
  p.JacketMode[0] = p.JacketMode[1] = p.JacketMode[2] = '2';
  p.ResultFileName = "result.txt";
  p.InitialTensionText = "3.0";
  p.InitialTension = 3.0;
  p.TotalSpinningLength = 700.0;
  return p;
}

// Records what the core shows; optionally cancels after a number of passes.
class RecordingReporter : public SimulationReporter {
 public:
  void ShowMessage(std::string_view text) override { Messages.emplace_back(text); }
  bool PassFinished(int passes, double relativeDifference) override {
    Passes.push_back(passes);
    RelativeDifferences.push_back(relativeDifference);
    return CancelAfter <= 0 || passes < CancelAfter;
  }
  std::vector<std::string> Messages;
  std::vector<int> Passes;
  std::vector<double> RelativeDifferences;
  int CancelAfter = 0;
};

// One run's data, as the driver holds them.
struct Run {
  Run() = default;
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  RunParameters Params = DefaultCase();
  std::unique_ptr<SpinningLineProfile> Profile = std::make_unique<SpinningLineProfile>();
  SimulationState State;
  RecordingReporter Reporter;
  SimulationContext Context{Params, *Profile, State, Reporter};
};

}  // namespace korvane::testing
