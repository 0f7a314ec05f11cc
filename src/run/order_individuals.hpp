#pragma once
// Ordering the individuals of the population with LINKSORT.

#include <vector>

#include "base/channels.hpp"
#include "base/kernels.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/scoring_matrix.hpp"
#include "ordering/order_random.hpp"
#include "ordering/pair_score_matrix.hpp"

namespace tarvek {

// Entry [a][b]: sum over the accepted loci j of score[code of a at j][code of
// b at j], with the plain or the fast versions. The rows of the matrix are
// shared among `threads` threads.
PairScoreMatrix individual_score_matrix(const ScoringMatrix& score,
                                        const std::vector<GenotypeRow>& rows,
                                        std::size_t n_individuals, Channels& channels,
                                        Kernels kernels, int threads = 1);

// Reorders `individual_order` (a permutation of the columns) with LINKSORT.
void order_individuals(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows,
                       std::vector<int>& individual_order, OrderRandom& random,
                       Channels& channels, Kernels kernels, int threads = 1);

}  // namespace tarvek
