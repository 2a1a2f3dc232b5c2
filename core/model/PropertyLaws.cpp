#include "core/model/PropertyLaws.h"

#include <charconv>
#include <string>

namespace korvane {

std::string_view PropertyLawName(PropertyLaw law) {
  switch (law) {
    case PropertyLaw::DiffusionCoefficient:
      return "diffusion_coefficient";
    case PropertyLaw::ZeroShearViscosity:
      return "zero_shear_viscosity";
    case PropertyLaw::VaporPressure:
      return "vapor_pressure";
    case PropertyLaw::SurfaceVaporFraction:
      return "surface_vapor_fraction";
    case PropertyLaw::GasConductivity:
      return "gas_conductivity";
    case PropertyLaw::GasKinematicViscosity:
      break;
  }
  return "gas_kinematic_viscosity";
}

std::array<std::string_view, 2> PropertyLawVariables(PropertyLaw law) {
  switch (law) {
    case PropertyLaw::DiffusionCoefficient:
    case PropertyLaw::ZeroShearViscosity:
      return {"t", "w"};
    case PropertyLaw::VaporPressure:
      return {"t", ""};
    case PropertyLaw::SurfaceVaporFraction:
      return {"ws", "ps"};
    case PropertyLaw::GasConductivity:
    case PropertyLaw::GasKinematicViscosity:
      break;
  }
  return {"tf", ""};
}

bool PropertyLawMustBePositive(PropertyLaw law) {
  return law != PropertyLaw::SurfaceVaporFraction;
}

StepStatus FailPropertyLaw(const GuardSite& site, const PropertyLaws& laws,
                           FaultFlags flagsAtEntry) {
  std::string message = "Sorry, this case does not converge: ";
  message += laws.FailureText();
  char z[32];
  char* end = std::to_chars(z, z + sizeof z, site.Z, std::chars_format::general, 6).ptr;
  message += " (z = ";
  message.append(z, static_cast<size_t>(end - z));
  message += " cm).";
  return FailGuardedStep(site, message, flagsAtEntry);
}

}  // namespace korvane
