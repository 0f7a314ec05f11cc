#include "genotype/screening.hpp"

#include <array>
#include <ostream>

#include "genotype/genotype_codes.hpp"

namespace tarvek {
namespace {

// One Pearson term ((k·e)·e)/divisor in single precision.
float term(float k, float e, float divisor) { return ((k * e) * e) / divisor; }

enum class Test { k1to1, k1to2to1, kAC, kBD, kNone };

// Class shares are compared as exact multiples of tenths of t (10c < t means
// c below t/10); the float counts times 10 are exact in double.
Test choose_test(float t, float c, float d, float h) {
  const double t1 = static_cast<double>(t);
  const double c10 = 10.0 * static_cast<double>(c);
  const double d10 = 10.0 * static_cast<double>(d);
  if (c == 0.0f && d == 0.0f && h == 0.0f) return Test::k1to1;
  if (c10 < t1 && d10 < t1) return Test::k1to2to1;
  if (c10 > 3.0 * t1) return Test::kAC;
  if (d10 > t1) return Test::kBD;
  return Test::kNone;
}

int reject_segregation(std::ostream& log, const std::string& name, const char* what,
                       float statistic) {
  log << "rejecting loci " << name << what << statistic << std::endl;
  return kBadSegregation;
}

// The 1:1 test of a two-class marker, then the missing-value test with the
// codes it cannot have counted as missing.
int screen_two_class(const std::string& name, float t, float m,
                     const std::array<float, kCodeCount>& counts,
                     const ScreeningThresholds& thresholds, PopulationType population,
                     std::ostream& log) {
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
  const std::string test = std::string(1, code_to_letter(classes.first)) +
                           code_to_letter(classes.second);
  const float s = chi2_1to1(t, counts[static_cast<std::size_t>(classes.first)],
                            counts[static_cast<std::size_t>(classes.second)]);
  if (s - 1.0f > thresholds[1]) {
    const std::string what = ", bad " + test + "  segregation, chi square=";
    return reject_segregation(log, name, what.c_str(), s);
  }
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
                 PopulationType population) {
  std::ostream& log = log_of(channels);
  if (two_class(population)) {
    const std::array<float, kCodeCount> counts{m, a, b, c, d, h, 0.0f};
    return screen_two_class(name, t, m, counts, thresholds, population, log);
  }
  switch (choose_test(t, c, d, h)) {
    case Test::k1to1: {
      const float s = chi2_1to1(t, a, b);
      if (s - 1.0f > thresholds[1])
        return reject_segregation(log, name, ", bad AB  segregation, chi square=", s);
      break;
    }
    case Test::k1to2to1: {
      const float s = chi2_1to2to1(t, a, b, h);
      if (s - 2.0f > thresholds[2])
        return reject_segregation(log, name, ", bad 1:2:1  segregation, chi square=", s);
      break;
    }
    case Test::kAC: {
      const float s = chi2_1to3(t, a, c);
      if (s - 1.0f > thresholds[3])
        return reject_segregation(log, name, ", bad AC  segregation, chi square=", s);
      break;
    }
    case Test::kBD: {
      const float s = chi2_1to3(t, b, d);
      if (s - 1.0f > thresholds[3])
        return reject_segregation(log, name, ", bad BD  segregation, chi square=", s);
      break;
    }
    case Test::kNone:
      break;
  }
  if (m / t > thresholds[0]) {
    log << "rejecting loci " << name << ", too many missing values, " << m
                 << " missing values" << std::endl;
    return kExcessMissing;
  }
  return kAccepted;
}

bool screened_as_dominant(const GenotypeRow& row, PopulationType population) {
  if (two_class(population)) return false;
  float c = 0.0f, d = 0.0f, h = 0.0f;
  for (const int code : row) {
    if (code == kCodeC) c += 1.0f;
    if (code == kCodeD) d += 1.0f;
    if (code == kCodeH) h += 1.0f;
  }
  const Test test = choose_test(static_cast<float>(row.size()), c, d, h);
  return test == Test::kAC || test == Test::kBD;
}

}  // namespace tarvek
