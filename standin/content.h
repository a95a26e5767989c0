// The bytes of every file the stand-in serves. A pure function of the offset,
// so a downloader's output can be checked without keeping a copy, and mixed
// well enough that a chunk written at the wrong offset shows up.
#pragma once

#include <cstdint>

namespace tw {

inline std::uint8_t StandinByte(std::uint64_t offset) {
  std::uint64_t x = offset + 0x9E3779B97F4A7C15ull;
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  return static_cast<std::uint8_t>(x >> 56);
}

}  // namespace tw
