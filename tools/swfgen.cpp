// swfgen: writes the stand-in title movie, a CWS (zlib) SWF 8 movie.
//   swfgen <out.swf>
#include <cstdio>

#include "platform/exceptions.h"
#include "tools/form_compiler.h"
#include "tools/title_movie.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: swfgen <out.swf>\n");
    return 1;
  }
  try {
    const std::vector<uint8_t> swf = CompressedSwf(KribbelTitleMovie());
    WriteFileBytes(argv[1], swf.data(), swf.size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "swfgen: %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
