// The energy balance of the spinning gas over one axial step.
#pragma once

#include "core/model/RunConstants.h"
#include "core/model/RunParameters.h"

namespace korvane {

// What the filaments give the gas over a step of length dz: nf filaments of radius R whose
// surface loses the evaporation flux N (mol/(cm2 s)) and exchanges heat with the coefficient hf
// at the filament temperature t.
struct FilamentExchange {
  double Radius = 0;             // cm
  double EvaporationFlux = 0;    // mol/(cm2 s)
  double FilamentHeatCoeff = 0;  // filament to gas, cal/(cm2 s degC)
  double YarnTemp = 0;           // degC
};

// The gas temperature at the end of the step from the gas at tg at its start:
//   m = N 2 pi R dz nf M                   evaporated mass, g/s
//   L = m dH / M                           its heat of vaporization
//   C = hf 2 pi R dz (tg - t) nf           convection from gas to filaments
//   cp = (cpg G + cpv V) / (G + V)         heat capacity of dry gas G and vapour V
//   tg' = (Q + (G + V) cp tg + L - C) / ((G + V') cp')   with V' = V + m
// Q is the heat from the wall. Adds m to vaporMassFlow (V).
double GasEnergyBalance(const RunParameters& params, const RunConstants& constants,
                        const FilamentExchange& filaments, double dz, double wallHeat, double tg,
                        double& vaporMassFlow);

}  // namespace korvane
