#pragma once
// The genotype graph: one row per individual, in the map file's column
// order, one column per marker in map order (group after group), each cell
// coloured by its genotype (A, H, B, C, D, missing, and "*" for a genotype
// flagged as a likely scoring error). Double crossovers show as a short run
// of one colour inside another; flagged genotypes as black cells.
//
// Genotypes recoded kCalledError (colours.hpp) show as errors the multipoint
// model calls, in a colour of their own.
//
// When there are more markers (or individuals) than pixels, a pixel stands
// for a block of consecutive markers (individuals): it shows "*" when any
// genotype of its block is flagged, else a called error when any is called,
// so that no flag or call disappears, and otherwise the genotype at the
// middle of the block.

#include <cstddef>
#include <optional>
#include <string>

#include "draw/canvas.hpp"
#include "interop/map_reader.hpp"

namespace tarvek::draw {

struct GenotypeOptions {
  std::optional<std::size_t> group;  // from 1; all groups when empty
  int width = 1600;                  // of the picture, at most (at least 300)
};

inline constexpr int kNarrowestGenotypeGraph = 300;
inline constexpr int kWidestGenotypeGraph = 30000;

// A block of items [first, last) behind each of `pixels` pixels.
struct PixelBlock {
  std::size_t first = 0, last = 0;
};
std::vector<PixelBlock> pixel_blocks(std::size_t items, std::size_t pixels);

// The code a pixel shows for the genotypes of markers `markers` and
// individuals `individuals` (see above).
int summary_code(const std::vector<const interop::MapMarker*>& rows, PixelBlock markers, PixelBlock individuals);

// The genotype graph of a map with at least one group, as the bytes of a
// file. Throws interop::InputError for a group the map does not have.
std::string draw_genotypes(const interop::MapFile& map, const GenotypeOptions& options, Format format);

}  // namespace tarvek::draw
