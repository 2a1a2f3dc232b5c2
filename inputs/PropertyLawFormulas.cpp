#include "inputs/PropertyLawFormulas.h"

#include <muParser.h>

#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

#include "core/model/ArithmeticFault.h"
#include "core/model/Power.h"
#include "core/model/PropertyCorrelations.h"
#include "inputs/MaterialItems.h"
#include "inputs/ParameterItems.h"
#include "inputs/TextConversion.h"

namespace korvane {

// The flags a law raised are cleared by their bits; these are the bits of <cfenv>.
static_assert(kInvalidFlag == FE_INVALID && kDivisionByZeroFlag == FE_DIVBYZERO &&
              kOverflowFlag == FE_OVERFLOW);

namespace {

constexpr std::array<PropertyLaw, kPropertyLawCount> kLaws = {
    PropertyLaw::DiffusionCoefficient, PropertyLaw::ZeroShearViscosity,
    PropertyLaw::VaporPressure,        PropertyLaw::SurfaceVaporFraction,
    PropertyLaw::GasConductivity,      PropertyLaw::GasKinematicViscosity};

std::string NumberInWords(double value) {
  if (std::isnan(value)) return "no number";
  if (std::isinf(value)) return value > 0 ? "infinity" : "minus infinity";
  char text[32];
  const char* end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr;
  return std::string(text, static_cast<size_t>(end - text));
}

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// A lone "=" assigns to a variable: a law computes a value and sets none.
bool HasAssignment(std::string_view formula) {
  for (size_t i = 0; i < formula.size(); ++i) {
    if (formula[i] != '=') continue;
    const char before = i > 0 ? formula[i - 1] : ' ';
    const char after = i + 1 < formula.size() ? formula[i + 1] : ' ';
    if (after == '=') {
      ++i;
      continue;
    }
    if (before != '<' && before != '>' && before != '!') return true;
  }
  return false;
}

std::string VariableList(PropertyLaw law) {
  const auto variables = PropertyLawVariables(law);
  std::string list(variables[0]);
  if (!variables[1].empty()) list.append(" and ").append(variables[1]);
  return list;
}

// muparser's message, with its position (counted from 0) given as a character counted from 1.
std::string ParserMessage(const mu::ParserError& error) {
  std::string message = error.GetMsg();
  const size_t at = message.find(" at position ");
  if (at != std::string::npos) {
    message.erase(at);
    if (error.GetPos() >= 0) message += " at character " + std::to_string(error.GetPos() + 1);
  }
  while (!message.empty() && (message.back() == '.' || message.back() == ' ')) message.pop_back();
  return message;
}

// The binary operators of a formula. They are those of muparser, but for the power: a ^ b is
// the simulation's own power operation (see core/model/Power.h), so that a law written as a
// built-in correlation computes exactly what the correlation does.
double Add(double a, double b) {
  return a + b;
}
double Subtract(double a, double b) {
  return a - b;
}
double Multiply(double a, double b) {
  return a * b;
}
double Divide(double a, double b) {
  return a / b;
}
double Raise(double a, double b) {
  return Power(a, b);
}
double Equal(double a, double b) {
  return a == b;
}
double NotEqual(double a, double b) {
  return a != b;
}
double Less(double a, double b) {
  return a < b;
}
double LessOrEqual(double a, double b) {
  return a <= b;
}
double Greater(double a, double b) {
  return a > b;
}
double GreaterOrEqual(double a, double b) {
  return a >= b;
}
double And(double a, double b) {
  return a != 0 && b != 0;
}
double Or(double a, double b) {
  return a != 0 || b != 0;
}

void DefineOperators(mu::Parser& parser) {
  parser.EnableBuiltInOprt(false);
  parser.DefineOprt("||", Or, mu::prLOR);
  parser.DefineOprt("&&", And, mu::prLAND);
  using Operator = double (*)(double, double);
  for (const auto& [name, function] : {std::pair<const char*, Operator>{"==", Equal},
                                       {"!=", NotEqual},
                                       {"<", Less},
                                       {"<=", LessOrEqual},
                                       {">", Greater},
                                       {">=", GreaterOrEqual}})
    parser.DefineOprt(name, function, mu::prCMP);
  parser.DefineOprt("+", Add, mu::prADD_SUB);
  parser.DefineOprt("-", Subtract, mu::prADD_SUB);
  parser.DefineOprt("*", Multiply, mu::prMUL_DIV);
  parser.DefineOprt("/", Divide, mu::prMUL_DIV);
  parser.DefineOprt("^", Raise, mu::prPOW, mu::oaRIGHT);
}

}  // namespace

std::optional<PropertyLaw> PropertyLawByName(std::string_view name) {
  for (const PropertyLaw law : kLaws)
    if (PropertyLawName(law) == name) return law;
  return std::nullopt;
}

// One law's parser with the storage its variables are bound to.
struct PropertyLawFormulas::Compiled {
  PropertyLaw Law = PropertyLaw::DiffusionCoefficient;
  mu::Parser Parser;
  std::array<double, 2> Arguments = {};
  std::array<double, kItemCount> ItemValues = {};
  // The items the formula names, with their storage: refreshed from the run record at every
  // evaluation (the converged method's derivatives move items).
  std::vector<std::pair<const ParameterItem*, double*>> UsedItems;

