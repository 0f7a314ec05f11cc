#pragma once
// How two loci are linked in the two phases, for the search for switched
// alleles: as scored, or with the alleles of one of them exchanged (A and B,
// C and D).

#include <cstddef>
#include <optional>
#include <vector>

#include "linkage/lod_planes.hpp"

namespace tarvek {

// `strength` is the larger of the two LODs and `exchanged` tells that the
// exchanged one is strictly larger. The LODs are those of the lower-numbered
// locus against the other. In a backcross the exchange leaves the classes,
// and so the LOD, as they are: there `exchanged` tells that the two markers
// are scored against different homozygotes (one A/H, the other B/H).
struct PhaseLink {
  float strength = 0.0f;
  bool exchanged = false;
};

// Phase links of the pairs of the loci of `lods` above one threshold.
struct PhaseLinker {
  const LodPlanes* lods = nullptr;
  float threshold = 0.0f;
  std::vector<int> exclusion;  // the bound of the threshold, per number of individuals
};

PhaseLinker phase_linker(const LodPlanes& lods, float threshold);

// The phase link of loci i and j (in either order) when its strength is
// above the threshold; nothing otherwise. Pairs whose two LODs are both
// bounded below the threshold take no logarithm.
std::optional<PhaseLink> phase_link(const PhaseLinker& linker, std::size_t i, std::size_t j);

}  // namespace tarvek
