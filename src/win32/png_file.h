#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvel::win32 {

// An 8-bit RGB picture as a PNG file, uncompressed (stored deflate blocks):
// the screenshots need no zlib. `rgb` holds width * height * 3 bytes, rows
// from the top. False when the file could not be written.
bool WritePng(const std::wstring& path, int width, int height,
              const std::vector<std::uint8_t>& rgb);

// The file's bytes, for the test.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace orvel::win32
