#include "run/order_individuals.hpp"

#include <ostream>

#include "ordering/linksort.hpp"
#include "run/report.hpp"

namespace tarvek {

PairScoreMatrix individual_score_matrix(const ScoringMatrix& score,
                                        const std::vector<GenotypeRow>& rows,
                                        std::size_t n_individuals) {
  PairScoreMatrix m = make_pair_score_matrix(n_individuals);
  std::vector<std::uint32_t> sums(n_individuals * n_individuals, 0);
  for (const GenotypeRow& row : rows) {
    for (std::size_t a = 0; a < n_individuals; ++a) {
      const auto& score_row = score.at(static_cast<std::size_t>(row.at(a)));
      for (std::size_t b = 0; b < n_individuals; ++b)
        sums[a * n_individuals + b] +=
            static_cast<std::uint32_t>(score_row.at(static_cast<std::size_t>(row.at(b))));
    }
  }
  for (std::size_t k = 0; k < sums.size(); ++k) m.values[k] = static_cast<std::int32_t>(sums[k]);
  return m;
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
