#include "core/converged/ConvergedPass.h"

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// The radial table of the profile holds the nodes at r/R = 0, 0.1, ..., 1.
constexpr int kPrintedRadialNodes = 11;

}  // namespace

std::vector<double> StretchBreaks(const RunParameters& params, const std::vector<double>& printZ) {
  std::vector<double> breaks;
  const double length = printZ.back();
  // Where the increment changes between sections with steps.
  int point = 0;
  double lastIncrement = 0;
  for (int s = 0; s < kSectionCount; ++s) {
    if (params.IncrementCount[s] <= 0) continue;
    if (point > 0 && params.Increment[s] != lastIncrement) breaks.push_back(printZ[point]);
    point += params.IncrementCount[s];
    if (point >= static_cast<int>(printZ.size())) break;
    lastIncrement = params.Increment[s];
  }
  for (int k = 0; k < kJacketCount; ++k) {
    double z = params.JacketUpperPos[k];
    if (!(z > 0 && z < length)) continue;
    // A boundary that a print point misses only by the rounding of the grid's additions is
    // that point: a stretch a few ulps long could not be started.
    const auto near = std::lower_bound(printZ.begin(), printZ.end(), z);
    for (auto p = near == printZ.begin() ? near : near - 1; p != printZ.end() && p <= near; ++p) {
      if (std::fabs(*p - z) <= 1e-9 * length) z = *p;
    }
    breaks.push_back(z);
  }
  std::sort(breaks.begin(), breaks.end());
  breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
  while (!breaks.empty() && breaks.back() >= length) breaks.pop_back();
  return breaks;
}

ConvergedPass::ConvergedPass(const ConvergedModel& model, std::vector<double> printZ,
                             std::vector<double> breaks, PassBounds bounds)
    : model_(model),
      printZ_(std::move(printZ)),
      breaks_(std::move(breaks)),
      bounds_(std::move(bounds)),
      y_(model_.Size()),
      absTol_(model_.Size()),
      scale_(model_.Size()),
      integrator_(
          model_.Size(), 3, [this](double, const double* y, double* dy) { return Rhs(y, dy); },
          [this](double, const double* y, double* g) {
            g[0] = y[model_.Tension()];
            g[1] = y[model_.Velocity()] - bounds_.VelocityUpperLimit;
            g[2] = y[model_.Velocity()] - bounds_.VelocityLowerLimit;
          },
          // The Newton iteration's Jacobian: the inner nodes' diffusion stencil, bordered by
          // the surface node and the filament's and gas's quantities.
          model_.Grid().Intervals,
          [this](const double* y, const double* f, const StiffIntegrator::BorderedBlocks& blocks) {
            return model_.BorderedJacobian(y, f, blocks.Lower, blocks.Diagonal, blocks.Upper,
                                           blocks.Coupling, blocks.Weights, blocks.BorderRows);
          }) {
  model_.Scales(scale_.data());
}

bool ConvergedPass::StopRequested() {
  if (std::chrono::steady_clock::now() > bounds_.Deadline) {
    timedOut_ = true;
    return true;
  }
  return bounds_.Cancelled && bounds_.Cancelled();
}

int ConvergedPass::Rhs(const double* y, double* dy) {
  // The clock and the cancellation are polled now and then, so that no pass runs unbounded.
  if (++evaluations_ % 512 == 0 && StopRequested()) {
    stopped_ = true;
    return -1;
  }
  return model_.Derivatives(y, dy);
}

void ConvergedPass::StorePoint(int i, SpinningLineProfile& profile, const double* y) {
  const RadialGrid& grid = model_.Grid();
  LinePointValues values;
  model_.PointValues(y, values);
  profile.ProfileAvgSolvent[i] = values.AvgSolvent;
  profile.ProfileSurfaceSolvent[i] = y[grid.Intervals];
  profile.ProfileYarnVelocity[i] = y[model_.Velocity()];
  profile.ProfileYarnTemp[i] = y[model_.Temperature()];
  profile.ProfileTension[i] = y[model_.Tension()];
  profile.ProfileGasTemp[i] = y[model_.GasTemperature()];
  profile.ProfileGasVelocity[i] = values.GasVelocity;
  profile.ProfileGasSolventFraction[i] = values.GasSolventFraction;
  profile.ProfileElongViscosity[i] = values.ElongViscosity;
  profile.ProfileHeatTransfer[i] = values.WallHeatCoeff;
  profile.ProfileFilamentHeatCoeff[i] = values.FilamentHeatCoeff;
  profile.ProfileEvaporationFlux[i] = values.EvaporationFlux;
  for (int j = 0; j < kPrintedRadialNodes; ++j) {
    profile.ProfileRadialSolvent[i][j] = RadialValueAt(grid, y, j / 10.0);
  }
  const int stride = profile.RadialNodeStride;
  if (stride > 0 && i % stride == 0) {
    profile.ProfileRadialNodes[static_cast<size_t>(i / stride)].assign(y, y + grid.Intervals + 1);
  }
}

