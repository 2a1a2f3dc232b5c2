// A whole run of the worked default case.
#include <gtest/gtest.h>

#include "DefaultCase.h"
#include "core/InitialState.h"
#include "core/TensionIteration.h"

namespace korvane {
namespace {

TEST(DefaultRun, ConvergesToTakeUpSpeed) {
  testing::Run run;
  InitialState(run.Params, *run.Profile, run.State);
  TensionIteration(run.Params, *run.Profile, run.State, run.Reporter);
  ASSERT_TRUE(run.State.CalculationOk);
  const SpinningLineProfile& pr = *run.Profile;
  for (int i = 0; i < pr.ProfilePointCount; i += 10) {
    printf(
        "%4d z=%6.1f w=%.4f ws=%.4f v=%9.3f T=%7.2f F=%8.4f tg=%7.2f ug=%7.3f yg=%.5f eta=%.4g "
        "ht=%.4g\n",
        i, pr.ProfileZ[i], pr.ProfileAvgSolvent[i], pr.ProfileSurfaceSolvent[i],
        pr.ProfileYarnVelocity[i], pr.ProfileYarnTemp[i], pr.ProfileTension[i],
        pr.ProfileGasTemp[i], pr.ProfileGasVelocity[i], pr.ProfileGasSolventFraction[i],
        pr.ProfileElongViscosity[i], pr.ProfileHeatTransfer[i]);
  }
  for (auto& m : run.Reporter.Messages) printf("%s\n", m.c_str());
  printf("tension %.10g\n", run.State.TensionGuess);
}

}  // namespace
}  // namespace korvane
