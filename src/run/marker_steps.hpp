#pragma once
// Steps of a run between screening and ordering that change or comment on
// the screened markers: the loc file's population header, switched alleles,
// the hint of -u, and distorted markers kept in their groups.

#include <cstddef>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "base/kernels.hpp"
#include "genotype/screening.hpp"
#include "linkage/grouping.hpp"
#include "run/run_parameters.hpp"

namespace tarvek {

// A warning when the loc file's header names another population type than
// the one the run uses.
void check_header_population(const RunParameters& params, const GenotypeTable& table,
                             Channels& channels);

// Finds the markers whose alleles are exchanged relative to the markers they
// are linked to above core_LOD, flips them in the table and returns their
// names in file order.
std::vector<std::string> flip_switched_alleles(const RunParameters& params, GenotypeTable& table,
                                               Kernels kernels, Channels& channels);

// The rejected markers that would pass their segregation test among their
// typed individuals: a hint of -u when it is not given.
void hint_typed_segregation(const RunParameters& params, const GenotypeTable& table,
                            Channels& channels);

// Markers rejected for segregation that are associated with a group above
// core_LOD (by the LOD of association, which assumes no segregation ratio)
// become loci of that group, numbered after the accepted ones; the others
// stay rejected. Returns the number of loci before the kept ones.
std::size_t keep_distorted_markers(const RunParameters& params, GenotypeTable& table,
                                   LinkageGroups& groups, Channels& channels);

}  // namespace tarvek
