#include "interop/vcf_reader.hpp"

#include <htslib/hfile.h>
#include <htslib/hts.h>
#include <htslib/kstring.h>
#include <htslib/kseq.h>
#include <htslib/vcf.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "base/echo.hpp"
#include "base/file_checks.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/input_error.hpp"
#include "interop/vcf_calls.hpp"

namespace tarvek::interop {
namespace {

// Opens the file once (a FIFO cannot be opened twice) and makes sure that it
// is VCF or BCF, saying what it is otherwise.
HtsFilePtr open_variants(const std::string& path) {
  if (const std::string why = unreadable_input_reason(path); !why.empty()) throw error_in_file(path, why);
  errno = 0;
  hFILE* raw = hopen(path.c_str(), "r");
  if (raw == nullptr) throw error_in_file(path, std::string("cannot open: ") + std::strerror(errno));
  htsFormat detected{};
  if (hts_detect_format2(raw, path.c_str(), &detected) < 0) {
    const int error = errno;
    hclose_abruptly(raw);
    throw error_in_file(path, std::string("cannot be read: ") + std::strerror(error != 0 ? error : EIO));
  }
  if (detected.category != variant_data || (detected.format != vcf && detected.format != bcf)) {
    char* description = hts_format_description(&detected);
    const std::string what = description != nullptr ? description : "unknown";
    std::free(description);
    hclose_abruptly(raw);
    throw error_in_file(path, "not a VCF or BCF file: it reads as " + what);
  }
  HtsFilePtr fp(hts_hopen(raw, path.c_str(), "r"));
  if (!fp) {
    const int error = errno;
    hclose_abruptly(raw);
    throw error_in_file(path, std::string("cannot be read as VCF or BCF: ") + std::strerror(error != 0 ? error : EIO));
  }
  return fp;
}

// The tab-separated fields of a record line as read, before htslib parses it.
std::vector<std::string_view> record_fields(const kstring_t& line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t k = 0; k <= line.l; ++k) {
    if (k == line.l || line.s[k] == '\t') {
      fields.emplace_back(line.s + start, k - start);
      start = k + 1;
    }
  }
  return fields;
}

// A kstring that htslib fills, freed with the object.
struct TextLine {
  kstring_t text = KS_INITIALIZE;
  TextLine() = default;
  TextLine(const TextLine&) = delete;
  TextLine& operator=(const TextLine&) = delete;
  ~TextLine() { ks_free(&text); }
};

bool all_digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Why a record cannot give a marker whatever its calls: a FILTER other than
// PASS (unless filtered records are kept), not exactly one ALT allele, an
// ALT that is the REF, or not a SNP. Nothing when the site may give one.
std::optional<SkipReason> site_skip_reason(const bcf_hdr_t* hdr, bcf1_t* rec, bool keep_filtered) {
  char pass[] = "PASS";
  if (!keep_filtered && rec->d.n_flt > 0 && bcf_has_filter(hdr, rec, pass) != 1)
    return SkipReason::kFiltered;
  if (rec->n_allele > 2) return SkipReason::kMultiallelic;
  if (rec->n_allele < 2) return SkipReason::kNoAlt;
  if (same_allele(rec->d.allele[0], rec->d.allele[1])) return SkipReason::kAltIsRef;
  if (bcf_is_snp(rec) != 1) return SkipReason::kNotSnp;
  return std::nullopt;
}

// The last of the record's alleles that spells `allele`; -1 when none does.
int allele_index(const bcf1_t* rec, const std::string& allele) {
  int index = -1;
  for (int a = 0; a < rec->n_allele; ++a) {
    if (same_allele(rec->d.allele[a], allele)) index = a;
  }
  return index;
}

}  // namespace

