// The bridge between R and the tarvek library: R's genotype matrices in,
// the run's groups, flags, multipoint intervals and messages out. Every
// failure of a run comes back as a list with an `error` entry (the
// program's message), never as a jump through C++ frames; R's interrupt is
// checked between the stages of a run and between chromosomes.

#include <Rcpp.h>

#include <exception>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "tarvek/tarvek.hpp"

namespace {

// Thrown from the stage observer when the user pressed Ctrl-C: the run
// unwinds, and the interrupt is passed to R once no C++ frame is left.
struct Interrupted {};

void check_interrupt(void*) { R_CheckUserInterrupt(); }

bool interrupt_pending() { return R_ToplevelExec(check_interrupt, nullptr) == FALSE; }

tarvek::PopulationType population_of(const std::string& name) {
  const auto type = tarvek::parse_population_any_case(name);
  if (!type) throw tarvek::RunAbort{1, "unknown population type \"" + name + "\" (F2, BC1, DH, RIL or RILsib)"};
  return *type;
}

// R's integer matrix, markers in rows, individuals in columns, tarvek codes.
std::vector<tarvek::GenotypeRow> rows_of(const Rcpp::IntegerMatrix& codes) {
  std::vector<tarvek::GenotypeRow> rows(static_cast<std::size_t>(codes.nrow()),
                                        tarvek::GenotypeRow(static_cast<std::size_t>(codes.ncol())));
  for (int i = 0; i < codes.nrow(); ++i)
    for (int j = 0; j < codes.ncol(); ++j) {
      const int code = codes(i, j);
      rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
          code == NA_INTEGER || code < 0 || code >= tarvek::kCodeCount ? tarvek::kMissing : code;
    }
  return rows;
}

Rcpp::IntegerMatrix matrix_of(const std::vector<tarvek::GenotypeRow>& rows, std::size_t individuals) {
  Rcpp::IntegerMatrix out(static_cast<int>(rows.size()), static_cast<int>(individuals));
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = 0; j < individuals; ++j)
      out(static_cast<int>(i), static_cast<int>(j)) = j < rows[i].size() ? rows[i][j] : tarvek::kMissing;
  return out;
}

Rcpp::List map_list(const tarvek::GroupMap& map) {
  return Rcpp::List::create(Rcpp::Named("r") = map.r, Rcpp::Named("error_rate") = map.error_rate,
                            Rcpp::Named("iterations") = map.iterations, Rcpp::Named("converged") = map.converged,
                            Rcpp::Named("loglik") = map.log10_likelihood);
}

template <class Body>
Rcpp::List guarded(std::ostringstream& log, std::ostringstream& errors, Body body) {
  std::string message;
  try {
    return body();
  } catch (const Interrupted&) {
    message = "interrupted";
  } catch (const tarvek::RunAbort& abort) {
    message = abort.message;
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  } catch (const std::exception& e) {
    message = std::string("internal error: ") + e.what();
  }
  return Rcpp::List::create(Rcpp::Named("error") = message, Rcpp::Named("interrupted") = message == "interrupted",
                            Rcpp::Named("log") = log.str(), Rcpp::Named("messages") = errors.str());
}

// The genotype table of R's markers: their names and code rows, with the
// loc file's header and comment lines.
tarvek::GenotypeTable table_of(const Rcpp::CharacterVector& names, const Rcpp::IntegerMatrix& codes,
                               const Rcpp::CharacterVector& header, const Rcpp::CharacterVector& comments) {
  tarvek::GenotypeTable table;
  const std::vector<tarvek::GenotypeRow> rows = rows_of(codes);
  for (R_xlen_t k = 0; k < names.size(); ++k)
    tarvek::append_locus(table.loci, Rcpp::as<std::string>(names[k]), rows.at(static_cast<std::size_t>(k)));
  for (R_xlen_t k = 0; k < header.size(); ++k) table.header_lines.push_back(Rcpp::as<std::string>(header[k]));
  for (R_xlen_t k = 0; k < comments.size(); ++k) table.comment_lines.push_back(Rcpp::as<std::string>(comments[k]));
  return table;
}

}  // namespace

