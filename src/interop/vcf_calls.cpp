#include "interop/vcf_calls.hpp"

#include <cctype>
#include <cstring>
#include <limits>

#include "genotype/genotype_codes.hpp"

namespace tarvek::interop {

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

FormatValues::FormatValues(const bcf_hdr_t* header, const char* tag) : tag_(tag) {
  const int id = bcf_hdr_id2int(header, BCF_DT_ID, tag);
  if (id >= 0 && bcf_hdr_idinfo_exists(header, BCF_HL_FMT, id)) {
    present_ = true;
    real_ = bcf_hdr_id2type(header, BCF_HL_FMT, id) == BCF_HT_REAL;
  }
}

bool FormatValues::load(const bcf_hdr_t* header, bcf1_t* record, int samples) {
  n_ = 0;
  if (!present_ || samples <= 0) return false;
  const int got = real_ ? bcf_get_format_float(header, record, tag_, &reals_.data, &reals_.capacity)
                        : bcf_get_format_int32(header, record, tag_, &ints_.data, &ints_.capacity);
  if (got <= 0) return false;
  n_ = got;
  per_sample_ = got / samples;
  return per_sample_ > 0;
}

double FormatValues::value(int sample) const {
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

int offspring_code(const Call& call, int first, int second) {
  if (call.first == first && call.second == first) return kCodeA;
  if (call.first == second && call.second == second) return kCodeB;
  return kCodeH;
}

}  // namespace tarvek::interop
