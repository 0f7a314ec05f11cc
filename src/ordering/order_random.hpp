#pragma once
// The run's pseudo-random stream: a 32-bit linear congruential generator
// (state × 22695477 + 1), output bits 16 to 30. The driver owns one, seeds it
// once and hands it to every ordering, so the same input gives the same maps.

#include <cstdint>

namespace tarvek {

struct OrderRandom {
  std::uint32_t state = 0;
};

// Sets the state to `seed` and discards one draw.
void seed_order_random(OrderRandom& random, std::uint32_t seed);

// Next value, 0 to 32767.
int draw_order_random(OrderRandom& random);

}  // namespace tarvek
