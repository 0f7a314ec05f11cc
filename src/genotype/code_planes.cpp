#include "genotype/code_planes.hpp"

#include <algorithm>
#include <stdexcept>

namespace tarvek {

CodePlanes make_code_planes(std::size_t items, std::size_t positions) {
  CodePlanes p;
  p.items = items;
  p.positions = positions;
  p.words = (positions + 63) / 64;
  p.bits.assign(items * kCodeCount * p.words, 0);
  p.present.assign(items, 0);
  return p;
}

void set_item_codes(CodePlanes& p, std::size_t item, const GenotypeRow& row) {
  if (item >= p.items || row.size() != p.positions)
    throw std::out_of_range("genotype row does not fit the planes");
  std::uint64_t* base = p.bits.data() + item * kCodeCount * p.words;
  std::fill(base, base + kCodeCount * p.words, 0);
  std::uint8_t present = 0;
  for (std::size_t k = 0; k < row.size(); ++k) {
    const int code = row[k];
    if (code < 0 || code >= kCodeCount) continue;
    base[static_cast<std::size_t>(code) * p.words + k / 64] |= std::uint64_t{1} << (k % 64);
    present = static_cast<std::uint8_t>(present | (1u << code));
  }
  p.present[item] = present;
}

CodePlanes planes_of_rows(const std::vector<GenotypeRow>& rows, const std::vector<int>& members) {
  const std::size_t positions = members.empty() ? 0 : rows.at(static_cast<std::size_t>(members[0])).size();
  CodePlanes p = make_code_planes(members.size(), positions);
  for (std::size_t k = 0; k < members.size(); ++k)
    set_item_codes(p, k, rows.at(static_cast<std::size_t>(members[k])));
  return p;
}

CodePlanes planes_of_columns(const std::vector<GenotypeRow>& rows, std::size_t individuals) {
  CodePlanes p = make_code_planes(individuals, rows.size());
  for (std::size_t locus = 0; locus < rows.size(); ++locus) {
    const GenotypeRow& row = rows[locus];
    if (row.size() < individuals) throw std::out_of_range("genotype row shorter than the individuals");
    for (std::size_t ind = 0; ind < individuals; ++ind) {
      const int code = row[ind];
      if (code < 0 || code >= kCodeCount) continue;
      p.bits[(ind * kCodeCount + static_cast<std::size_t>(code)) * p.words + locus / 64] |=
          std::uint64_t{1} << (locus % 64);
      p.present[ind] = static_cast<std::uint8_t>(p.present[ind] | (1u << code));
    }
  }
  return p;
}

}  // namespace tarvek
