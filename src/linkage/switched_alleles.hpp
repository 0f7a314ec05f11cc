#pragma once
// Markers with switched alleles: scored with A and B (and C and D) exchanged
// relative to the markers they are linked to. Their true linkage shows only
// after exchanging their alleles, and they often come in runs linked
// normally to each other, so they are found per group of linked markers
// rather than against a best partner.

#include <cstddef>
#include <vector>

#include "linkage/lod_matrix.hpp"

namespace tarvek {

// The loci to flip, in increasing order, from the links of phase_links over
// loci 0..n-1. Loci joined by links form groups. Within each group a maximum
// spanning tree over the link strengths (Kruskal's: strongest first, equal
// strengths by i, then j) gives every locus a phase relative to the group's
// lowest locus, each tree link keeping the phase or changing it when it is
// exchanged. The loci of the smaller phase are returned; when both phases
// are as large, those not holding the group's lowest locus.
std::vector<int> switched_loci(std::vector<PhaseLink> links, std::size_t n);

}  // namespace tarvek
