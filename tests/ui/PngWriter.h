#pragma once
// Writes 8-bit RGB images as PNG files, with no library: the image data goes into stored
// (uncompressed) deflate blocks, which every PNG reader accepts.
#include <cstdint>
#include <string>
#include <vector>

namespace ui_test {

// rgb: width * height pixels, 3 bytes each, rows top first.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

} // namespace ui_test
