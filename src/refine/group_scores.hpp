#pragma once
// Pair scores of genotype rows under the scoring matrix, computed over
// bit-planes: for each distinct value of the scoring matrix, the individuals
// whose pair of codes has that value are counted with AND, OR and popcount.

#include <cstdint>
#include <utility>
#include <vector>

#include "base/channels.hpp"
#include "base/kernels.hpp"
#include "genotype/code_planes.hpp"
#include "genotype/scoring_matrix.hpp"
#include "ordering/pair_score_matrix.hpp"

namespace tarvek {

// The scoring matrix as the plane counts read it: each nonzero value with
// the cells (pairs of codes) that have it.
struct ScoreCells {
  struct ValueCells {
    std::int32_t value = 0;
    std::vector<std::pair<int, int>> cells;  // (code at first, code at second)
  };
  std::vector<ValueCells> values;  // nonzero values of the matrix
  bool symmetric = true;
};

ScoreCells score_cells(const ScoringMatrix& score);

// All pair scores of the items: entry [i][j] is the sum over the positions
// of score[code of i][code of j], wrapping in 32 bits. The
// rows are shared among `threads` threads in blocks; the matrix is the same
// for any number. `progress_label` names the stage on the progress indicator,
// which the calling thread alone draws.
PairScoreMatrix plane_score_matrix(const ScoreCells& cells, const CodePlanes& planes,
                                   const char* progress_label, Channels& channels,
                                   Kernels kernels, int threads = 1);

// Scores the rows and the columns of the given items of m again: entries
// [r][i] and [i][r] for every r of `items` and every i, as plane_score_matrix
// would. The rows, then the columns, are shared among `threads` threads.
// Throws std::out_of_range, changing nothing, when an item is not one of m.
void rescore_items(const ScoreCells& cells, const CodePlanes& planes,
                   const std::vector<int>& items, PairScoreMatrix& m, Kernels kernels,
                   int threads = 1);

// The plain version: entry [i][j] is the sum over the positions of
// score[code of i][code of j], read from `items` (one code row per item),
// added in unsigned 32-bit arithmetic. The plane version is checked against
// it, and the reference build scores with it.
PairScoreMatrix plain_score_matrix(const ScoringMatrix& score,
                                   const std::vector<std::vector<int>>& items);

}  // namespace tarvek
