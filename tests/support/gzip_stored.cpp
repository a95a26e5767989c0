#include "tests/support/gzip_stored.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tw::testing {
namespace {

uint32_t Crc32(const std::string& data) {
  static const std::array<uint32_t, 256> kTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    return table;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) crc = kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void AppendLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string GzipStored(const std::string& data) {
  // Magic, deflate, no flags, no time, no extra flags, unknown system.
  std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  constexpr size_t kBlock = 65535;  // the most one stored block holds
  size_t at = 0;
  do {
    const size_t size = std::min(kBlock, data.size() - at);
    const bool last = at + size == data.size();
    out.push_back(last ? '\x01' : '\x00');
    AppendLittleEndian(out, static_cast<uint32_t>(size), 2);
    AppendLittleEndian(out, static_cast<uint32_t>(~size & 0xFFFF), 2);
    out.append(data, at, size);
    at += size;
  } while (at < data.size());
  AppendLittleEndian(out, Crc32(data), 4);
  AppendLittleEndian(out, static_cast<uint32_t>(data.size()), 4);
  return out;
}

}  // namespace tw::testing
