#pragma once
// Loc files in the free layout other mapping programs write: header lines
// "key = value" in any order, genotypes separated by blanks or not separated
// at all, one marker's genotypes wrapped over several lines, comments in
// braces or after ";", and an "individual names:" section at the end.
// tarvek's own one-line form reads the same way.

#include <istream>
#include <string>

#include "interop/loc_writer.hpp"

namespace tarvek::interop {

// Reads the whole file.
//
// Header: before the first marker, lines "key = value"; name, popt, nloc and
// nind are used (other keys are left out). Data: a marker starts with its
// name (the text up to the first tab when the line has one, else up to the
// first blank), then its genotype characters: a, b, h, c, d (either case),
// and "-", "u" or "." for missing. With nind given, a marker takes the next
// nind genotype characters wherever the lines break; without it, a marker
// is its first line and the lines after it that start with a blank.
//
// Throws InputError with the line for: an unknown genotype character, a
// marker with more or fewer genotypes than nind (or than the first marker),
// a file that ends inside a marker, an nloc that differs from the markers
// read, an individual names section whose count differs from nind.
LocData read_wrapped_loc(std::istream& in, const std::string& file);

}  // namespace tarvek::interop
