// Random loopback addresses for servers on a fixed port: two test processes
// at once pick different addresses, and a taken one is retried.
#pragma once

#include <random>

namespace testenv {

inline constexpr int kLoopbackBindTries = 64;

// 127.x.y.z with x, y, z in 1..254, never 127.0.0.1 (host byte order).
unsigned long randomLoopback(std::mt19937& random);
// A generator seeded differently in every process.
std::mt19937 seededRandom();

} // namespace testenv
