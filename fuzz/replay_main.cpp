// Stand-in for libFuzzer's driver where the compiler has none: feeds the
// target a bounded number of pseudo-random inputs.
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  const long runs = argc > 1 ? std::atol(argv[1]) : 10000;
  uint32_t x = 1;
  std::vector<uint8_t> input;
  for (long run = 0; run < runs; ++run) {
    input.resize((x = x * 1664525u + 1013904223u) >> 26);
    for (uint8_t& b : input) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  return 0;
}
