#include "core/model/PropertyCorrelations.h"

#include <cmath>

#include "core/model/MathConstants.h"
#include "core/model/Power.h"

namespace korvane {

StepStatus DiffusionCoefficient(double diffusionParam1, double diffusionParam2, double t, double w,
                                double criticalWeightFraction, double tempDependencyParam1,
                                double tempDependencyParam2, const GuardSite& site, double& d) {
  const FaultFlags flagsAtEntry = RaisedFaultFlags();
  if (w >= criticalWeightFraction) {
    d = diffusionParam1 * std::exp(diffusionParam2 / (t + 273));
    return StepStatus::Ok;
  }
  // The exponential is part of the guarded branch: evaluate it only here.
  const double factor = std::exp(diffusionParam2 / (t + 273));
  return DiffusionCoefficientWithFactor(diffusionParam1, factor, t, w, criticalWeightFraction,
                                        tempDependencyParam1, tempDependencyParam2, site,
                                        flagsAtEntry, d);
}

StepStatus DiffusionCoefficientWithFactor(double diffusionParam1, double temperatureFactor,
                                          double t, double w, double criticalWeightFraction,
                                          double tempDependencyParam1, double tempDependencyParam2,
                                          const GuardSite& site, FaultFlags flagsAtEntry,
                                          double& d) {
  if (w >= criticalWeightFraction) {
    d = diffusionParam1 * temperatureFactor;
    return StepStatus::Ok;
  }
  // Below the critical fraction (or when a value is not a number) the coefficient falls off
  // with a power of the fraction. The ratio, the power and the exponential are guarded.
  const double n = tempDependencyParam1 * t + tempDependencyParam2;
  double ratioPower = 0;
  const bool ok = criticalWeightFraction != 0 && std::isfinite(w / criticalWeightFraction) &&
                  TryPower(w / criticalWeightFraction, n, ratioPower) &&
                  std::isfinite(temperatureFactor);
  if (!ok) {
    d = 0;
    return FailGuardedStep(site, kDiffusionPowerFailed, flagsAtEntry);
  }
  d = ratioPower * diffusionParam1 * temperatureFactor;
  return StepStatus::Ok;
}

double VaporPressure(double param1, double param2, double param3, double t) {
  return Power(10, param1 - param2 / (t + param3));
}

StepStatus YarnHeatTransferCoefficient(double area, double v, double nu, double lambda, double ug,
                                       const GuardSite& site, double& h) {
  const FaultFlags flagsAtEntry = RaisedFaultFlags();
  // Guarded: x = (sqrt(A) v / nu)^0.36.
  double x = 0;
  bool ok = area >= 0;
  double rootArea = 0;
  if (ok) {
    rootArea = std::sqrt(area);
    const double numerator = rootArea * v;
    ok = nu != 0 && std::isfinite(numerator);
    if (ok) {
      const double reynoldsLike = numerator / nu;
      ok = std::isfinite(reynoldsLike) && TryPower(reynoldsLike, 0.36, x);
    }
  }
  if (!ok) {
    h = 0;
    return FailGuardedStep(site, kHeatTransferPowerFailed, flagsAtEntry);
  }
  const double y = Power(1.076 * x - 0.685, 2);
  // 1.129 and 0.886 are 2/sqrt(pi) and sqrt(pi)/2 rounded to three decimals: the filament
  // diameter is 1.129 sqrt(A).
  const double nusselt = 0.35 + 0.146 * Power(1.129 * rootArea * ug / nu + y, 0.5);
  h = nusselt * 0.886 * lambda / rootArea;
  return StepStatus::Ok;
}

double ZeroShearViscosity(double param1, double param2, double param3, double w, double t) {
  return param1 * Power(1 - w, param2) * std::exp(param3 / (t + 273));
}

double GasDragStress(double radius, double v, double nu, double rho) {
  // The friction coefficient and the stress both use the filament velocity itself.
  const double cf = 0.37 * Power(2 * radius * v / nu, -0.61);
  return rho / 2 * cf * v * v;
}

double WallHeatTransferCoefficient(double length, double diameter, double u, double prandtl,
                                   double tw, double tg, double rho, double mu) {
  const double reynolds = diameter * u * rho / mu;
  // Grashof number; 36458333.333333333 is 875000000 / 24.
  const double grashof =
      std::fabs((tw - tg) * 36458333.333333333 * Power(diameter, 3) * Power(rho, 2));
  // Viscosity correction by the ratio of absolute temperatures in degrees Rankine.
  const double ratio = std::sqrt((1.8 * tg + 492) / (1.8 * tw + 492));
  double nusselt = 0;
  if (!(reynolds > 2000)) {
    // Laminar (a Reynolds number that is not a number also lands here).
    const double x = diameter / length +
                     0.0006 * Power(reynolds, 0.75) * std::exp(-7e-7 * Power(length / diameter, 4));
    const double s = Power(
        0.0135 * Power(grashof * prandtl * x, 0.8) + kQuarterPi * reynolds * prandtl * x, 1.0 / 3);
    nusselt = tw >= tg ? s + 2.25 : 1.45 * s + 2.25;
  } else if (reynolds > 10000) {
    nusselt = 0.022 * Power(reynolds, 0.8) * Power(prandtl, 0.4) * ratio;
  } else {
    // Transition: the laminar value at Re 2000 and the turbulent one at Re 10000 blended
    // linearly, with their constants rounded (0.17944 = 0.0006 x 2000^0.75, 34.87 = 0.022 x
    // 10000^0.8, 1570.79... = pi/4 x 2000).
    const double x2 = diameter / length + 0.17944 * std::exp(-7e-7 * Power(length / diameter, 4));
    const double s2 = Power(
        0.0135 * Power(grashof * prandtl * x2, 0.8) + 1570.7963267948966 * prandtl * x2, 1.0 / 3);
    const double laminar = tw >= tg ? s2 + 2.25 : 1.45 * s2 + 2.25;
    const double turbulent = 34.87 * Power(prandtl, 0.4) * ratio;
    const double weight = 1.25 - reynolds / 8000;
    nusselt = weight * laminar + (1 - weight) * turbulent;
  }
  // A gas conductivity of 0.034 kcal/(m h degC) over the diameter in metres, in cal/(cm2 s degC).
  return 0.034 * nusselt / (diameter / 100) / kKcalPerM2HourPerCalPerCm2Second;
}

double SurfaceActivity(double ws) {
  return ws * std::exp(1 - ws);
}

}  // namespace korvane
