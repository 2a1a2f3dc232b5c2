// The composition and velocity of the spinning gas from the overall solvent balance.
#pragma once

#include "core/model/RunConstants.h"

namespace korvane {

struct GasComposition {
  double SolventFraction = 0;  // mole fraction of solvent in the gas
  double Velocity = 0;         // cm/s
};

// Where the filaments' average solvent fraction has fallen to w, the solvent that left them,
// e = (S - P w / (1 - w)) / M mol/s (S, P the total solvent and polymer flows), has joined the
// vapour ns that came with the dry gas ng: y = (e + ns) / (e + ns + ng), and the gas moves
// at GasVelocity(ng + e + ns, D, tg).
GasComposition GasCompositionAt(const RunConstants& constants, double solventMolecularWeight,
                                double columnDiameter, double w, double tg);

}  // namespace korvane
