#include "run/order_individuals.hpp"

#include <ostream>
#include <stdexcept>

#include "genotype/code_planes.hpp"
#include "ordering/linksort.hpp"
#include "refine/group_scores.hpp"

namespace tarvek {

PairScoreMatrix individual_score_matrix(const ScoringMatrix& score,
                                        const std::vector<GenotypeRow>& rows,
                                        std::size_t n_individuals, Channels& channels,
                                        Kernels kernels, int threads) {
  if (kernels == Kernels::plain) {
    // Each individual's codes, locus by locus.
    std::vector<std::vector<int>> columns(n_individuals, std::vector<int>(rows.size()));
    for (std::size_t j = 0; j < rows.size(); ++j) {
      if (rows[j].size() < n_individuals)
        throw std::out_of_range("genotype row shorter than the individuals");
      for (std::size_t k = 0; k < n_individuals; ++k) columns[k][j] = rows[j][k];
    }
    return plain_score_matrix(score, columns);
  }
  const CodePlanes planes = planes_of_columns(rows, n_individuals);
  return plane_score_matrix(score_cells(score), planes, "individual score matrix", channels,
                            kernels, threads);
}

void order_individuals(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows,
                       std::vector<int>& individual_order, OrderRandom& random,
                       Channels& channels, Kernels kernels, int threads) {
  const PairScoreMatrix m =
      individual_score_matrix(score, rows, individual_order.size(), channels, kernels, threads);
  log_of(channels) << "Running LINKSORT on the order of individuals" << std::endl;
  MarkerOrder order(individual_order.begin(), individual_order.end());
  linksort(m, order, random, channels, kernels);
  individual_order.assign(order.begin(), order.end());
}

}  // namespace tarvek