// [[Rcpp::export(.tarvek_map)]]
Rcpp::List tarvek_map_cpp(Rcpp::CharacterVector names, Rcpp::IntegerMatrix codes, Rcpp::CharacterVector header,
                          Rcpp::CharacterVector comments, Rcpp::List options) {
  std::ostringstream console, errors, log;
  return guarded(log, errors, [&]() -> Rcpp::List {
    tarvek::Channels channels = tarvek::stream_channels(console, errors, log);
    const tarvek::GenotypeTable table = table_of(names, codes, header, comments);

    tarvek::RunParameters params;
    const std::vector<std::string> arguments = Rcpp::as<std::vector<std::string>>(options["arguments"]);
    const tarvek::ParsedOptions parsed = tarvek::parse_options(arguments);
    if (parsed.problem) {
      if (parsed.problem->addition) errors << "tarvek: " << parsed.problem->message << "\n";
      throw tarvek::RunAbort{1, parsed.problem->message};
    }
    for (const std::string& w : parsed.warnings) errors << "tarvek: warning: " << w << "\n";
    params = parsed.params;
    // The standard matrix unless a file is named (-m).
    const std::string matrix_file = Rcpp::as<std::string>(options["matrix_file"]);
    const tarvek::ScoringMatrix scores = matrix_file.empty() ? tarvek::standard_scoring_matrix()
                                                             : tarvek::load_scoring_matrix(matrix_file, channels);
    const std::string map_file = Rcpp::as<std::string>(options["map_file"]);
    tarvek::MapOptions map_options;
    map_options.multipoint = Rcpp::as<bool>(options["multipoint"]);
    if (!Rf_isNull(options["error_rate"])) map_options.estimate.error_rate = Rcpp::as<double>(options["error_rate"]);
    map_options.estimate.threads = 0;
    map_options.observer.started = [](tarvek::Stage) {
      if (interrupt_pending()) throw Interrupted{};
    };
    const tarvek::RunResult result = tarvek::map_genotype_table(table, params, scores, channels, map_options);
    if (!map_file.empty()) tarvek::write_run_map(map_file, result, channels);

    Rcpp::List groups, intervals, removed;
    for (std::size_t g = 0; g < result.groups.size(); ++g) {
      std::vector<int> members;
      for (const int locus : result.groups[g]) members.push_back(locus + 1);
      groups.push_back(Rcpp::wrap(members));
      std::vector<int> out;
      for (const int locus : result.removed_lists.at(g)) out.push_back(locus + 1);
      removed.push_back(Rcpp::wrap(out));
      if (g < result.intervals.size()) intervals.push_back(map_list(result.intervals[g]));
    }
    const auto individuals = static_cast<std::size_t>(std::max(0, result.table.n_individuals));
    return Rcpp::List::create(
        Rcpp::Named("names") = result.table.loci.names,
        Rcpp::Named("codes") = matrix_of(result.table.loci.rows, individuals),
        Rcpp::Named("groups") = groups, Rcpp::Named("removed") = removed, Rcpp::Named("intervals") = intervals,
        Rcpp::Named("bad_segregation") = result.table.bad_segregation.names,
        Rcpp::Named("excess_missing") = result.table.excess_missing.names,
        Rcpp::Named("switched") = result.switched, Rcpp::Named("score") = result.total_score,
        Rcpp::Named("population") = std::string(tarvek::population_name(result.params.population)),
        Rcpp::Named("core_lod") = result.params.core_LOD, Rcpp::Named("log") = log.str(),
        Rcpp::Named("messages") = errors.str());
  });
}

// [[Rcpp::export(.tarvek_est_map)]]
Rcpp::List tarvek_est_map_cpp(Rcpp::List chromosomes, std::string population, Rcpp::Nullable<double> error_rate,
                              int threads) {
  std::ostringstream log, errors;
  return guarded(log, errors, [&]() -> Rcpp::List {
    tarvek::MapEstimateOptions options;
    if (error_rate.isNotNull()) options.error_rate = Rcpp::as<double>(error_rate);
    options.threads = threads;
    const tarvek::PopulationType type = population_of(population);
    Rcpp::List out;
    for (R_xlen_t c = 0; c < chromosomes.size(); ++c) {
      if (interrupt_pending()) throw Interrupted{};
      const std::vector<std::vector<tarvek::GenotypeRow>> one = {rows_of(chromosomes[c])};
      out.push_back(map_list(tarvek::estimate_order(one, type, options).at(0)));
    }
    return Rcpp::List::create(Rcpp::Named("maps") = out);
  });
}

// [[Rcpp::export(.tarvek_loc_text)]]
std::string tarvek_loc_text(Rcpp::CharacterVector names, Rcpp::IntegerMatrix codes, Rcpp::CharacterVector header,
                            Rcpp::CharacterVector comments, std::string population) {
  const tarvek::GenotypeTable table = table_of(names, codes, header, comments);
  std::string message;
  try {
    return tarvek::loc_text(table, population_of(population));
  } catch (const tarvek::RunAbort& abort) {
    message = abort.message;
  }
  Rcpp::stop(message);
}
