#include "interop/vcf_reader.hpp"

#include <htslib/hfile.h>
#include <htslib/hts.h>
#include <htslib/hts_log.h>
#include <htslib/kstring.h>
#include <htslib/kseq.h>
#include <htslib/vcf.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "base/echo.hpp"
#include "base/file_checks.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/input_error.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::interop {
namespace {

struct HtsFileCloser {
  void operator()(htsFile* f) const { hts_close(f); }
};
struct HeaderDestroyer {
  void operator()(bcf_hdr_t* h) const { bcf_hdr_destroy(h); }
};
struct RecordDestroyer {
  void operator()(bcf1_t* r) const { bcf_destroy(r); }
};
using HtsFilePtr = std::unique_ptr<htsFile, HtsFileCloser>;
using HeaderPtr = std::unique_ptr<bcf_hdr_t, HeaderDestroyer>;
using RecordPtr = std::unique_ptr<bcf1_t, RecordDestroyer>;

// A buffer that htslib grows with realloc and that is freed with free.
template <typename T>
struct HtsBuffer {
  T* data = nullptr;
  int capacity = 0;
  HtsBuffer() = default;
  HtsBuffer(const HtsBuffer&) = delete;
  HtsBuffer& operator=(const HtsBuffer&) = delete;
  ~HtsBuffer() { std::free(data); }
};

// Messages of htslib itself are switched off: every problem is reported
// once, by the caller, with the file and the record.
struct QuietHtslib {
  enum htsLogLevel saved = hts_get_log_level();
  QuietHtslib() { hts_set_log_level(HTS_LOG_OFF); }
  ~QuietHtslib() { hts_set_log_level(saved); }
  QuietHtslib(const QuietHtslib&) = delete;
  QuietHtslib& operator=(const QuietHtslib&) = delete;
};

// One sample's call, reduced to what a biallelic site needs.
struct Call {
  // kBadAllele: an allele number beyond the record's REF and ALT alleles.
  enum Kind { kMissing, kUnusable, kBadAllele, kAlleles } kind = kMissing;
  int first = -1;   // allele indices; a haploid call repeats its allele
  int second = -1;
};

Call read_call(const int32_t* values, int ploidy, int alleles_in_record) {
  int alleles[2] = {-1, -1};
  int count = 0;
  int missing = 0;
  for (int k = 0; k < ploidy; ++k) {
    const int32_t v = values[k];
    if (v == bcf_int32_vector_end) break;
    if (count == 2) return Call{Call::kUnusable};
    if (bcf_gt_is_missing(v)) {
      ++missing;
      alleles[count++] = -1;
    } else {
      alleles[count++] = bcf_gt_allele(v);
    }
  }
  if (count == 0 || missing == count) return Call{Call::kMissing};
  if (missing > 0) return Call{Call::kUnusable};
  for (int k = 0; k < count; ++k) {
    if (alleles[k] >= alleles_in_record) return Call{Call::kBadAllele};
  }
  if (count == 1) return Call{Call::kAlleles, alleles[0], alleles[0]};
  return Call{Call::kAlleles, alleles[0], alleles[1]};
}

// Per-sample values of one numeric FORMAT field; NaN where a sample has none.
class FormatValues {
 public:
  FormatValues(const bcf_hdr_t* header, const char* tag) : tag_(tag) {
    const int id = bcf_hdr_id2int(header, BCF_DT_ID, tag);
    if (id >= 0 && bcf_hdr_idinfo_exists(header, BCF_HL_FMT, id)) {
      present_ = true;
      real_ = bcf_hdr_id2type(header, BCF_HL_FMT, id) == BCF_HT_REAL;
    }
  }
  bool present() const { return present_; }

  // Loads the record's values; false when the record does not carry the field.
  bool load(const bcf_hdr_t* header, bcf1_t* record, int samples) {
    n_ = 0;
    if (!present_ || samples <= 0) return false;
    const int got = real_ ? bcf_get_format_float(header, record, tag_, &reals_.data, &reals_.capacity)
                          : bcf_get_format_int32(header, record, tag_, &ints_.data, &ints_.capacity);
    if (got <= 0) return false;
    n_ = got;
    per_sample_ = got / samples;
    return per_sample_ > 0;
  }

  double value(int sample) const {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (n_ <= 0 || per_sample_ <= 0) return nan;
    const int k = sample * per_sample_;
    if (k >= n_) return nan;
    if (real_) {
      const float v = reals_.data[k];
      return bcf_float_is_missing(v) || bcf_float_is_vector_end(v) ? nan : static_cast<double>(v);
    }
    const int32_t v = ints_.data[k];
    return v == bcf_int32_missing || v == bcf_int32_vector_end ? nan : static_cast<double>(v);
  }

 private:
  const char* tag_;
  bool present_ = false;
  bool real_ = false;
  int n_ = 0;
  int per_sample_ = 0;
  HtsBuffer<int32_t> ints_;
  HtsBuffer<float> reals_;
};

int sample_index(const bcf_hdr_t* header, const std::string& name) {
  return bcf_hdr_id2int(header, BCF_DT_SAMPLE, name.c_str());
}

bool same_allele(const char* a, const std::string& b) {
  const std::size_t n = std::strlen(a);
  if (n != b.size()) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b.at(i))))
      return false;
  }
  return true;
}

// The offspring code of a call at a site where the first parent carries
// allele `first` and the second `second`.
int offspring_code(const Call& call, int first, int second) {
  if (call.first == first && call.second == first) return kCodeA;
  if (call.first == second && call.second == second) return kCodeB;
  return kCodeH;
}

}  // namespace

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

    char pass[] = "PASS";
    if (!options.keep_filtered && rec->d.n_flt > 0 && bcf_has_filter(hdr, rec, pass) != 1) {
      skip(SkipReason::kFiltered);
      continue;
    }
    if (rec->n_allele > 2) {
      skip(SkipReason::kMultiallelic);
      continue;
    }
    if (rec->n_allele < 2) {
      skip(SkipReason::kNoAlt);
      continue;
    }
    if (same_allele(rec->d.allele[0], rec->d.allele[1])) {
      skip(SkipReason::kAltIsRef);
      continue;
    }
    if (bcf_is_snp(rec) != 1) {
      skip(SkipReason::kNotSnp);
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
      for (int a = 0; a < rec->n_allele; ++a) {
        if (same_allele(rec->d.allele[a], found->second.first)) first = a;
        if (same_allele(rec->d.allele[a], found->second.second)) second = a;
      }
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
