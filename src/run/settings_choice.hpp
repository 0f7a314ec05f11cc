#pragma once
// -A: the settings a data set calls for, chosen from the loc file itself.

#include <string>
#include <vector>

#include "base/channels.hpp"
#include "base/kernels.hpp"
#include "genotype/genotype_table.hpp"
#include "run/run_parameters.hpp"

namespace tarvek {

// The core LODs tried, from the strictest, until the groups of two or more
// markers are no more than the chromosomes.
inline constexpr float kCoreLodSteps[] = {16.0f, 12.0f, 8.0f, 6.0f, 4.0f, 3.0f};

// How many of the `pairs` pairs of unlinked markers are expected to reach a
// LOD of `lod` by chance. Twice ln 10 times the LOD of a pair is, under no
// linkage, a chi-square of one degree of freedom, counted on one side only
// (r below one half), so a pair reaches `lod` with probability
// P(Z > sqrt(2 ln 10 lod)) = erfc(sqrt(ln 10 lod)) / 2.
double chance_links(double pairs, double lod);

// The missing-value threshold -A screens with: sparse markers are accepted
// and, under the framework, placed into it.
inline constexpr float kChosenMissingThreshold = 0.85f;

// The share of a row's genotypes that are missing.
double missing_share(const GenotypeRow& row);

// The missing share above which the framework sets a marker aside: the
// share given (-y), or else 0.5, raised to the median missing share of the
// rows + 0.1 where most markers are sparser than that (selective
// genotyping): the framework then keeps the markers typed as often as most
// are, and sets aside those clearly sparser.
float sparse_share_of(const RunParameters& params, const std::vector<GenotypeRow>& rows);

// Chooses, for the options the command line did not give, from the loc
// file's text: the population type from the header's popt line; -u when
// markers rejected for segregation pass their test among their typed
// individuals; the missing threshold; -f when there are dominant or sparse
// markers; the core LOD, lowered step by step until the groups of two or
// more markers are no more than `chromosomes`, but not to a step that one
// pair or more of unlinked markers is expected to reach by chance; -a when the search for
// switched alleles at that LOD flips any; -k when markers still rejected for
// segregation are linked to a group. Sets them in `params`, writes each choice
// into the log and the equivalent command line into the log and onto
// standard error.
void choose_settings(const std::string& loc_text, RunParameters& params, Channels& channels,
                     Kernels kernels);

// The command line that sets explicitly what -A chose: "tarvek", the given
// arguments without -A and its value, and the chosen options (each option
// and its values one entry) before the loc file.
std::string equivalent_command_line(const std::vector<std::string>& arguments,
                                    const std::vector<std::string>& chosen);

}  // namespace tarvek
