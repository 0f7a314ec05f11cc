#include "ordering/order_random.hpp"

namespace tarvek {
namespace {

std::uint32_t state = 0;

}  // namespace

int draw_order_random() {
  state = state * 22695477u + 1u;
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

void seed_order_random(std::uint32_t seed) {
  state = seed;
  draw_order_random();
}

}  // namespace tarvek