VcfImport import_vcf(const std::string& path, const VcfOptions& options) {
  QuietHtslib quiet;
  HtsFilePtr fp = open_variants(path);
  const htsFormat* format = hts_get_format(fp.get());
  if (hts_check_EOF(fp.get()) == 0)
    throw error_in_file(path, "the file is truncated (the BGZF end-of-file block is missing)");
  const bool text = format->format == vcf;

  HeaderPtr header(bcf_hdr_read(fp.get()));
  if (!header) throw error_in_file(path, "the header cannot be read (malformed or truncated)");
  const bcf_hdr_t* hdr = header.get();
  const int samples = bcf_hdr_nsamples(hdr);

  const bool by_samples = options.parent_alleles == nullptr;
  int p1 = -1;
  int p2 = -1;
  if (by_samples) {
    p1 = sample_index(hdr, options.first_parent);
    p2 = sample_index(hdr, options.second_parent);
    if (p1 < 0) throw error_in_file(path, "no sample named " + options.first_parent);
    if (p2 < 0) throw error_in_file(path, "no sample named " + options.second_parent);
  }

  VcfImport result;
  std::vector<int> offspring;
  for (int s = 0; s < samples; ++s) {
    if (s == p1 || s == p2) continue;
    offspring.push_back(s);
    result.loc.individuals.emplace_back(hdr->samples[s]);
  }
  if (offspring.empty()) throw error_in_file(path, "no individuals besides the parents");

  FormatValues gq(hdr, "GQ");
  FormatValues dp(hdr, "DP");
  result.gq_absent = options.min_gq > 0 && !gq.present();
  result.dp_absent = options.min_dp > 0 && !dp.present();

  // htslib counts the lines it reads: the line of the record last read.
  auto record_place = [&](std::size_t number) {
    std::string place = "record " + std::to_string(number);
    if (text) place += " (line " + std::to_string(fp->lineno) + ")";
    return place;
  };

  RecordPtr record(bcf_init());
  HtsBuffer<int32_t> gt;
  std::unordered_set<std::string> names;
  const auto skip = [&](SkipReason reason) { ++result.skipped.at(static_cast<std::size_t>(reason)); };
  // A text VCF is read a line at a time and each line checked for what
  // htslib's parser reads leniently (a POS with letters or a sign, more
  // sample columns than the header names) before it is parsed.
  TextLine raw;
  const auto read_record = [&]() -> int {
    if (!text) return bcf_read(fp.get(), hdr, record.get());
    const int got = hts_getline(fp.get(), KS_SEP_LINE, &raw.text);
    if (got < 0) return got == -1 ? -1 : -2;
    const std::vector<std::string_view> fields = record_fields(raw.text);
    if (fields.size() > 1 && !all_digits(fields[1]))
      throw error_in_file(path, record_place(result.records + 1) + ": POS \"" + echo(fields[1]) +
                                    "\" is not a position (digits only)");
    if (samples > 0 && fields.size() > static_cast<std::size_t>(9 + samples))
      throw error_in_file(path, record_place(result.records + 1) + ": " + std::to_string(fields.size() - 9) +
                                    " sample columns, the header names " + std::to_string(samples));
    return vcf_parse(&raw.text, hdr, record.get()) == 0 ? 0 : -2;
  };
  int status = 0;
  while ((status = read_record()) == 0) {
    bcf1_t* rec = record.get();
    ++result.records;
    // Undefined contigs and tags are defined on the fly by htslib; anything
    // else means the record could not be parsed as written.
    if ((rec->errcode & ~(BCF_ERR_CTG_UNDEF | BCF_ERR_TAG_UNDEF)) != 0)
      throw error_in_file(path, record_place(result.records) + ": malformed record");
    if (bcf_unpack(rec, BCF_UN_ALL) != 0)
      throw error_in_file(path, record_place(result.records) + ": malformed record");

    const std::string chrom = bcf_seqname_safe(hdr, rec);
    const long pos = static_cast<long>(rec->pos) + 1;

    if (const std::optional<SkipReason> reason = site_skip_reason(hdr, rec, options.keep_filtered)) {
      skip(*reason);
      continue;
    }

    const int n_gt = bcf_get_genotypes(hdr, rec, &gt.data, &gt.capacity);
    const int ploidy = n_gt > 0 && samples > 0 ? n_gt / samples : 0;
    const auto call_of = [&](int sample) {
      return ploidy > 0 ? read_call(gt.data + static_cast<std::ptrdiff_t>(sample) * ploidy, ploidy, rec->n_allele)
                        : Call{};
    };
    const bool has_gq = options.min_gq > 0 && gq.load(hdr, rec, samples);
    const bool has_dp = options.min_dp > 0 && dp.load(hdr, rec, samples);
    const auto low_quality = [&](int sample) {
      if (has_gq) {
        const double v = gq.value(sample);
        if (!std::isnan(v) && v < options.min_gq) return true;
      }
      if (has_dp) {
        const double v = dp.value(sample);
        if (!std::isnan(v) && v < options.min_dp) return true;
      }
      return false;
    };

    int first = -1;
    int second = -1;
    if (by_samples) {
      const Call c1 = call_of(p1);
      const Call c2 = call_of(p2);
      if (c1.kind == Call::kBadAllele || c2.kind == Call::kBadAllele) {
        skip(SkipReason::kParentBadAllele);
        continue;
      }
      if (c1.kind != Call::kAlleles || c2.kind != Call::kAlleles) {
        skip(SkipReason::kParentMissing);
        continue;
      }
      if (low_quality(p1) || low_quality(p2)) {
        skip(SkipReason::kParentLowQuality);
        continue;
      }
      if (c1.first != c1.second || c2.first != c2.second) {
        skip(SkipReason::kParentHeterozygous);
        continue;
      }
      first = c1.first;
      second = c2.first;
    } else {
      const auto found = options.parent_alleles->find(std::make_pair(chrom, pos));
      if (found == options.parent_alleles->end()) {
        skip(SkipReason::kNotInParentFile);
        continue;
      }
      first = allele_index(rec, found->second.first);
      second = allele_index(rec, found->second.second);
      if (first < 0 || second < 0) {
        skip(SkipReason::kParentAllelesMismatch);
        continue;
      }
    }
    if (first == second) {
      skip(SkipReason::kParentsSame);
      continue;
    }

    LocMarker marker;
    const std::string id = rec->d.id != nullptr ? rec->d.id : ".";
    marker.name = id != "." && !id.empty() ? id : chrom + "_" + std::to_string(pos);
    marker.note = chrom + "\t" + std::to_string(pos);
    marker.codes.reserve(offspring.size());
    for (const int s : offspring) {
      const Call c = call_of(s);
      int code = kMissing;
      if (c.kind == Call::kUnusable) {
        ++result.unusable_calls;
      } else if (c.kind == Call::kBadAllele) {
        ++result.bad_allele_calls;
      } else if (c.kind == Call::kAlleles) {
        if (low_quality(s)) {
          ++result.low_quality_calls;
        } else {
          code = offspring_code(c, first, second);
          if (!expects_code(options.population, code)) ++result.unexpected_calls;
        }
      }
      marker.codes.push_back(code);
    }
    if (!names.insert(marker.name).second) ++result.duplicate_names;
    result.positions.push_back(ReferencePosition{marker.name, chrom, static_cast<double>(pos), std::to_string(pos)});
    result.loc.markers.push_back(std::move(marker));
  }
  if (status < -1)
    throw error_in_file(path, record_place(result.records + 1) + ": cannot be read (malformed or truncated)");
  result.loc.population = population_name(options.population);
  return result;
}

}  // namespace tarvek::interop
