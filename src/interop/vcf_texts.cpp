#include <string>
#include <vector>

#include "base/echo.hpp"
#include "interop/input_error.hpp"
#include "interop/text_lines.hpp"
#include "interop/vcf_reader.hpp"

// What the VCF import says about a file: the reasons records were skipped,
// the summary lines, and the parent allele file read instead of parent
// samples.

namespace tarvek::interop {

std::string skip_reason_text(SkipReason reason) {
  switch (reason) {
    case SkipReason::kFiltered: return "FILTER not PASS";
    case SkipReason::kMultiallelic: return "multiallelic";
    case SkipReason::kNoAlt: return "no ALT allele";
    case SkipReason::kAltIsRef: return "ALT allele the same as REF";
    case SkipReason::kNotSnp: return "not a SNP";
    case SkipReason::kParentBadAllele: return "parent call names an allele the record does not have";
    case SkipReason::kParentMissing: return "parent call missing";
    case SkipReason::kParentLowQuality: return "parent call below the quality thresholds";
    case SkipReason::kParentHeterozygous: return "parent heterozygous";
    case SkipReason::kParentsSame: return "monomorphic (parents homozygous for the same allele)";
    case SkipReason::kNotInParentFile: return "not in the parent allele file";
    case SkipReason::kParentAllelesMismatch: return "parent alleles not among REF and ALT";
  }
  return "unknown";
}

ParentAlleleTable read_parent_alleles(std::istream& in, const std::string& file) {
  ParentAlleleTable table;
  LineReader reader{in, file};
  std::string line;
  while (reader.next(line)) {
    if (trim_blanks(line).empty() || line.front() == '#') continue;
    const std::vector<std::string> f = split_fields(line, '\t');
    int position = 0;
    if (f.size() != 4 || f.at(0).empty() || !parse_int(f.at(1), position) || position < 1 ||
        trim_blanks(f.at(2)).empty() || trim_blanks(f.at(3)).empty())
      throw error_at_line(file, reader.number,
                          "expected chromosome, position, first and second parent's allele separated by tabs");
    const auto key = std::make_pair(f.at(0), static_cast<long>(position));
    if (!table.emplace(key, ParentAlleles{trim_blanks(f.at(2)), trim_blanks(f.at(3))}).second)
      throw error_at_line(file, reader.number, "site " + echo(f.at(0)) + ":" + echo(f.at(1)) + " is listed twice");
  }
  return table;
}

std::vector<std::string> vcf_summary(const VcfImport& r, const VcfOptions& options) {
  std::vector<std::string> lines;
  std::size_t skipped = 0;
  for (const std::size_t n : r.skipped) skipped += n;
  lines.push_back("read " + std::to_string(r.records) + " records: " + std::to_string(r.loc.markers.size()) +
                  " markers, " + std::to_string(skipped) + " skipped; " +
                  std::to_string(r.loc.individuals.size()) + " individuals");
  for (std::size_t k = 0; k < kSkipReasonCount; ++k) {
    if (r.skipped.at(k) == 0) continue;
    lines.push_back("skipped " + std::to_string(r.skipped.at(k)) + " records: " +
                    skip_reason_text(static_cast<SkipReason>(k)));
  }
  if (r.low_quality_calls > 0)
    lines.push_back(std::to_string(r.low_quality_calls) + " calls below the quality thresholds written as missing");
  if (r.unusable_calls > 0)
    lines.push_back(std::to_string(r.unusable_calls) + " half-missing or polyploid calls written as missing");
  if (r.bad_allele_calls > 0)
    lines.push_back("warning: " + std::to_string(r.bad_allele_calls) +
                    " calls name an allele the record does not have (written as missing)");
  if (r.unexpected_calls > 0)
    lines.push_back("warning: " + std::to_string(r.unexpected_calls) + " calls of a class that a " +
                    std::string(population_name(options.population)) + " population does not have (kept as called)");
  if (r.duplicate_names > 0)
    lines.push_back("warning: " + std::to_string(r.duplicate_names) + " markers share a name with an earlier marker");
  if (r.gq_absent) lines.push_back("warning: --min-gq has no effect: the file has no GQ field");
  if (r.dp_absent) lines.push_back("warning: --min-dp has no effect: the file has no DP field");
  return lines;
}

}  // namespace tarvek::interop
