#include "support/fixtures.hpp"

#include <sstream>

namespace tarvek::testing {

const char* const kRecombinationMatrix =
    "0\t0\t0\t0\t0\t0\n"
    "0\t0\t2\t1\t0\t1\n"
    "0\t2\t0\t0\t1\t1\n"
    "0\t1\t0\t0\t0\t0\n"
    "0\t0\t1\t0\t0\t0\n"
    "0\t1\t1\t0\t0\t0\n";

ScoringMatrix recombination_matrix() {
  ScoringMatrix s{};
  std::istringstream in(kRecombinationMatrix);
  for (std::size_t row = 0; row < 6; ++row)
    for (std::size_t col = 0; col < 6; ++col) in >> s.at(row).at(col);
  return s;
}

std::string fatal(const std::string& message) { return "\n\nFatal error!: " + message + "\n"; }

std::string ParameterEcho::text() const {
  return "\n\nchromosomes = " + chromosomes + "\nLOD for core grouping = " + core +
         "\nminimum LOD for grouping = " + min + "\nmissing value screening ratio = " + missing +
         "\n1 : 1 segregation chi_square screening ratio = " + ab +
         "\n1 : 2 : 1 segregation chi_square screening ratio = " + abh +
         "\n1 : 3 segregation chi_square screening ratio = " + ac + "\norder plants = " + order +
         "\nerrsweep = 1\nERRSWEEP group threshold = " + group + "\nsingleton threshold = " +
         singleton + "\n";
}

}  // namespace tarvek::testing
