#include "ordering/order_random.hpp"

namespace tarvek {

int draw_order_random(OrderRandom& random) {
  random.state = random.state * 22695477u + 1u;
  return static_cast<int>((random.state >> 16) & 0x7FFFu);
}

void seed_order_random(OrderRandom& random, std::uint32_t seed) {
  random.state = seed;
  draw_order_random(random);
}

}  // namespace tarvek
