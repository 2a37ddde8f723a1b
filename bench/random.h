// The benchmark generators' random numbers: splitmix64, small, fast and the
// same on every machine, so every run makes the same trees and pictures.
#pragma once

#include <cstdint>

namespace bench {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Between(int low, int high) {  // inclusive
    return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1));
  }
  double Real(double low, double high) {  // [low, high)
    return low + (high - low) * static_cast<double>(Next() >> 11) / 9007199254740992.0;
  }
  bool Chance(int percent) { return static_cast<int>(Next() % 100) < percent; }

 private:
  std::uint64_t state_;
};

}  // namespace bench
