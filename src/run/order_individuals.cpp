#include "run/order_individuals.hpp"

#include <ostream>

#include "genotype/code_planes.hpp"
#include "ordering/linksort.hpp"
#include "refine/group_scores.hpp"
#include "run/report.hpp"

namespace tarvek {

PairScoreMatrix individual_score_matrix(const ScoringMatrix& score,
                                        const std::vector<GenotypeRow>& rows,
                                        std::size_t n_individuals) {
  const CodePlanes planes = planes_of_columns(rows, n_individuals);
  return plane_score_matrix(make_score_kernel(score), planes, "individual score matrix");
}

void order_individuals(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows,
                       std::vector<int>& individual_order) {
  const PairScoreMatrix m = individual_score_matrix(score, rows, individual_order.size());
  log_stream() << "Running LINKSORT on the order of individuals" << std::endl;
  MarkerOrder order(individual_order.begin(), individual_order.end());
  linksort(m, order);
  individual_order.assign(order.begin(), order.end());
}

}  // namespace tarvek