PassResult ConvergedPass::Run(double tension, double relativeTolerance,
                              SpinningLineProfile* profile, double zEnd) {
  model_.InitialValues(tension, y_.data());
  return Integrate(0, std::min(zEnd, printZ_.back()), relativeTolerance, profile);
}

PassResult ConvergedPass::RunPart(const std::vector<double>& start, double zStart, double zEnd,
                                  double tension, double relativeTolerance,
                                  SpinningLineProfile* profile) {
  y_ = start;
  y_[model_.Tension()] = tension;
  return Integrate(zStart, std::min(zEnd, printZ_.back()), relativeTolerance, profile);
}

PassResult ConvergedPass::Integrate(double zStart, double zEnd, double relativeTolerance,
                                    SpinningLineProfile* profile) {
  PassResult result;
  stopped_ = false;
  timedOut_ = false;
  for (size_t e = 0; e < y_.size(); ++e) absTol_[e] = relativeTolerance * scale_[e];
  const int last = static_cast<int>(printZ_.size()) - 1;
  const double length = zEnd;
  if (profile) profile->KeepRadialNodes(model_.Grid().Xi, last + 1);

  // Ends the pass at zReached with the state in y_.
  auto finish = [&](PassEnd end, double zReached) {
    result.End = end;
    result.EndZ = zReached;
    result.EndVelocity = y_[model_.Velocity()];
    result.EndTension = y_[model_.Tension()];
    return result;
  };

  double z = zStart;
  // The next print point, and the next stretch end, after zStart.
  int next =
      static_cast<int>(std::upper_bound(printZ_.begin(), printZ_.end(), z) - printZ_.begin());
  size_t nextBreak =
      static_cast<size_t>(std::upper_bound(breaks_.begin(), breaks_.end(), z) - breaks_.begin());
  while (z < length) {
    const double end = nextBreak < breaks_.size() ? std::min(breaks_[nextBreak], length) : length;
    model_.SetWallZone(model_.WallZone((z + end) / 2));
    // The print point where the stretch starts belongs to the stretch's wall zone.
    if (profile && printZ_[next - 1] == z) StorePoint(next - 1, *profile, y_.data());
    if (!integrator_.Start(z, y_.data(), relativeTolerance, absTol_.data(), end,
                           bounds_.MaxStepsPerStretch)) {
      result.FailureText = integrator_.FailureText();
      return finish(PassEnd::Failed, z);
    }
    bool endIsPrinted = false;
    while (!endIsPrinted) {
      double target = end;
      const bool printing = next <= last && printZ_[next] <= end;
      if (printing) {
        target = printZ_[next];
        endIsPrinted = target == end;
      } else {
        endIsPrinted = true;  // the stretch ends between print points
      }
      double reached = 0;
      int roots[3] = {0, 0, 0};
      const auto outcome = integrator_.Advance(target, y_.data(), reached, roots);
      if (outcome == StiffIntegrator::Outcome::Failed) {
        if (stopped_) return finish(PassEnd::Stopped, reached);
        result.FailureText = integrator_.FailureText();
        return finish(PassEnd::Failed, reached);
      }
      if (outcome == StiffIntegrator::Outcome::RootFound) {
        if (roots[0] != 0) return finish(PassEnd::TensionNotPositive, reached);
        if (roots[1] != 0) {
          y_[model_.Velocity()] = bounds_.VelocityUpperLimit;
          return finish(PassEnd::AboveVelocityLimit, reached);
        }
        y_[model_.Velocity()] = bounds_.VelocityLowerLimit;
        return finish(PassEnd::BelowVelocityLimit, reached);
      }
      if (printing) {
        if (profile) StorePoint(next, *profile, y_.data());
        ++next;
      }
    }
    z = end;
    ++nextBreak;
  }
  return finish(PassEnd::Complete, length);
}

}  // namespace korvane
