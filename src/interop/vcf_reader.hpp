#pragma once
// Markers from a VCF or BCF file (plain, gzipped or bgzipped), read with
// htslib. A biallelic SNP becomes a marker when the two parents are
// homozygous for different alleles; every other record is skipped and
// counted by its reason.

#include <array>
#include <cstddef>
#include <istream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "interop/loc_writer.hpp"
#include "interop/population.hpp"
#include "interop/reference_map.hpp"

namespace tarvek::interop {

// The alleles the two parents are homozygous for at one site, given instead
// of parent samples: bases as they stand in REF or ALT.
struct ParentAlleles {
  std::string first;
  std::string second;
};
// Keyed by chromosome and 1-based position.
using ParentAlleleTable = std::map<std::pair<std::string, long>, ParentAlleles>;

// Tab-separated lines "chromosome, position, first parent's allele, second
// parent's allele"; lines starting with "#" and empty lines are skipped.
ParentAlleleTable read_parent_alleles(std::istream& in, const std::string& file);

struct VcfOptions {
  // Names of the two parent samples; both empty when `parent_alleles` is used.
  std::string first_parent;
  std::string second_parent;
  const ParentAlleleTable* parent_alleles = nullptr;
  PopulationType population = PopulationType::F2;
  int min_gq = 0;  // calls with a lower GQ are missing; 0: no threshold
  int min_dp = 0;  // calls with a lower DP are missing; 0: no threshold
  bool keep_filtered = false;  // also use records whose FILTER is not PASS
};

// Why a record gave no marker, in the order the reasons are tested.
enum class SkipReason {
  kFiltered,               // FILTER is neither PASS nor "."
  kMultiallelic,           // more than one ALT allele
  kNoAlt,                  // no ALT allele
  kAltIsRef,               // the ALT allele is the REF allele
  kNotSnp,                 // indel, MNP or symbolic allele
  kParentBadAllele,        // a parent call names an allele beyond REF and ALT
  kParentMissing,          // a parent call is missing or incomplete
  kParentLowQuality,       // a parent call is below --min-gq or --min-dp
  kParentHeterozygous,     // a parent is heterozygous
  kParentsSame,            // both parents homozygous for the same allele
  kNotInParentFile,        // no line for the site in the parent allele file
  kParentAllelesMismatch,  // the parent allele file names an allele the record lacks
};
inline constexpr std::size_t kSkipReasonCount = 12;
std::string skip_reason_text(SkipReason reason);

struct VcfImport {
  LocData loc;                               // individuals: the samples but the parents
  std::vector<ReferencePosition> positions;  // CHROM and POS of every marker
  std::size_t records = 0;
  std::array<std::size_t, kSkipReasonCount> skipped{};
  std::size_t low_quality_calls = 0;  // offspring calls made missing by the thresholds
  std::size_t unusable_calls = 0;     // half-missing or polyploid offspring calls, made missing
  std::size_t bad_allele_calls = 0;   // offspring calls naming an allele beyond REF and ALT, made missing
  std::size_t unexpected_calls = 0;   // classes the population type does not have (kept)
  std::size_t duplicate_names = 0;    // markers whose name an earlier marker has
  bool gq_absent = false;             // --min-gq given but the header has no GQ
  bool dp_absent = false;             // --min-dp given but the header has no DP
};

// Reads the whole file, opening it once (a FIFO works). Throws InputError
// (file, record and line) when the file cannot be opened or read, is not
// VCF or BCF (saying what it is), is truncated, holds a malformed record (a
// POS that is not digits, more sample columns than the header names), lacks
// a parent sample, or has no individual besides the parents.
VcfImport import_vcf(const std::string& path, const VcfOptions& options);

// The summary for standard error: what was read, what was skipped and why.
std::vector<std::string> vcf_summary(const VcfImport& result, const VcfOptions& options);

}  // namespace tarvek::interop
