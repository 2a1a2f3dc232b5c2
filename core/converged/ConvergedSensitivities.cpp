#include "core/converged/ConvergedSensitivities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/converged/ConvergedPass.h"
#include "core/converged/StiffIntegrator.h"
#include "core/model/InitialState.h"

namespace korvane {

namespace {

// The relative step of the central differences that carry a derivative of the state over to the
// values computed from it (about the cube root of the unit roundoff).
constexpr double kValueStep = 6e-6;
constexpr int kPrintedRadialNodes = 11;
// The values of a print point: those of the profile's columns, then the radial table.
constexpr int kPointValueCount = 12 + kPrintedRadialNodes;

bool Finite(double x) {
  return std::isfinite(x);
}

// The scale of a parameter for its difference quotients and tolerances: its size, or 1 for 0.
double ScaleOf(double value) {
  return value != 0 ? std::fabs(value) : 1.0;
}

// The line integrated once with the sensitivities of the tension at the spinneret (direction
// 0) and of the parameters (directions 1..).
class SensitivityPass {
 public:
  SensitivityPass(const SensitivityLine& line, const std::vector<SensitivityParameter>& parameters)
      : line_(line),
        parameters_(parameters),
        record_(line.Params),
        model_(record_, RunWideConstants(record_), line.Grid, line.Physics, line.PrintZ.back()),
        directions_(static_cast<int>(parameters.size()) + 1),
        size_(model_.Size()),
        values_(static_cast<size_t>(directions_)),
        scales_(static_cast<size_t>(directions_)),
        integrator_(
            model_.Size(), 0, [this](double, const double* y, double* dy) { return Rhs(y, dy); },
            nullptr, model_.Grid().Intervals,
            [this](const double* y, const double* f,
                   const StiffIntegrator::BorderedBlocks& blocks) {
              Apply();
              return model_.BorderedJacobian(y, f, blocks.Lower, blocks.Diagonal, blocks.Upper,
                                             blocks.Coupling, blocks.Weights, blocks.BorderRows);
            }) {
    values_[0] = line.SpinneretTension;
    for (size_t k = 0; k < parameters.size(); ++k) values_[k + 1] = *parameters[k].Field(record_);
    for (int d = 0; d < directions_; ++d) scales_[d] = ScaleOf(values_[d]);
  }

  // Fills `partial[d]` with the derivatives of the print points' values in direction d at a
  // fixed spinneret tension, and `endRows` with the state's at the end of the line.
  bool Run(std::vector<SpinningLineProfile>& partial, std::vector<double>& y,
           std::vector<double>& endRows, std::string& message);

  int Size() const { return size_; }
  const ConvergedModel& Model() const { return model_; }
  // The record with the parameters' own values.
  const RunParameters& Record() {
    Apply();
    return record_;
  }

 private:
  // Copies the parameter array, which the integrator perturbs, into the record.
  void Apply() {
    bool changed = false;
    for (size_t k = 0; k < parameters_.size(); ++k) {
      double& field = *parameters_[k].Field(record_);
      if (field != values_[k + 1]) {
        field = values_[k + 1];
        changed = true;
      }
    }
    if (changed) model_.SetRunConstants(RunWideConstants(record_));
  }
  int Rhs(const double* y, double* dy) {
    if (++evaluations_ % 512 == 0) {
      timedOut_ = std::chrono::steady_clock::now() > line_.Deadline;
      if (timedOut_ || (line_.Cancelled && line_.Cancelled())) {
        stopped_ = true;
        return -1;
      }
    }
    Apply();
    return model_.Derivatives(y, dy);
  }
  // The values of a print point at state y (see kPointValueCount); false when they have none.
  bool PointValuesAt(const double* y, double* out) {
    Apply();
    LinePointValues v;
    if (!model_.PointValues(y, v)) return false;
    const int n = model_.Grid().Intervals;
    const double head[12] = {v.AvgSolvent,         y[n],
                             y[model_.Velocity()], y[model_.Temperature()],
                             y[model_.Tension()],  y[model_.GasTemperature()],
                             v.GasVelocity,        v.GasSolventFraction,
                             v.ElongViscosity,     v.WallHeatCoeff,
                             v.FilamentHeatCoeff,  v.EvaporationFlux};
    std::copy(std::begin(head), std::end(head), out);
    for (int j = 0; j < kPrintedRadialNodes; ++j) {
      out[12 + j] = RadialValueAt(model_.Grid(), y, j / 10.0);
    }
    return true;
  }
  // The derivatives of point i's values along each direction (s_d, e_d), by central
  // differences in the state and the parameter together.
  bool StoreDerivatives(int i, const double* y, const double* rows,
                        std::vector<SpinningLineProfile>& partial);
  // The state at the spinneret and its derivatives in every direction.
  bool InitialRows(double* y, double* rows);
  // At a wall-zone boundary z: the jump of the derivatives with respect to a jacket's upper
  // position there.
  bool ZoneBoundary(double z, int before, int after, const double* y, double* rows);

