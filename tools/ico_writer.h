#pragma once
// Writes Windows icon files (.ico) of 32-bit images: each image a DIB with an
// alpha channel and the 1-bit AND mask after it, as the icon resource
// compiler and LoadIcon expect on every Windows version.
#include <cstdint>
#include <vector>

struct TIconImage {
  int32_t Size = 0;                // width = height, 1..256
  std::vector<uint32_t> Pixels;    // 0xAARRGGBB, top row first, straight alpha
};

std::vector<uint8_t> IcoFile(const std::vector<TIconImage>& images);

// The application icon: a white block "K" on a rounded orange square, with
// three crayon stripes, drawn at the given size with 4 x 4 samples a pixel.
TIconImage KribbelIconImage(int32_t size);
// 16, 32 and 48 pixels.
std::vector<uint8_t> KribbelIcon();
