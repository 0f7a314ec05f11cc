#include "run/option_table.hpp"

#include <sstream>

namespace tarvek {
namespace {

// Reals as the log and the usage print them (16, 0.05).
template <class... Values>
std::string numbers(const Values&... values) {
  std::ostringstream text;
  const char* gap = "";
  ((text << gap << values, gap = " "), ...);
  return text.str();
}

std::string grouping_default(const RunParameters& p) {
  return numbers(p.chromosomes, p.core_LOD, p.min_LOD);
}
std::string log_default(const RunParameters&) { return kLogFileName; }
std::string matrix_default(const RunParameters& p) { return p.matrix_file; }
std::string population_default(const RunParameters& p) {
  return std::string(population_name(p.population));
}
std::string screening_default(const RunParameters& p) {
  const auto& t = p.screening_thresholds;
  return numbers(t[0], t[1], t[2], t[3]);
}
std::string errsweep_default(const RunParameters& p) {
  return numbers(p.errsweep_group_threshold, p.singleton_threshold);
}
// 0 threads until the command line is read: the cores the process may use.
std::string threads_default(const RunParameters& p) {
  return p.threads == 0 ? "the cores available" : numbers(p.threads);
}
// Below 0 the share is chosen from the data, at least kSparseShareFloor.
std::string sparse_default(const RunParameters& p) {
  return p.sparse_share < 0.0f ? numbers(kSparseShareFloor) : numbers(p.sparse_share);
}

constexpr std::size_t kValueColumn = 36;  // where the descriptions start

}  // namespace

const std::vector<OptionSpec>& accepted_options() {
  static const std::vector<OptionSpec> options = {
      {'A', 1, "chromosomes",
       {"choose the settings from the data for this", "many chromosomes; prints the command line"},
       nullptr},
      {'a', 0, "", {"find and flip markers with switched alleles"}, nullptr},
      {'f', 0, "",
       {"order codominant markers first, then place", "the dominant ones into that framework"},
       nullptr},
      {'g', 3, "chromosomes core_LOD min_LOD", {"group the markers ({})"}, grouping_default},
      {'k', 0, "",
       {"keep markers rejected for segregation that", "are linked to a group, placed into it"},
       nullptr},
      {'l', 1, "file", {"write the log to file ({})"}, log_default},
      {'m', 1, "file", {"scoring matrix file ({})"}, matrix_default},
      {'o', 0, "", {"also order the individuals"}, nullptr},
      {'p', 1, "type", {"population: " + population_names_listed() + " ({})"}, population_default},
      {'q', 4, "missing 1:1 1:2:1 1:3", {"screening thresholds ({})"}, screening_default},
      {'s', 2, "group_threshold singleton", {"error detection thresholds ({})"}, errsweep_default},
      {'t', 1, "threads", {"threads to use ({});", "the output is the same for any number"},
       threads_default},
      {'u', 0, "", {"segregation tests among the typed genotypes"}, nullptr},
      {'y', 1, "share",
       {"with -f, also set aside markers missing in", "more than share of the individuals ({},",
        "or above the commonest share + 0.1)"},
       sparse_default},
  };
  return options;
}

const OptionSpec* find_option(char letter) {
  for (const OptionSpec& o : accepted_options())
    if (o.letter == letter) return &o;
  return nullptr;
}

std::string option_default(const OptionSpec& option) {
  return option.default_text ? option.default_text(RunParameters{}) : std::string();
}

std::string usage_text() {
  std::string text =
      "usage: tarvek <loc file>\n"
      "       tarvek [options] <loc file>\n"
      "       tarvek --help | --version\n"
      "\n"
      "With the loc file alone, the parameters are read from mapping_parameters.txt\n"
      "beside it, and the matrix and log files are beside it too. With options,\n"
      "grouping is skipped unless -g is given, and matrix.txt and tarvek_log.txt\n"
      "are in the current folder.\n"
      "\n"
      "options (each value a separate argument):\n";
  for (const OptionSpec& o : accepted_options()) {
    std::string head = std::string("  -") + o.letter;
    if (*o.value_names != '\0') head += std::string(" ") + o.value_names;
    head.resize(std::max(kValueColumn, head.size() + 1), ' ');
    const std::string fallback = option_default(o);
    for (const std::string& line : o.description) {
      std::string words = line;
      if (const auto at = words.find("{}"); at != std::string::npos) words.replace(at, 2, fallback);
      text += head + words + "\n";
      head.assign(kValueColumn, ' ');
    }
  }
  text +=
      "\n"
      "The map is written beside the loc file as <loc file without extension>_map.loc.\n"
      "Exit status: 0 after a complete run, 1 after a fatal error.\n";
  return text;
}

}  // namespace tarvek
