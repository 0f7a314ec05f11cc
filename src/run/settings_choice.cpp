#include "run/settings_choice.hpp"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <set>
#include <sstream>

#include "genotype/genotype_codes.hpp"
#include "genotype/loc_reader.hpp"
#include "genotype/screening.hpp"
#include "linkage/grouping.hpp"
#include "linkage/independence_lod.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/switched_alleles.hpp"
#include "run/option_table.hpp"

namespace tarvek {
namespace {

// The letters of the options the arguments give (the last argument is the
// loc file).
std::set<char> given_options(const std::vector<std::string>& arguments) {
  std::set<char> given;
  for (std::size_t k = 0; k + 1 < arguments.size(); ++k) {
    const std::string& flag = arguments[k];
    if (flag.size() != 2 || flag[0] != '-') break;
    given.insert(flag[1]);
    for (const OptionSpec& o : accepted_options())
      if (o.letter == flag[1]) k += static_cast<std::size_t>(o.values);
  }
  return given;
}

std::string number(float value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

std::string percent(double share) { return number(static_cast<float>(100.0 * share)) + "%"; }

// Everything the quiet passes write goes nowhere.
struct QuietChannels {
  std::ostream sink{nullptr};
  Channels channels = stream_channels(sink, sink, sink);
};

GenotypeTable read_quietly(const std::string& loc_text, const RunParameters& params,
                           bool typed_only) {
  QuietChannels quiet;
  std::istringstream in(loc_text);
  return read_loc_file(in, params.screening_thresholds, quiet.channels, params.population,
                       typed_only);
}

std::size_t groups_of_two_or_more(const LinkageGroups& groups) {
  return static_cast<std::size_t>(std::count_if(
      groups.begin(), groups.end(), [](const LinkageGroup& g) { return g.size() >= 2; }));
}

// The groups at core LOD `lod` once the satellites are placed (as the run
// itself groups), the rows with the markers the search for switched alleles
// finds at `lod` flipped, and how many it flipped.
struct Grouping {
  float lod = 0.0f;
  std::size_t flipped = 0;
  std::vector<GenotypeRow> rows;
  LinkageGroups groups;
};

Grouping group_at(const std::vector<GenotypeRow>& rows, const LodPlanes& matrix, float lod,
                  bool search_switched, const RunParameters& params, Kernels kernels) {
  QuietChannels quiet;
  Grouping g;
  g.lod = lod;
  const ScreenOptions options{.threads = params.threads, .kernels = kernels};
  std::vector<int> flipped;
  if (search_switched) flipped = switched_loci_by_parts(matrix, lod, quiet.channels, options);
  g.flipped = flipped.size();
  const float min_lod = std::min(params.min_LOD, lod);
  const auto group = [&](const LodPlanes& m) {
    core_grouping(m, g.groups, lod, quiet.channels, options);
    if (static_cast<long long>(g.groups.size()) > params.chromosomes)
      place_satellites(m, g.groups, min_lod, params.chromosomes, quiet.channels, params.threads);
  };
  if (flipped.empty()) {
    group(matrix);
  } else {
    g.rows = rows;
    for (const int x : flipped) exchange_alleles(g.rows.at(static_cast<std::size_t>(x)));
    group(build_lod_planes(g.rows, params.population));
  }
  return g;
}

}  // namespace

double missing_share(const GenotypeRow& row) {
  if (row.empty()) return 0.0;
  return static_cast<double>(std::count(row.begin(), row.end(), kMissing)) /
         static_cast<double>(row.size());
}

double chance_links(double pairs, double lod) {
  if (!(pairs > 0.0) || !(lod > 0.0)) return pairs > 0.0 ? pairs : 0.0;
  return pairs * 0.5 * std::erfc(std::sqrt(std::log(10.0) * lod));
}

float sparse_share_of(const RunParameters& params, const std::vector<GenotypeRow>& rows) {
  if (params.sparse_share >= 0.0f) return params.sparse_share;
  std::vector<double> shares;
  shares.reserve(rows.size());
  for (const GenotypeRow& row : rows) shares.push_back(missing_share(row));
  if (shares.empty()) return kSparseShareFloor;
  const auto middle = shares.begin() + static_cast<std::ptrdiff_t>(shares.size() / 2);
  std::nth_element(shares.begin(), middle, shares.end());
  return static_cast<float>(std::max(static_cast<double>(kSparseShareFloor), *middle + 0.1));
}

std::string equivalent_command_line(const std::vector<std::string>& arguments,
                                    const std::vector<std::string>& chosen) {
  std::string line = "tarvek";
  for (std::size_t k = 0; k + 1 < arguments.size(); ++k) {
    if (arguments[k] == "-A") {
      ++k;
      continue;
    }
    line += " " + arguments[k];
  }
  for (const std::string& option : chosen) line += " " + option;
  if (!arguments.empty()) line += " " + arguments.back();
  return line;
}

void choose_settings(const std::string& loc_text, RunParameters& params, Channels& channels,
                     Kernels kernels) {
  std::ostream& log = log_of(channels);
  const std::set<char> given = given_options(params.arguments);
  const auto free = [&given](char letter) { return given.count(letter) == 0; };
  std::vector<std::string> chosen;
  log << "\nCHOOSING THE SETTINGS FROM THE DATA (-A " << params.chromosomes << ")\n";
  const auto choice = [&](const std::string& option, const std::string& why) {
    if (!option.empty()) chosen.push_back(option);
    log << (option.empty() ? std::string("not chosen") : option) << ": " << why << std::endl;
  };

  // The population type.
  {
    std::istringstream in(loc_text);
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto named = population_in_header(line);
    if (free('p') && named) {
      params.population = *named;
      choice("-p " + std::string(population_name(*named)), "the header line \"" + line + "\"");
    }
  }

  // Screening: sparse markers are accepted (and placed into the framework),
  // and segregation is tested among the typed genotypes when that keeps
  // markers the classic test rejects.
  if (free('q')) {
    params.screening_thresholds[0] = kChosenMissingThreshold;
    std::string q = "-q";
    for (const float t : params.screening_thresholds) {
      q += ' ';
      q += number(t);
    }
    choice(q, "markers missing in up to " + percent(kChosenMissingThreshold) +
                  " of the individuals are accepted");
  }
  if (free('u')) {
    const GenotypeTable classic = read_quietly(loc_text, params, false);
    std::size_t pass = 0;
    for (const GenotypeRow& row : classic.bad_segregation.rows)
      if (segregates_among_typed(row, params.screening_thresholds, params.population)) ++pass;
    if (pass > 0) {
      params.typed_only = true;
      choice("-u", std::to_string(pass) + " of the " +
                       std::to_string(classic.bad_segregation.rows.size()) +
                       " markers rejected for segregation pass their test among the typed "
                       "individuals");
    }
  }
  const GenotypeTable table = read_quietly(loc_text, params, params.typed_only);
  const std::vector<GenotypeRow>& rows = table.loci.rows;

  // The framework, for dominant and sparse markers.
  if (free('f')) {
    const float share = sparse_share_of(params, rows);
    std::size_t dominant = 0, sparse = 0;
    for (const GenotypeRow& row : rows) {
      if (screened_as_dominant(row, params.population)) {
        ++dominant;
      } else if (missing_share(row) > static_cast<double>(share)) {
        ++sparse;
      }
    }
    if (dominant + sparse > 0) {
      params.framework = true;
      choice("-f", std::to_string(dominant) + " dominant markers and " + std::to_string(sparse) +
                       " markers missing in more than " + percent(share) +
                       " of the individuals");
    }
  }

  // The core LOD and the switched alleles.
  const LodPlanes matrix = build_lod_planes(rows, params.population);
  const bool search_switched = free('a') || params.switched_alleles;
  std::vector<float> steps(std::begin(kCoreLodSteps), std::end(kCoreLodSteps));
  if (!free('g')) steps.assign(1, params.core_LOD);
  // Below a step that unlinked pairs reach by chance, lowering joins
  // chromosomes rather than the pieces of one: the ladder stops above it.
  const double n = static_cast<double>(rows.size());
  const double pairs = n * (n - 1.0) / 2.0;
  Grouping g;
  bool fits = false;
  std::string chance_note;
  for (std::size_t k = 0; k < steps.size(); ++k) {
    const float lod = steps[k];
    if (k > 0 && chance_links(pairs, lod) >= 1.0) {
      std::ostringstream words;
      words << "core LOD " << lod << " not tried: about " << chance_links(pairs, lod)
            << " of the " << static_cast<long long>(pairs) << " pairs of markers would reach it unlinked";
      chance_note = words.str();
      log << chance_note << std::endl;
      break;
    }
    g = group_at(rows, matrix, lod, search_switched, params, kernels);
    const std::size_t count = groups_of_two_or_more(g.groups);
    log << "core LOD " << lod << ": " << count << " groups of two or more markers once the satellites are placed"
        << std::endl;
    fits = count <= static_cast<std::size_t>(params.chromosomes);
    if (fits) break;
  }
  if (free('g')) {
    params.core_LOD = g.lod;
    params.min_LOD = std::min(params.min_LOD, g.lod);
    params.skip_grouping = false;
    choice("-g " + std::to_string(params.chromosomes) + " " + number(params.core_LOD) + " " +
               number(params.min_LOD),
           fits || chance_note.empty()
               ? "the first core LOD at which the groups of two or more markers, once the satellites are placed, are no more than " +
                     std::to_string(params.chromosomes)
               : "the lowest core LOD that unlinked markers do not reach by chance (" + chance_note + ")");
  }
  if (free('a') && g.flipped > 0) {
    params.switched_alleles = true;
    choice("-a", std::to_string(g.flipped) + " markers with switched alleles at core LOD " +
                     number(g.lod));
  }

  // Markers still rejected for segregation but linked to a group.
  if (free('k') && !table.bad_segregation.rows.empty()) {
    const std::vector<int> home =
        associated_groups(params.population, g.rows.empty() ? rows : g.rows, g.groups,
                          table.bad_segregation.rows, params.core_LOD, nullptr, params.threads);
    const auto kept =
        static_cast<std::size_t>(std::count_if(home.begin(), home.end(), [](int h) { return h >= 0; }));
    if (kept > 0) {
      params.keep_distorted = true;
      choice("-k", std::to_string(kept) + " of the " +
                       std::to_string(table.bad_segregation.rows.size()) +
                       " markers rejected for segregation are linked to a group");
    }
  }

  const std::string line = equivalent_command_line(params.arguments, chosen);
  log << "as a command line: " << line << std::endl;
  note(channels, "-A chose: " + line);
}

}  // namespace tarvek
