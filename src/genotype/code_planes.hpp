#pragma once
// Genotype codes as bit-planes: for every item (a locus, or an individual)
// one bit per position (individual, or locus) and code. Pair tallies then
// become AND + popcount over 64-bit words.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/genotype_table.hpp"

namespace tarvek {

struct CodePlanes {
  std::size_t items = 0;
  std::size_t positions = 0;
  std::size_t words = 0;               // 64-bit words per plane
  std::vector<std::uint64_t> bits;     // [item][code][word]
  std::vector<std::uint8_t> present;   // per item: bit c set when code c occurs
};

// Empty planes for `items` items of `positions` positions each.
CodePlanes make_code_planes(std::size_t items, std::size_t positions);

// Sets item `item` from the codes of `row` (one per position; codes outside
// 0..6 are not set in any plane). The row must have `positions` entries.
void set_item_codes(CodePlanes& planes, std::size_t item, const GenotypeRow& row);

// Planes of the given rows: item k is rows[members[k]], positions are the
// individuals.
CodePlanes planes_of_rows(const std::vector<GenotypeRow>& rows, const std::vector<int>& members);

// Planes of the transposed table: item k is individual k, positions are the
// rows (loci).
CodePlanes planes_of_columns(const std::vector<GenotypeRow>& rows, std::size_t individuals);

// The words of code `code` of item `item`.
inline const std::uint64_t* plane(const CodePlanes& p, std::size_t item, int code) {
  return p.bits.data() + (item * kCodeCount + static_cast<std::size_t>(code)) * p.words;
}

}  // namespace tarvek
