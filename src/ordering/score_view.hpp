#pragma once
// Read-only views of the pair scores for the inner loops of LINKSORT, whose
// entries may be stored narrower than 32 bits. Every entry is widened to 32
// bits before it is used, so the arithmetic is the same whatever the storage.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvek {

template <class T>
struct ScoreView {
  const T* values = nullptr;
  std::size_t n = 0;
  std::int32_t at(std::int32_t a, std::int32_t b) const {
    return static_cast<std::int32_t>(values[static_cast<std::size_t>(a) * n + static_cast<std::size_t>(b)]);
  }
  const T* row(std::int32_t a) const { return values + static_cast<std::size_t>(a) * n; }
};

// Entry [a][m] for every a as one contiguous row: row m of the matrix when it
// is symmetric, else row m of its transpose.
struct ColumnView {
  ScoreView<std::int32_t> rows;
  std::vector<std::int32_t> transposed;
  bool symmetric = true;

  explicit ColumnView(ScoreView<std::int32_t> view) : rows(view) {
    // Compared tile by tile, so that the column side is read a few cache
    // lines at a time rather than one line per entry.
    constexpr std::size_t kTile = 64;
    const std::size_t n = view.n;
    for (std::size_t a0 = 0; a0 < n && symmetric; a0 += kTile)
      for (std::size_t b0 = a0; b0 < n && symmetric; b0 += kTile)
        for (std::size_t a = a0; a < std::min(a0 + kTile, n); ++a)
          for (std::size_t b = std::max(b0, a + 1); b < std::min(b0 + kTile, n); ++b)
            symmetric = symmetric && view.values[a * n + b] == view.values[b * n + a];
    if (symmetric) return;
    transposed.resize(n * n);
    for (std::size_t a = 0; a < n; ++a)
      for (std::size_t b = 0; b < n; ++b) transposed[b * n + a] = view.values[a * n + b];
  }
  const std::int32_t* column(std::int32_t item) const {
    const std::size_t offset = static_cast<std::size_t>(item) * rows.n;
    return symmetric ? rows.values + offset : transposed.data() + offset;
  }
};

}  // namespace tarvek
