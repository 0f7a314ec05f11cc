#pragma once
// What the text carried behind each marker says about where it lies: the
// importers write "chromosome<TAB>position" there (the VCF's CHROM and POS),
// and tarvek carries it into the map file. From it the companions name each
// group after the chromosome most of its markers come from and can turn a
// group to run along its chromosome.
//
// The first field of the text is the chromosome; the second is a physical
// position when it is a whole number of base pairs (an R/qtl import writes
// its cM positions as "12.5 cM", which is not).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "interop/map_reader.hpp"
#include "interop/reference_map.hpp"

namespace tarvek::interop {

struct CarriedPosition {
  std::string chromosome;            // empty when the marker carries none
  std::optional<std::int64_t> bp;    // the physical position, when there is one
};

CarriedPosition carried_position(const MapMarker& marker);

// True when any marker of the map (mapped or rejected) carries a chromosome.
bool carries_chromosomes(const MapFile& map);

// True when any mapped marker carries a physical position.
bool carries_physical_positions(const MapFile& map);

// The chromosome most of a group's markers carry (a tie goes to the one met
// first in map order); empty when none carries one.
std::string majority_chromosome(const MapGroup& group);

// A name per group: its majority chromosome, or its number (from 1) when its
// markers carry none. Groups that would share a name are told apart as
// "<name>_1", "<name>_2", ... in map order.
std::vector<std::string> group_names(const MapFile& map);

// "chr1" for the first segment of a group, "chr1.2", "chr1.3" ... after.
std::string segment_label(const std::string& group_name, int segment);

// Spearman's correlation of map order with physical position over a group's
// markers on its majority chromosome; NaN when fewer than two have one.
double physical_correlation(const MapGroup& group);

// The map with every group whose order runs against its chromosome's
// positions (negative correlation) reversed, the pair columns moved with
// their intervals. `reversed`, when given, gets one flag per group.
MapFile oriented_physically(const MapFile& map, std::vector<bool>* reversed = nullptr);

// The line a companion writes after orienting: which groups were turned
// ("turned to physical order: chr2, chr5"), or that none needed it, or
// that no marker carries a physical position (a warning).
std::string orientation_summary(const MapFile& map, const std::vector<bool>& reversed);

// The carried positions of the mapped markers as a reference map (for
// tarvek-export compare and tarvek-draw marey without --positions).
std::vector<ReferencePosition> carried_reference(const MapFile& map);

}  // namespace tarvek::interop
