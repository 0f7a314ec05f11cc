#pragma once
// The program's one pseudo-random stream: a 32-bit linear congruential
// generator (state × 22695477 + 1), output bits 16 to 30.

#include <cstdint>

namespace tarvek {

// Sets the state to `seed` and discards one draw.
void seed_order_random(std::uint32_t seed);

// Next value, 0 to 32767.
int draw_order_random();

}  // namespace tarvek
