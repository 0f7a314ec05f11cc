#pragma once
// Square matrices of 32-bit pair scores and orders of indices into them.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace tarvek {

// Entry [a][b] is the score of item a followed by item b. Held contiguously,
// row by row.
struct PairScoreMatrix {
  std::size_t n = 0;
  std::vector<std::int32_t> values;
};

// Asks the system to back [data, data + bytes) with huge pages before it is
// first touched. Only a hint: it changes nothing but the speed of scattered
// reads, and does nothing where huge pages are not offered.
void advise_huge_pages(const void* data, std::size_t bytes);

// A vector of `count` zeros whose storage is backed by huge pages when large.
template <class T>
std::vector<T> huge_page_vector(std::size_t count) {
  std::vector<T> v;
  v.reserve(count);
  if (count * sizeof(T) >= (std::size_t{8} << 20)) advise_huge_pages(v.data(), count * sizeof(T));
  v.resize(count);
  return v;
}

// An n × n matrix of zeros. Large matrices are read at scattered places by
// the ordering; they are backed by huge pages where the system offers them.
PairScoreMatrix make_pair_score_matrix(std::size_t n);

// Checked access, for code outside the hot loops.
inline std::int32_t& score_at(PairScoreMatrix& m, std::size_t a, std::size_t b) {
  if (a >= m.n || b >= m.n) throw std::out_of_range("pair score matrix index");
  return m.values[a * m.n + b];
}
inline std::int32_t score_at(const PairScoreMatrix& m, std::size_t a, std::size_t b) {
  if (a >= m.n || b >= m.n) throw std::out_of_range("pair score matrix index");
  return m.values[a * m.n + b];
}

// True when every entry of the matrix fits in 16 bits.
bool fits_16_bits(const PairScoreMatrix& m);

// Indices into a PairScoreMatrix, permuted in place by the ordering.
using MarkerOrder = std::vector<std::int32_t>;

// Scores add and wrap as 32-bit two's-complement values.
inline std::int32_t wrap_add(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t wrap_sub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace tarvek
