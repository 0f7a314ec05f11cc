#include "genotype/population.hpp"

#include <cctype>

#include "genotype/genotype_codes.hpp"

namespace tarvek {
namespace {

constexpr std::array<PopulationType, 5> kTypes{PopulationType::F2, PopulationType::BC1,
                                               PopulationType::DH, PopulationType::RIL,
                                               PopulationType::RILsib};

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

}  // namespace

std::string_view population_name(PopulationType type) {
  switch (type) {
    case PopulationType::F2: return "F2";
    case PopulationType::BC1: return "BC1";
    case PopulationType::DH: return "DH";
    case PopulationType::RIL: return "RIL";
    case PopulationType::RILsib: return "RILsib";
  }
  return "F2";
}

std::optional<PopulationType> parse_population(std::string_view name) {
  for (const PopulationType type : kTypes)
    if (population_name(type) == name) return type;
  return std::nullopt;
}

std::optional<PopulationType> parse_population_any_case(std::string_view name) {
  const std::string wanted = upper_trimmed(name);
  if (wanted.size() != name.size()) return std::nullopt;  // blanks are not part of a name
  for (const PopulationType type : kTypes)
    if (upper_trimmed(population_name(type)) == wanted) return type;
  return std::nullopt;
}

std::optional<PopulationType> population_in_header(std::string_view line) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos || upper_trimmed(line.substr(0, eq)) != "POPT")
    return std::nullopt;
  const std::string value = upper_trimmed(line.substr(eq + 1));
  if (value == "F2") return PopulationType::F2;
  if (value == "BC" || value == "BC1") return PopulationType::BC1;
  if (value == "DH" || value == "DH1" || value == "DH2") return PopulationType::DH;
  if (value == "RILSIB" || value == "RISIB" || prefix_and_digits(value, "RILSIB"))
    return PopulationType::RILsib;
  if (prefix_and_digits(value, "RIL") || prefix_and_digits(value, "RI")) return PopulationType::RIL;
  return std::nullopt;
}

MarkerClasses marker_classes(PopulationType type, float a_count, float b_count) {
  if (type == PopulationType::BC1)
    return MarkerClasses{a_count >= b_count ? kCodeA : kCodeB, kCodeH};
  return MarkerClasses{kCodeA, kCodeB};
}

MarkerClasses marker_classes(PopulationType type, const GenotypeRow& row) {
  if (type != PopulationType::BC1) return MarkerClasses{kCodeA, kCodeB};
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