  // Parses the formula, which may use the constants (name and storage): nothing, or the problem
  // in words (without the law's name).
  std::optional<std::string> Build(PropertyLaw law, const std::string& formula,
                                   const std::vector<std::pair<std::string, double*>>& constants) {
    Law = law;
    const auto variables = PropertyLawVariables(law);
    if (HasAssignment(formula))
      return "a law computes a value and assigns none; \"=\" is no operator of a formula (\"==\" "
             "compares)";
    try {
      DefineOperators(Parser);
      for (size_t k = 0; k < variables.size(); ++k)
        if (!variables[k].empty()) Parser.DefineVar(std::string(variables[k]), &Arguments[k]);
      for (const ParameterItem& item : ParameterItems())
        Parser.DefineVar(ItemName(item), &ItemValues[static_cast<size_t>(item.Number - 1)]);
      for (const auto& [name, storage] : constants) Parser.DefineVar(name, storage);
      Parser.SetExpr(formula);
      int results = 0;
      Parser.Eval(results);  // parses the formula
      if (results != 1)
        return "a law is one expression; this formula holds " + std::to_string(results) +
               ", separated by commas";
      for (const auto& [name, storage] : Parser.GetUsedVar()) {
        if (const ParameterItem* item = ItemByName(name)) UsedItems.emplace_back(item, storage);
      }
    } catch (const mu::ParserError& error) {
      const std::string token = error.GetToken();
      if (error.GetCode() == mu::ecUNASSIGNABLE_TOKEN && !token.empty() &&
          IsNameCharacter(token[0]) && !(token[0] >= '0' && token[0] <= '9')) {
        size_t length = 0;
        while (length < token.size() && IsNameCharacter(token[length])) ++length;
        const std::string name = token.substr(0, length);
        const std::string closest = ClosestItemName(name);
        return "\"" + name + "\" is no variable of this law; it takes " + VariableList(law) +
               (constants.empty() ? " and the items by name"
                                  : ", the items and the law constants by name") +
               (closest.empty() ? std::string() : " (did you mean " + closest + "?)");
      }
      return ParserMessage(error);
    }
    return std::nullopt;
  }
};

PropertyLawFormulas::PropertyLawFormulas() = default;
PropertyLawFormulas::~PropertyLawFormulas() = default;

std::optional<std::string> PropertyLawProblem(std::string_view name, const std::string& formula,
                                              const LawConstantTexts& constants) {
  std::string problem;
  if (PropertyLawFormulas::Compile({{std::string(name), formula}}, constants, problem))
    return std::nullopt;
  return problem;
}

std::optional<std::string> LawConstantNameProblem(std::string_view name) {
  // Built by appending: GCC 12 warns falsely (-Wrestrict) on "\"" + std::string(name).
  std::string quoted = "\"";
  quoted.append(name).push_back('"');
  bool identifier = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
  for (const char c : name) identifier = identifier && IsNameCharacter(c);
  if (!identifier)
    return quoted +
           " is no name for a law constant: a name is letters, digits and _, not starting with "
           "a digit";
  if (ItemByName(name))
    return quoted +
           " is an item's name; a law uses the item by that name, so a constant needs "
           "another";
  for (const PropertyLaw law : kLaws)
    for (const std::string_view variable : PropertyLawVariables(law))
      if (!variable.empty() && variable == name)
        return quoted + " is a variable of the law " + std::string(PropertyLawName(law)) +
               "; a constant needs another name";
  mu::Parser parser;
  const std::string text(name);
  if (parser.GetFunDef().count(text) != 0 || parser.GetConst().count(text) != 0)
    return quoted + " is a function or constant of the formulas; a constant needs another name";
  return std::nullopt;
}

void MergePropertyLaws(PropertyLawTexts& laws, const PropertyLawTexts& update) {
  for (const auto& [name, formula] : update) {
    bool replaced = false;
    for (auto& [oldName, oldFormula] : laws) {
      if (oldName == name) {
        oldFormula = formula;
        replaced = true;
      }
    }
    if (!replaced) laws.emplace_back(name, formula);
  }
}

std::unique_ptr<PropertyLawFormulas> PropertyLawFormulas::Compile(const PropertyLawTexts& texts,
                                                                  std::string& problem) {
  return Compile(texts, {}, problem);
}

std::unique_ptr<PropertyLawFormulas> PropertyLawFormulas::Compile(const PropertyLawTexts& texts,
                                                                  const LawConstantTexts& constants,
                                                                  std::string& problem) {
  std::unique_ptr<PropertyLawFormulas> laws(new PropertyLawFormulas());
  laws->constants_.resize(constants.size());
  std::vector<std::pair<std::string, double*>> bound;
  for (size_t k = 0; k < constants.size(); ++k) {
    const auto& [name, text] = constants[k];
    if (const std::optional<std::string> wrong = LawConstantNameProblem(name)) {
      problem = *wrong;
      return nullptr;
    }
    for (size_t earlier = 0; earlier < k; ++earlier) {
      if (constants[earlier].first == name) {
        problem = "the law constant " + name + " is given twice";
        return nullptr;
      }
    }
    const std::optional<double> value = FiniteNumber(text);
    if (!value) {
      problem = "the law constant " + name + " takes a finite number, not \"" + text + "\"";
      return nullptr;
    }
    laws->constants_[k] = *value;
    bound.emplace_back(name, &laws->constants_[k]);
  }
  for (const auto& [name, formula] : texts) {
    const std::optional<PropertyLaw> law = PropertyLawByName(name);
    if (!law) {
      problem = "\"" + name + "\" is not a law; the laws are " + MaterialLawList();
      return nullptr;
    }
    auto compiled = std::make_unique<Compiled>();
    if (const std::optional<std::string> wrong = compiled->Build(*law, formula, bound)) {
      problem = name + ": " + *wrong;
      return nullptr;
    }
    const auto index = static_cast<size_t>(*law);
    laws->compiled_[index] = std::move(compiled);
    laws->given_[index] = true;
  }
  return laws;
}

bool PropertyLawFormulas::Evaluate(PropertyLaw law, const RunParameters& params, double first,
                                   double second, double& value) {
  Compiled& compiled = *compiled_[static_cast<size_t>(law)];
  compiled.Arguments = {first, second};
  for (const auto& [item, storage] : compiled.UsedItems) *storage = ItemValue(*item, params);
  // The law is judged by its value; what its own operations raised on the way is cleared.
  const FaultFlags before = RaisedFaultFlags();
  double result = std::numeric_limits<double>::quiet_NaN();
  try {
    result = compiled.Parser.Eval();
  } catch (const mu::ParserError&) {
  }
  if (const FaultFlags raised = RaisedFaultFlags() & ~before; raised != 0)
    std::feclearexcept(static_cast<int>(raised));
  const bool positive = PropertyLawMustBePositive(law);
  if (std::isfinite(result) && (!positive || result > 0)) {
    value = result;
    return true;
  }
  value = 0;
  const auto variables = PropertyLawVariables(law);
  failure_ = "the law " + std::string(PropertyLawName(law)) + " gives " + NumberInWords(result) +
             " at " + std::string(variables[0]) + " = " + NumberInWords(first);
  if (!variables[1].empty())
    failure_ += ", " + std::string(variables[1]) + " = " + NumberInWords(second);
  failure_ += positive ? ", not a finite number above 0" : ", not a finite number";
  return false;
}

std::optional<std::string> PropertyLawFormulas::ProblemAtSpinneret(const RunParameters& params) {
  const double t = params.DopeInitialTemp;
  const double w = params.InitialSolventFraction;
  const double tf = (params.GasInitialTemp + t) / 2;
  double ps = VaporPressure(params.VaporPressureParam1, params.VaporPressureParam2,
                            params.VaporPressureParam3, t);
  for (const PropertyLaw law : kLaws) {
    if (!Gives(law)) continue;
    double first = t, second = w;
    if (law == PropertyLaw::SurfaceVaporFraction) first = w, second = ps;
    if (law == PropertyLaw::GasConductivity || law == PropertyLaw::GasKinematicViscosity)
      first = tf, second = 0;
    double value = 0;
    if (!Evaluate(law, params, first, second, value)) {
      std::string text = failure_;
      text[0] = 'T';
      return text + ": at the spinneret, before the run.";
    }
    if (law == PropertyLaw::VaporPressure) ps = value;
  }
  return std::nullopt;
}

}  // namespace korvane
