#pragma once
// Maps written for two more peers: JoinMap's loc file (the mapped markers in
// map order, genotypes in the population type's lower-case codes, the
// individual names at the end) and Lep-MAP's table of marker positions (one
// block per linkage segment, the sex-averaged position written for both
// sexes).

#include <ostream>
#include <string>
#include <vector>

#include "genotype/population.hpp"
#include "interop/map_model.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"

namespace tarvek::interop {

// JoinMap's popt for a type: F2, BC1, DH1, RI8 (sib-mated lines too: JoinMap
// has no type of their own).
std::string joinmap_population(PopulationType population);

// name, popt, nloc and nind lines, an empty line, one line per mapped
// marker ("name" then the codes separated by blanks, individuals in their
// original order): a, b, h, c (not a), d (not b), "-" missing; in a
// backcross a and h, a marker scored B/H written a/h; codes a marker of its
// type cannot have, and "*", written "-". Then "individual names:" and one
// name a line. Blanks in names become "_" (`renamed` counts the names so
// changed). Throws as write_rqtl_csv does.
void write_joinmap_loc(std::ostream& out, const MapFile& map, PopulationType population, std::size_t& renamed);

// Comment lines naming every marker by its number (with the chromosome and
// position it carries, when it does), then per segment "#*** LG = <name>"
// and "marker_number male_position female_position ( error_estimate )"
// lines: the positions in cM, the error estimate the share of the marker's
// typed genotypes the model calls errors.
void write_lepmap_table(std::ostream& out, const MapFile& map, const std::vector<PlacedGroup>& placed,
                        const std::vector<MapErrorCall>& calls, MapFunction function);

}  // namespace tarvek::interop
