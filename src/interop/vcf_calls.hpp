#pragma once
// What the VCF reader holds of htslib: owners of the file, the header and the
// record, buffers that htslib grows, per-sample FORMAT values, and one
// sample's call reduced to what a biallelic site needs.

#include <htslib/hts.h>
#include <htslib/hts_log.h>
#include <htslib/vcf.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace tarvek::interop {

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

// The call of one sample from its `ploidy` GT values; an allele number of
// `alleles_in_record` or more makes it kBadAllele.
Call read_call(const int32_t* values, int ploidy, int alleles_in_record);

// Per-sample values of one numeric FORMAT field; NaN where a sample has none.
class FormatValues {
 public:
  FormatValues(const bcf_hdr_t* header, const char* tag);
  bool present() const { return present_; }

  // Loads the record's values; false when the record does not carry the field.
  bool load(const bcf_hdr_t* header, bcf1_t* record, int samples);
  double value(int sample) const;

 private:
  const char* tag_;
  bool present_ = false;
  bool real_ = false;
  int n_ = 0;
  int per_sample_ = 0;
  HtsBuffer<int32_t> ints_;
  HtsBuffer<float> reals_;
};

// The sample's column, or -1 when the header has no sample of that name.
int sample_index(const bcf_hdr_t* header, const std::string& name);

// True when an allele of the record spells `b`, in any case of letters.
bool same_allele(const char* a, const std::string& b);

// The offspring code of a call at a site where the first parent carries
// allele `first` and the second `second`.
int offspring_code(const Call& call, int first, int second);

}  // namespace tarvek::interop
