#include "genotype/population.hpp"

#include <cctype>

#include "genotype/genotype_codes.hpp"

namespace tarvek {
namespace {

std::string upper_trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  std::string out(text.substr(first, last - first + 1));
  for (char& ch : out) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return out;
}

// True when `text` is `prefix` followed by nothing or by digits only.
bool prefix_and_digits(const std::string& text, std::string_view prefix) {
  if (text.compare(0, prefix.size(), prefix) != 0 || text.size() < prefix.size()) return false;
  for (std::size_t k = prefix.size(); k < text.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) return false;
  return true;
}

// Whether a header's value (in capitals) is the alias: the same text, or
// for an alias ending in '#' its stem followed by digits or nothing.
bool matches_alias(const std::string& value, std::string_view alias) {
  if (alias.empty()) return false;
  if (alias.back() == '#') return prefix_and_digits(value, alias.substr(0, alias.size() - 1));
  return value == alias;
}

}  // namespace

std::string_view population_name(PopulationType type) { return population_model(type).name; }

std::optional<PopulationType> parse_population(std::string_view name) {
  for (const PopulationModel& model : population_models())
    if (model.name == name) return model.type;
  return std::nullopt;
}

std::optional<PopulationType> parse_population_any_case(std::string_view name) {
  const std::string wanted = upper_trimmed(name);
  if (wanted.size() != name.size()) return std::nullopt;  // blanks are not part of a name
  for (const PopulationModel& model : population_models())
    if (upper_trimmed(model.name) == wanted) return model.type;
  return std::nullopt;
}

std::optional<PopulationType> population_in_header(std::string_view line) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos || upper_trimmed(line.substr(0, eq)) != "POPT")
    return std::nullopt;
  const std::string value = upper_trimmed(line.substr(eq + 1));
  for (const PopulationModel& model : population_models())
    for (const std::string_view alias : model.header_aliases)
      if (matches_alias(value, alias)) return model.type;
  return std::nullopt;
}

MarkerClasses marker_classes(PopulationType type, float a_count, float b_count) {
  const PopulationModel& model = population_model(type);
  if (model.first_follows_majority)
    return MarkerClasses{a_count >= b_count ? kCodeA : kCodeB, model.second_class};
  return MarkerClasses{kCodeA, model.second_class};
}

MarkerClasses marker_classes(PopulationType type, const GenotypeRow& row) {
  const PopulationModel& model = population_model(type);
  if (!model.first_follows_majority) return MarkerClasses{kCodeA, model.second_class};
  float a = 0.0f, b = 0.0f;
  for (const int code : row) {
    if (code == kCodeA) a += 1.0f;
    if (code == kCodeB) b += 1.0f;
  }
  return marker_classes(type, a, b);
}

int exchanged_code(int code) {
  switch (code) {
    case kCodeA: return kCodeB;
    case kCodeB: return kCodeA;
    case kCodeC: return kCodeD;
    case kCodeD: return kCodeC;
    default: return code;
  }
}

void exchange_alleles(GenotypeRow& row) {
  for (int& code : row) code = exchanged_code(code);
}

}  // namespace tarvek
