#pragma once
// tarvek as a library: everything a program needs to build a linkage map
// from genotypes in memory or from a loc file's text, without the command
// line.
//
//   #include <tarvek/tarvek.hpp>
//   find_package(tarvek) and target_link_libraries(app PRIVATE tarvek::tarvek),
//   or pkg-config --cflags --libs tarvek
//
// The calls, in the order a program makes them:
//
//   parse_options(arguments)       the command line as tarvek reads it, into
//                                  RunParameters, with its console texts,
//                                  warnings and first problem; nothing opened
//   check_parameters(params)       parameters built in code, checked as the
//                                  options are; the first problem or nothing
//   open_run(parsed, channels)     the files of a parsed command line: loc
//                                  file, log, parameters file, scoring matrix
//   run_pipeline(setup, channels)  the run on those files (tarvek's own path)
//
//   standard_scoring_matrix()      the shipped matrix.txt, without the file
//   load_scoring_matrix(path, channels)
//   map_genotype_table(table, params, matrix, channels, options)
//   map_loc_stream(stream, params, matrix, channels, options)
//                                  a whole run on a table built in memory or
//                                  on loc text from any stream: RunResult
//                                  with the groups in map order, the flagged
//                                  genotypes, and (options.multipoint) each
//                                  group's multipoint intervals
//   write_run_map(path, result, channels)   the map file of a result
//   estimate_order(chromosomes, population, estimate_options)
//                                  the multipoint map of markers in an order
//                                  the caller gives
//   loc_text(table, population)    a table as the loc file tarvek reads
//
// Messages go to a Channels object: stream_channels(console, errors, log)
// over the caller's streams, or standard_channels("name"). A run that
// cannot go on throws RunAbort; its `message` is the message tarvek prints.
// The output of every call is the same for any number of threads.

#include "base/channels.hpp"
#include "base/observer.hpp"
#include "genotype/genotype_codes.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"
#include "genotype/scoring_matrix.hpp"
#include "linkage/linkage_groups.hpp"
#include "multipoint/map_estimate.hpp"
#include "run/driver.hpp"
#include "run/library.hpp"
#include "run/option_table.hpp"
#include "run/parse_options.hpp"
#include "run/run_parameters.hpp"
