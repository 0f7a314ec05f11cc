#include "genotype/screening.hpp"

#include <array>
#include <ostream>

#include "genotype/genotype_codes.hpp"

namespace tarvek {
namespace {

// One Pearson term ((k·e)·e)/divisor in single precision.
float term(float k, float e, float divisor) { return ((k * e) * e) / divisor; }

int reject_segregation(std::ostream& log, const std::string& name, const char* what,
                       float statistic) {
  log << "rejecting loci " << name << what << statistic << std::endl;
  return kBadSegregation;
}

// The rejection line of a segregation test, when there is a log to write it to.
bool rejects(std::ostream* log, const std::string& name, const char* what, float statistic) {
  if (log != nullptr) reject_segregation(*log, name, what, statistic);
  return true;
}

// The segregation test an F2 row's counts call for, over n genotypes: true
// when it rejects (the line written to `log` when there is one).
bool f2_rejects(const std::string& name, float n, float a, float b, float c, float d, float h,
                const ScreeningThresholds& thresholds, std::ostream* log) {
  switch (intercross_test(n, c, d, h)) {
    case IntercrossTest::k1to1: {
      const float s = chi2_1to1(n, a, b);
      return s - 1.0f > thresholds[1] &&
             rejects(log, name, ", bad AB  segregation, chi square=", s);
    }
    case IntercrossTest::k1to2to1: {
      const float s = chi2_1to2to1(n, a, b, h);
      return s - 2.0f > thresholds[2] &&
             rejects(log, name, ", bad 1:2:1  segregation, chi square=", s);
    }
    case IntercrossTest::kAC: {
      const float s = chi2_1to3(n, a, c);
      return s - 1.0f > thresholds[3] &&
             rejects(log, name, ", bad AC  segregation, chi square=", s);
    }
    case IntercrossTest::kBD: {
      const float s = chi2_1to3(n, b, d);
      return s - 1.0f > thresholds[3] &&
             rejects(log, name, ", bad BD  segregation, chi square=", s);
    }
    case IntercrossTest::kNone:
      break;
  }
  return false;
}

// The 1:1 test of a two-class marker's counts over n genotypes.
bool two_class_rejects(const std::string& name, float n,
                       const std::array<float, kCodeCount>& counts, const MarkerClasses& classes,
                       const ScreeningThresholds& thresholds, std::ostream* log) {
  const float s = chi2_1to1(n, counts[static_cast<std::size_t>(classes.first)],
                            counts[static_cast<std::size_t>(classes.second)]);
  if (!(s - 1.0f > thresholds[1])) return false;
  const std::string what = ", bad " + std::string(1, code_to_letter(classes.first)) +
                           code_to_letter(classes.second) + "  segregation, chi square=";
  return rejects(log, name, what.c_str(), s);
}

float typed_in_classes(const std::array<float, kCodeCount>& counts,
                       const MarkerClasses& classes) {
  return counts[static_cast<std::size_t>(classes.first)] +
         counts[static_cast<std::size_t>(classes.second)];
}

// The 1:1 test of a two-class marker, then the missing-value test with the
// codes it cannot have counted as missing.
int screen_two_class(const std::string& name, float t, float m,
                     const std::array<float, kCodeCount>& counts,
                     const ScreeningThresholds& thresholds, PopulationType population,
                     bool typed_only, std::ostream& log) {
  const MarkerClasses classes =
      marker_classes(population, counts[kCodeA], counts[kCodeB]);
  float impossible = 0.0f;
  std::string listed;
  for (int code = kCodeA; code <= kCodeH; ++code) {
    const float n = counts[static_cast<std::size_t>(code)];
    if (code == classes.first || code == classes.second || n == 0.0f) continue;
    impossible += n;
    listed += (listed.empty() ? " " : ", ") + std::string(1, code_to_letter(code)) + " " +
              std::to_string(static_cast<long long>(n));
  }
  if (impossible > 0.0f) {
    log << "loci " << name << ", codes impossible in " << population_name(population)
        << " counted as missing:" << listed << std::endl;
  }
  const float n = typed_only ? typed_in_classes(counts, classes) : t;
  if (n > 0.0f && two_class_rejects(name, n, counts, classes, thresholds, &log))
    return kBadSegregation;
  const float missing = m + impossible;
  if (missing / t > thresholds[0]) {
    log << "rejecting loci " << name << ", too many missing values, " << missing
        << " missing values" << std::endl;
    return kExcessMissing;
  }
  return kAccepted;
}

}  // namespace

float chi2_1to1(float t, float a, float b) {
  const float ea = a - t / 2.0f;
  const float eb = b - t / 2.0f;
  return term(2.0f, ea, t) + term(2.0f, eb, t);
}

float chi2_1to2to1(float t, float a, float b, float h) {
  const float ea = a - t / 4.0f;
  const float eb = b - t / 4.0f;
  const float eh = h - t / 2.0f;
  return term(4.0f, ea, t) + term(4.0f, eb, t) + term(2.0f, eh, t);
}

float chi2_1to3(float t, float single, float dominant) {
  const float es = single - t / 4.0f;
  const float ed = dominant - (3.0f * t) / 4.0f;
  return term(4.0f, es, t) + term(4.0f, ed, 3.0f * t);
}

int screen_locus(const std::string& name, float t, float m, float a, float b, float c,
                 float d, float h, const ScreeningThresholds& thresholds, Channels& channels,
                 PopulationType population, bool typed_only) {
  std::ostream& log = log_of(channels);
  if (population_model(population).segregation == SegregationTest::kClassesOneToOne) {
    const std::array<float, kCodeCount> counts{m, a, b, c, d, h, 0.0f};
    return screen_two_class(name, t, m, counts, thresholds, population, typed_only, log);
  }
  const float n = typed_only ? t - m : t;
  if (n > 0.0f && f2_rejects(name, n, a, b, c, d, h, thresholds, &log)) return kBadSegregation;
  if (m / t > thresholds[0]) {
    log << "rejecting loci " << name << ", too many missing values, " << m
                 << " missing values" << std::endl;
    return kExcessMissing;
  }
  return kAccepted;
}

IntercrossTest intercross_test(float t, float c, float d, float h) {
  const double t1 = static_cast<double>(t);
  const double c10 = 10.0 * static_cast<double>(c);
  const double d10 = 10.0 * static_cast<double>(d);
  if (c == 0.0f && d == 0.0f && h == 0.0f) return IntercrossTest::k1to1;
  if (c10 < t1 && d10 < t1) return IntercrossTest::k1to2to1;
  if (c10 > 3.0 * t1) return IntercrossTest::kAC;
  if (d10 > t1) return IntercrossTest::kBD;
  return IntercrossTest::kNone;
}

bool segregates_among_typed(const GenotypeRow& row, const ScreeningThresholds& thresholds,
                            PopulationType population) {
  std::array<float, kCodeCount> counts{};
  for (const int code : row)
    if (code >= 0 && code < kCodeCount) counts[static_cast<std::size_t>(code)] += 1.0f;
  if (population_model(population).segregation == SegregationTest::kClassesOneToOne) {
    const MarkerClasses classes = marker_classes(population, counts[kCodeA], counts[kCodeB]);
    const float n = typed_in_classes(counts, classes);
    return !(n > 0.0f) || !two_class_rejects("", n, counts, classes, thresholds, nullptr);
  }
  const float n = static_cast<float>(row.size()) - counts[kMissing];
  return !(n > 0.0f) || !f2_rejects("", n, counts[kCodeA], counts[kCodeB], counts[kCodeC],
                                    counts[kCodeD], counts[kCodeH], thresholds, nullptr);
}

bool screened_as_dominant(const GenotypeRow& row, PopulationType population) {
  if (population_model(population).segregation != SegregationTest::kIntercrossRatios) return false;
  float c = 0.0f, d = 0.0f, h = 0.0f;
  for (const int code : row) {
    if (code == kCodeC) c += 1.0f;
    if (code == kCodeD) d += 1.0f;
    if (code == kCodeH) h += 1.0f;
  }
  const IntercrossTest test = intercross_test(static_cast<float>(row.size()), c, d, h);
  return test == IntercrossTest::kAC || test == IntercrossTest::kBD;
}

}  // namespace tarvek
