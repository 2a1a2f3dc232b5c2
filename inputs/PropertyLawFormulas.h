// Property laws as formulas: the texts of a material's [laws], compiled once per run with
// muparser and evaluated in place of the built-in correlations.
//
// A formula is one expression of the law's variables (PropertyLawVariables: t and w; t; ws and
// ps; tf), of every input item by its script name (diffusion_param_1, ...) and of the case's law
// constants by their names ([laws.constants] d0 = 1.2e-6: a name that is no item, no variable
// and no function or constant of the parser), with muparser's
// operators (+ - * / ^, comparisons, && ||, the conditional a ? b : c) and functions (exp, ln,
// log10, sqrt, abs, min, max, ...). Each compiled law owns its parser, so a run's evaluator
// must not be shared between threads; every run compiles its own.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/model/PropertyLaws.h"
#include "core/model/RunParameters.h"

namespace korvane {

// Law names and formulas as written, in the order given.
using PropertyLawTexts = std::vector<std::pair<std::string, std::string>>;
// Law constants' names and number texts as written, in the order given.
using LawConstantTexts = std::vector<std::pair<std::string, std::string>>;

// The law of a name ("vapor_pressure"), or nothing.
std::optional<PropertyLaw> PropertyLawByName(std::string_view name);

// What keeps a law's formula from being used, in words that name the law: an unknown law
// name, a formula that does not parse, names an unknown variable (with the closest item name),
// holds more than one expression or assigns a value. Nothing when it compiles.
// The formula may use the constants given.
std::optional<std::string> PropertyLawProblem(std::string_view name, const std::string& formula,
                                              const LawConstantTexts& constants = {});

// What keeps a name from naming a law constant (it is no identifier, or it is an item's name, a
// law's variable or a function or constant of the parser), in words that name it; nothing when
// it may.
std::optional<std::string> LawConstantNameProblem(std::string_view name);

// Sets or replaces the laws of `laws` with those of `update`, law by law (or the constants of
// `laws` with those of `update`, name by name).
void MergePropertyLaws(PropertyLawTexts& laws, const PropertyLawTexts& update);

class PropertyLawFormulas final : public PropertyLaws {
 public:
  // The compiled laws, or null with the problem of the first law that does not compile
  // (as PropertyLawProblem gives it).
  static std::unique_ptr<PropertyLawFormulas> Compile(const PropertyLawTexts& texts,
                                                      std::string& problem);
  // With the case's law constants, which the formulas may use and Constant(k) holds in their
  // order; a constant's bad name or value is a problem too.
  static std::unique_ptr<PropertyLawFormulas> Compile(const PropertyLawTexts& texts,
                                                      const LawConstantTexts& constants,
                                                      std::string& problem);
  ~PropertyLawFormulas() override;

  bool Evaluate(PropertyLaw law, const RunParameters& params, double first, double second,
                double& value) override;
  std::string_view FailureText() const override { return failure_; }

  // Every law evaluated at the spinneret's state of the run (t the dope's initial temperature,
  // w and ws its initial solvent fraction, ps the vapour pressure there, tf the mean of the
  // dope's and the gas's initial temperatures): the first law without a value, in words, or
  // nothing.
  std::optional<std::string> ProblemAtSpinneret(const RunParameters& params);

 private:
  struct Compiled;
  PropertyLawFormulas();
  std::array<std::unique_ptr<Compiled>, kPropertyLawCount> compiled_;
  std::string failure_;
};

}  // namespace korvane
