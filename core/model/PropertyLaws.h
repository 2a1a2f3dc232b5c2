// Property laws a run gives as formulas of its own, in place of the built-in correlations.
//
// A run without laws has none (RunParameters::Laws is null) and evaluates every property by
// its built-in correlation. The evaluator of a run's laws belongs to that run alone: it keeps
// its arguments in its own storage while it evaluates.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "core/model/ArithmeticFault.h"
#include "core/model/RunParameters.h"
#include "core/model/StepStatus.h"

namespace korvane {

// The laws, and the variables of each (the second is unused by a law of one variable):
//   DiffusionCoefficient   D(t, w), cm2/s            t filament temperature degC, w the local
//   ZeroShearViscosity     eta0(t, w), poise         solvent weight fraction
//   VaporPressure          Ps(t), of the total pressure
//   SurfaceVaporFraction   ys(ws, ps)                ws surface weight fraction, ps = Ps(t)
//   GasConductivity        lambda(tf), cal/(cm s degC)   tf film temperature degC
//   GasKinematicViscosity  nu(tf), cm2/s
enum class PropertyLaw {
  DiffusionCoefficient,
  ZeroShearViscosity,
  VaporPressure,
  SurfaceVaporFraction,
  GasConductivity,
  GasKinematicViscosity
};
inline constexpr int kPropertyLawCount = 6;

// The law's name in files and scripts, e.g. "diffusion_coefficient".
std::string_view PropertyLawName(PropertyLaw law);
// The names of the law's variables, in argument order ("t", "w"; "tf"; ...); the second is
// empty for a law of one variable.
std::array<std::string_view, 2> PropertyLawVariables(PropertyLaw law);
// Every law but the surface vapour fraction must be positive; that one must only be a number
// (its built-in form follows a trial surface fraction below 0 as well).
bool PropertyLawMustBePositive(PropertyLaw law);

class PropertyLaws {
 public:
  virtual ~PropertyLaws() = default;

  // True when the run gives this law as a formula.
  bool Gives(PropertyLaw law) const { return given_[static_cast<size_t>(law)]; }

  // The law's value for the arguments (see PropertyLaw) and the item values of `params`: false,
  // with the value 0, when it has none (not a finite number, or not positive where it must be).
  // Only a law the run gives is evaluated. A failure is kept for FailureText.
  virtual bool Evaluate(PropertyLaw law, const RunParameters& params, double first, double second,
                        double& value) = 0;

  // The last failure in words: the law, what it gave and at which arguments, e.g.
  // "the law vapor_pressure gives -0.2 at t = 60"; empty when none failed.
  virtual std::string_view FailureText() const = 0;

  // The value of the run's law constant k (in the order the case gives them), which the laws
  // read where it stands at every evaluation: the converged method's derivatives move it there
  // as they move an item of the run record. Null when the run has no constant k.
  double* Constant(size_t k) { return k < constants_.size() ? &constants_[k] : nullptr; }

 protected:
  std::array<bool, kPropertyLawCount> given_ = {};
  std::vector<double> constants_;  // sized once; the laws hold the addresses of its values
};

// Ends a step of the march at the site: the run's law (its last failure) has no value there.
// As FailGuardedStep, an earlier fault shown by flagsAtEntry is recorded instead.
StepStatus FailPropertyLaw(const GuardSite& site, const PropertyLaws& laws,
                           FaultFlags flagsAtEntry);

}  // namespace korvane

namespace korvane {

// The law's value at the site; when it has none the step ends there (FailPropertyLaw).
inline StepStatus EvaluatePropertyLaw(PropertyLaws& laws, PropertyLaw law,
                                      const RunParameters& params, double first, double second,
                                      const GuardSite& site, double& value) {
  const FaultFlags flagsAtEntry = RaisedFaultFlags();
  if (laws.Evaluate(law, params, first, second, value)) return StepStatus::Ok;
  return FailPropertyLaw(site, laws, flagsAtEntry);
}

// True when the run gives the law as a formula.
inline bool GivesLaw(const RunParameters& params, PropertyLaw law) {
  return params.Laws != nullptr && params.Laws->Gives(law);
}

}  // namespace korvane
