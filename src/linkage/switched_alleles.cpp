#include "linkage/switched_alleles.hpp"

#include "linkage/grouping.hpp"

namespace tarvek {

std::vector<int> switched_loci_by_parts(const LodPlanes& lods, float threshold,
                                        Channels& channels, const ScreenOptions& options) {
  const int threads = options.threads;
  const PhaseLinker linker = phase_linker(lods, threshold);
  LinkageGroups parts = phase_linked_parts(lods, threshold, channels, options);
  std::erase_if(parts, [](const LinkageGroup& part) { return part.size() < 2; });
  const bool by_part = parts.size() >= static_cast<std::size_t>(std::max(threads, 1));
  std::vector<std::vector<int>> flipped_in(parts.size());
  for_each_block(by_part ? threads : 1, Blocks{parts.size(), 1},
                 [&](std::size_t p, std::size_t, std::size_t) {
                   const LinkageGroup& part = parts.at(p);
                   const auto locus = [&](std::size_t k) { return static_cast<std::size_t>(part.at(k)); };
                   const auto link_of = [&](std::size_t a, std::size_t b) {
                     return phase_link(linker, locus(a), locus(b));
                   };
                   for (const int k : switched_loci(part.size(), link_of, by_part ? 1 : threads))
                     flipped_in[p].push_back(part.at(static_cast<std::size_t>(k)));
                 });
  std::vector<int> flipped;
  for (const std::vector<int>& some : flipped_in) flipped.insert(flipped.end(), some.begin(), some.end());
  std::sort(flipped.begin(), flipped.end());
  return flipped;
}

}  // namespace tarvek