  const SensitivityLine& line_;
  const std::vector<SensitivityParameter>& parameters_;
  RunParameters record_;
  ConvergedModel model_;
  int directions_;
  int size_;
  std::vector<double> values_;  // F0, then the parameters (the integrator perturbs them)
  std::vector<double> scales_;
  long evaluations_ = 0;
  bool stopped_ = false;
  bool timedOut_ = false;
  StiffIntegrator integrator_;
};

bool SensitivityPass::InitialRows(double* y, double* rows) {
  model_.InitialValues(values_[0], y);
  std::fill(rows, rows + static_cast<size_t>(directions_) * size_, 0.0);
  rows[model_.Tension()] = 1;
  std::vector<double> plus(static_cast<size_t>(size_)), minus(static_cast<size_t>(size_));
  for (int d = 1; d < directions_; ++d) {
    const double value = values_[d];
    const double h = kValueStep * scales_[d];
    values_[d] = value + h;
    Apply();
    model_.InitialValues(values_[0], plus.data());
    values_[d] = value - h;
    Apply();
    model_.InitialValues(values_[0], minus.data());
    values_[d] = value;
    Apply();
    double* row = rows + static_cast<size_t>(d) * size_;
    for (int e = 0; e < size_; ++e) {
      row[e] = (plus[e] - minus[e]) / (2 * h);
      if (!Finite(row[e])) return false;
    }
  }
  return true;
}

bool SensitivityPass::ZoneBoundary(double z, int before, int after, const double* y, double* rows) {
  // Moved down the line by dz, the boundary leaves [z, z + dz] in the zone before it, so that
  // the state beyond it moves by dz (f_before - f_after), the equations at the boundary.
  const double length = line_.PrintZ.back();
  std::vector<double> fBefore, fAfter;
  for (int d = 1; d < directions_; ++d) {
    for (int k = 0; k < kJacketCount; ++k) {
      // At the print point it was moved to, as the stretches' ends are (StretchBreaks).
      const double boundary = line_.Params.JacketUpperPos[k];
      if (parameters_[static_cast<size_t>(d - 1)].Field(record_) != &record_.JacketUpperPos[k] ||
          !(std::fabs(boundary - z) <= 1e-9 * length)) {
        continue;
      }
      if (fBefore.empty()) {
        fBefore.resize(static_cast<size_t>(size_));
        fAfter.resize(static_cast<size_t>(size_));
        Apply();
        model_.SetWallZone(before);
        const int flagBefore = model_.Derivatives(y, fBefore.data());
        model_.SetWallZone(after);
        if (flagBefore != 0 || model_.Derivatives(y, fAfter.data()) != 0) return false;
      }
      double* row = rows + static_cast<size_t>(d) * size_;
      for (int e = 0; e < size_; ++e) row[e] += fBefore[e] - fAfter[e];
    }
  }
  return true;
}

bool SensitivityPass::StoreDerivatives(int i, const double* y, const double* rows,
                                       std::vector<SpinningLineProfile>& partial) {
  std::vector<double> shifted(static_cast<size_t>(size_));
  double plus[kPointValueCount];
  double minus[kPointValueCount];
  for (int d = 0; d < directions_; ++d) {
    const double* row = rows + static_cast<size_t>(d) * size_;
    const double value = values_[d];
    const double h = kValueStep * scales_[d];
    for (int e = 0; e < size_; ++e) shifted[e] = y[e] + h * row[e];
    if (d > 0) values_[d] = value + h;
    const bool plusOk = PointValuesAt(shifted.data(), plus);
    for (int e = 0; e < size_; ++e) shifted[e] = y[e] - h * row[e];
    if (d > 0) values_[d] = value - h;
    const bool minusOk = PointValuesAt(shifted.data(), minus);
    values_[d] = value;
    Apply();
    if (!plusOk || !minusOk) return false;
    double derivative[kPointValueCount];
    for (int v = 0; v < kPointValueCount; ++v) {
      derivative[v] = (plus[v] - minus[v]) / (2 * h);
      if (!Finite(derivative[v])) return false;
    }
    // The values linear in the state take its derivatives as they are, without rounding.
    const RadialGrid& grid = model_.Grid();
    derivative[0] = CrossSectionAverage(grid, row);
    derivative[1] = row[grid.Intervals];
    derivative[2] = row[model_.Velocity()];
    derivative[3] = row[model_.Temperature()];
    derivative[4] = row[model_.Tension()];
    derivative[5] = row[model_.GasTemperature()];
    for (int j = 0; j < kPrintedRadialNodes; ++j) {
      derivative[12 + j] = RadialValueAt(grid, row, j / 10.0);
    }
    SpinningLineProfile& p = partial[static_cast<size_t>(d)];
    p.ProfileZ[i] = line_.PrintZ[static_cast<size_t>(i)];
    p.ProfileAvgSolvent[i] = derivative[0];
    p.ProfileSurfaceSolvent[i] = derivative[1];
    p.ProfileYarnVelocity[i] = derivative[2];
    p.ProfileYarnTemp[i] = derivative[3];
    p.ProfileTension[i] = derivative[4];
    p.ProfileGasTemp[i] = derivative[5];
    p.ProfileGasVelocity[i] = derivative[6];
    p.ProfileGasSolventFraction[i] = derivative[7];
    p.ProfileElongViscosity[i] = derivative[8];
    p.ProfileHeatTransfer[i] = derivative[9];
    p.ProfileFilamentHeatCoeff[i] = derivative[10];
    p.ProfileEvaporationFlux[i] = derivative[11];
    for (int j = 0; j < kPrintedRadialNodes; ++j) {
      p.ProfileRadialSolvent[i][j] = derivative[12 + j];
    }
  }
  return true;
}

bool SensitivityPass::Run(std::vector<SpinningLineProfile>& partial, std::vector<double>& y,
                          std::vector<double>& rows, std::string& message) {
  const std::vector<double>& printZ = line_.PrintZ;
  const int last = static_cast<int>(printZ.size()) - 1;
  const double length = printZ[static_cast<size_t>(last)];
  const std::vector<double> breaks = StretchBreaks(line_.Params, printZ);
  y.assign(static_cast<size_t>(size_), 0);
  rows.assign(static_cast<size_t>(directions_) * size_, 0);
  std::vector<double> scale(static_cast<size_t>(size_)), absTol(static_cast<size_t>(size_));
  model_.Scales(scale.data());
  for (int e = 0; e < size_; ++e) absTol[e] = line_.RelativeTolerance * scale[e];
  if (!InitialRows(y.data(), rows.data())) {
    message = "the state at the spinneret has no derivative";
    return false;
  }
  auto where = [](double z) {
    char text[64];
    std::snprintf(text, sizeof text, " at z = %.4g cm", z);
    return std::string(text);
  };

  double z = 0;
  int next = 1;
  size_t nextBreak = 0;
  int zone = -1;
  while (z < length) {
    const double end = nextBreak < breaks.size() ? breaks[nextBreak] : length;
    const int before = zone;
    zone = model_.WallZone((z + end) / 2);
    model_.SetWallZone(zone);
    // A print point at a boundary has the state the line reaches it with.
    if (printZ[static_cast<size_t>(next - 1)] == z &&
        !StoreDerivatives(next - 1, y.data(), rows.data(), partial)) {
      message = "a value has no derivative" + where(z);
      return false;
    }
    if (before >= 0 && before != zone && !ZoneBoundary(z, before, zone, y.data(), rows.data())) {
      message = "the equations have no value" + where(z);
      return false;
    }
    if (!integrator_.Start(z, y.data(), line_.RelativeTolerance, absTol.data(), end, 50000) ||
        !integrator_.StartSensitivities(directions_, values_.data(), scales_.data(), rows.data())) {
      message = integrator_.FailureText() + where(z);
      return false;
    }
    bool endIsPrinted = false;
    while (!endIsPrinted) {
      double target = end;
      const bool printing = next <= last && printZ[static_cast<size_t>(next)] <= end;
      if (printing) {
        target = printZ[static_cast<size_t>(next)];
        endIsPrinted = target == end;
      } else {
        endIsPrinted = true;
      }
      double reached = 0;
      const auto outcome = integrator_.Advance(target, y.data(), reached);
      if (outcome != StiffIntegrator::Outcome::Reached || !integrator_.Sensitivities(rows.data())) {
        message = (stopped_ ? std::string(timedOut_ ? "the calculation ran out of time"
                                                    : "the calculation was cancelled")
                            : integrator_.FailureText()) +
                  where(reached);
        return false;
      }
      if (printing) {
        if (!StoreDerivatives(next, y.data(), rows.data(), partial)) {
          message = "a value has no derivative" + where(target);
          return false;
        }
        ++next;
      }
    }
    z = end;
    ++nextBreak;
  }
  return true;
}

}  // namespace

bool ConvergedSensitivities(const SensitivityLine& line,
                            const std::vector<SensitivityParameter>& parameters,
                            std::vector<ParameterSensitivity>& results, std::string& message) {
  results.clear();
  if (line.PrintZ.size() < 2 || !(line.SpinneretTension > 0)) {
    message = "the sensitivities need a converged line";
    return false;
  }
  for (const SensitivityParameter& parameter : parameters) {
    RunParameters probe = line.Params;
    const double* field = parameter.Field ? parameter.Field(probe) : nullptr;
    if (field == nullptr || !Finite(*field)) {
      message = "the sensitivity to " + parameter.Name + " cannot be taken: it has no value";
      return false;
    }
  }
  if (parameters.empty()) return true;

  SensitivityPass pass(line, parameters);
  const int directions = static_cast<int>(parameters.size()) + 1;
  const int points = static_cast<int>(line.PrintZ.size());
  std::vector<SpinningLineProfile> partial(static_cast<size_t>(directions));
  for (SpinningLineProfile& p : partial) {
    p.Resize(points);
    p.ProfilePointCount = points;
    p.PassPointCount = points;
  }
  std::vector<double> y, rows;
  std::string why;
  if (!pass.Run(partial, y, rows, why)) {
    message = "Sorry, the sensitivities could not be computed: " + why + ".";
    return false;
  }

  // The end mismatch m and its derivatives: ln(vL / take-up speed), or the relative miss of the
  // take-up tension.
  const ConvergedModel& model = pass.Model();
  const int size = pass.Size();
  const RunParameters& record = pass.Record();
  auto mismatchDerivative = [&](int d) {
    const double* row = rows.data() + static_cast<size_t>(d) * size;
    if (line.TakeUpTension) return row[model.Tension()] / std::fabs(*line.TakeUpTension);
    double derivative = row[model.Velocity()] / y[static_cast<size_t>(model.Velocity())];
    // The take-up speed itself is the one input the target reads.
    if (d > 0) {
      RunParameters probe = record;
      if (parameters[static_cast<size_t>(d - 1)].Field(probe) == &probe.TakeUpSpeed) {
        derivative -= 1 / record.TakeUpSpeed;
      }
    }
    return derivative;
  };
  const double byTension = mismatchDerivative(0);
  if (line.HasTarget && !(std::fabs(byTension) > 0 && Finite(byTension))) {
    message =
        "Sorry, the sensitivities could not be computed: the end of the line does not move with "
        "the spinneret tension.";
    return false;
  }

  results.resize(parameters.size());
  for (int d = 1; d < directions; ++d) {
    ParameterSensitivity& r = results[static_cast<size_t>(d - 1)];
    r.Name = parameters[static_cast<size_t>(d - 1)].Name;
    // (+ 0: a tension that does not move has the derivative 0, not -0.)
    const double slope = line.HasTarget ? -mismatchDerivative(d) / byTension + 0.0 : 0.0;
    if (!Finite(slope)) {
      message = "Sorry, the sensitivity to " + r.Name + " has no value.";
      results.clear();
      return false;
    }
    r.SpinneretTension = slope;
    // The total derivative: at a fixed spinneret tension, plus the tension's move.
    const SpinningLineProfile& own = partial[static_cast<size_t>(d)];
    const SpinningLineProfile& byF0 = partial[0];
    SpinningLineProfile& out = r.Profile;
    out.Resize(points);
    out.ProfilePointCount = points;
    out.PassPointCount = points;
    for (int i = 0; i < points; ++i) {
      out.ProfileZ[i] = own.ProfileZ[i];
      const auto combine = [&](std::vector<double> SpinningLineProfile::*column) {
        (out.*column)[i] = (own.*column)[i] + slope * (byF0.*column)[i];
      };
      for (auto column :
           {&SpinningLineProfile::ProfileAvgSolvent, &SpinningLineProfile::ProfileSurfaceSolvent,
            &SpinningLineProfile::ProfileYarnVelocity, &SpinningLineProfile::ProfileYarnTemp,
            &SpinningLineProfile::ProfileTension, &SpinningLineProfile::ProfileGasTemp,
            &SpinningLineProfile::ProfileGasVelocity,
            &SpinningLineProfile::ProfileGasSolventFraction,
            &SpinningLineProfile::ProfileElongViscosity, &SpinningLineProfile::ProfileHeatTransfer,
            &SpinningLineProfile::ProfileFilamentHeatCoeff,
            &SpinningLineProfile::ProfileEvaporationFlux}) {
        combine(column);
      }
      for (int j = 0; j < kPrintedRadialNodes; ++j) {
        out.ProfileRadialSolvent[i][j] =
            own.ProfileRadialSolvent[i][j] + slope * byF0.ProfileRadialSolvent[i][j];
      }
    }
  }
  return true;
}

}  // namespace korvane
