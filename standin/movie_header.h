// What the stand-in understands of a movie: the fixed header of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

struct TMovieHeader {
  bool Recognised = false;  // signature FWS, CWS or ZWS
  bool Compressed = false;  // CWS/ZWS: the frame size is not read
  int Version = 0;
  uint32_t DeclaredLength = 0;
  long WidthPixels = 0, HeightPixels = 0;  // only for uncompressed movies
  long FrameCount = 0;
};

TMovieHeader ParseMovieHeader(const uint8_t* data, size_t size);

}  // namespace standin
