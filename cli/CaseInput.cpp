#include "cli/CaseInput.h"

#include "files/DataFile.h"
#include "files/ResultFile.h"

namespace korvane {

std::optional<CaseInput> LoadCaseInput(const std::string& path, FieldTexts& texts,
                                       std::string& error) {
  CaseInput input;
  switch (InputFileKindOf(path)) {
    case InputFileKind::CaseFile: {
      const CaseLoad load = LoadCaseFile(path);
      if (!load.Ok) {
        error = load.Message;
        return std::nullopt;
      }
      const std::string resultFileName = texts.ResultFileName;
      texts = load.Value.Texts;
      texts.ResultFileName = resultFileName;
      input.Role = "the case file";
      input.Solver = load.Value.Solver;
      input.HasInitialTension = load.Value.HasInitialTension;
      input.MaterialFile = load.Value.MaterialFile;
      return input;
    }
    case InputFileKind::ResultFile: {
      const DataFileLoad load = LoadResultFileInputs(path);
      if (!load.Ok) {
        error = load.Message;
        return std::nullopt;
      }
      texts.Items = load.Values.Items;  // fixed items included: the echo holds them all
      texts.Jacketed = load.Values.Jacketed;
      texts.Laws = ReadResultFileLaws(path, &texts.LawConstants);
      input.Role = "the result file read as a case";
      input.Notes.push_back(path +
                            ": a result file does not record the jacket modes; all three are "
                            "taken as insulated.");
      return input;
    }
    case InputFileKind::DataFile:
      break;
  }
  const DataFileLoad load = LoadDataFile(path);
  if (!load.Ok) {
    error = load.Message;
    return std::nullopt;
  }
  ApplyDataFileValues(load.Values, texts);
  return input;
}

void ApplyCaseSolver(const CaseSolver& solver, const GivenOptions& given, RunOptions& options) {
  if (!given.Method && solver.Converged)
    options.Method = *solver.Converged ? SolverMethod::Converged : SolverMethod::Classic;
  if (!given.Tolerance && solver.Tolerance) options.Converged.Tolerance = *solver.Tolerance;
  if (!given.RadialIntervals && solver.RadialIntervals)
    options.Converged.RadialIntervals = *solver.RadialIntervals;
  if (!given.TakeUpTension && solver.TakeUpTension)
    options.Converged.TakeUpTension = *solver.TakeUpTension;
}

}  // namespace korvane
