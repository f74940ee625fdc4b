// icogen: writes the application icon (16, 32 and 48 pixels, 32-bit).
//   icogen <out.ico>
#include <cstdio>

#include "tools/form_compiler.h"
#include "tools/ico_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icogen <out.ico>\n");
    return 1;
  }
  try {
    const std::vector<uint8_t> ico = KribbelIcon();
    WriteFileBytes(argv[1], ico.data(), ico.size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "icogen: %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
