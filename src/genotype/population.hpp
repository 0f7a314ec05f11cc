#pragma once
// Mapping population types: their names and a marker's classes, read from
// the types' table (genotype/population_model.hpp).

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "genotype/genotype_table.hpp"
#include "genotype/population_model.hpp"

namespace tarvek {

// "F2", "BC1", "DH", "RIL" or "RILsib".
std::string_view population_name(PopulationType type);

// The type of an exact name as population_name spells it; nothing otherwise.
std::optional<PopulationType> parse_population(std::string_view name);
// The same in any case of letters (f2, bc1, RILSIB).
std::optional<PopulationType> parse_population_any_case(std::string_view name);

// The type a loc file's header line names, as mapping programs write it:
// "popt = BC1", the key and the value in any case, with common aliases (BC,
// RI8, RIL6, RISIB, DH1, ...). Nothing when the line is not a "popt" line or
// names a type that is not known here.
std::optional<PopulationType> population_in_header(std::string_view line);

// True for the types with two classes per marker (all but F2).
inline bool two_class(PopulationType type) { return population_model(type).classes == 2; }

// The two classes of a marker of a two-class type, as genotype codes: the
// first is the homozygote (A, or B for a backcross marker scored B/H), the
// second B, or H in a backcross. Every other code is not informative.
struct MarkerClasses {
  int first = 0;
  int second = 0;
};

// A backcross marker is scored against the homozygote it holds more of
// (A when it holds as many A as B); the other types are always A/B
// (first_follows_majority and second_class of the type's model).
MarkerClasses marker_classes(PopulationType type, float a_count, float b_count);
MarkerClasses marker_classes(PopulationType type, const GenotypeRow& row);

// 0 or 1 for a code of the marker's first or second class, -1 for a code
// that carries no information in this population (missing, flagged, a class
// the type cannot have, and C and D).
inline int class_of(const MarkerClasses& classes, int code) {
  return code == classes.first ? 0 : code == classes.second ? 1 : -1;
}

// The code with the parents' alleles exchanged: A and B, C and D swap; H,
// missing and flagged stay.
int exchanged_code(int code);
// Exchanges the alleles of every code of the row in place.
void exchange_alleles(GenotypeRow& row);

}  // namespace tarvek
