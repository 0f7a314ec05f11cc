#pragma once
// MAPMAKER raw files (also read by OneMap), as R/qtl's listeria_raw.txt:
//
//   data type f2 intercross
//   120 133 1 symbols a=A h=H b=B c=C
//   *D10M44  b--bhhhhabaaahahabhhhbah----haaabbbhhbbhbabhahhhh-b-abahhbhh
//            bhhhahhhahhbh-b-h-aahbhhhhabahah---h---baa-b-abbhabhahbhahaa
//   ...
//   *T264 118.317 264 194.917 ...
//
// The first line names the cross: f2 intercross (F2), f2 backcross (BC1),
// ri self (RIL), ri sib (RILsib). The second gives the numbers of
// individuals, markers and traits, and optionally "symbols" followed by
// pairs "x=Y": the letter x of the file stands for Y. Each marker is "*"
// and its name, then one letter per individual, over as many lines as it
// takes, blanks between letters ignored: A, B, H, C (not AA), D (not BB)
// and "-" for missing, in either case. The traits follow in the same way,
// one value per individual separated by blanks ("-" missing); they are
// kept as phenotypes. Lines starting with "#" are comments.

#include <istream>
#include <string>

#include "interop/loc_writer.hpp"

namespace tarvek::interop {

// Throws InputError with the line for: an unknown cross type, a second line
// without three counts, a letter that is neither a genotype nor a symbol, a
// marker or trait with another number of values than individuals, fewer
// markers or traits than the second line counts.
LocData read_mapmaker_raw(std::istream& in, const std::string& file);

}  // namespace tarvek::interop
