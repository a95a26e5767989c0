// Whole-file reads and writes and generated contents, for tests that check
// what a download left on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tw::testing {

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// `size` bytes of a pattern that does not repeat every few bytes, so that a
// piece written at the wrong offset shows.
std::string Pattern(std::size_t size, uint32_t seed = 1);

}  // namespace tw::testing
