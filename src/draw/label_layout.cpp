#include "draw/label_layout.hpp"

#include <cstddef>

namespace tarvek::draw {

std::vector<double> spread_labels(const std::vector<double>& wanted, double spacing) {
  // Blocks of pooled labels: their mean target and size, in order.
  struct Block {
    double sum = 0.0;
    std::size_t count = 0;
    double mean() const { return sum / static_cast<double>(count); }
  };
  std::vector<Block> blocks;
  blocks.reserve(wanted.size());
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    blocks.push_back({wanted[i] - static_cast<double>(i) * spacing, 1});
    while (blocks.size() > 1 && blocks[blocks.size() - 2].mean() > blocks.back().mean()) {
      const Block last = blocks.back();
      blocks.pop_back();
      blocks.back().sum += last.sum;
      blocks.back().count += last.count;
    }
  }
  std::vector<double> placed;
  placed.reserve(wanted.size());
  for (const Block& b : blocks) {
    const double z = b.mean();
    for (std::size_t k = 0; k < b.count; ++k)
      placed.push_back(z + static_cast<double>(placed.size()) * spacing);
  }
  return placed;
}

}  // namespace tarvek::draw
