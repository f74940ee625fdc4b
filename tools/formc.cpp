// formc: the form compiler.
//   formc compile <in.txt> <out.bin>    text form to binary form
//   formc decompile <in.bin> <out.txt>  binary form to text form
// Paths in the text form's FlashStreamFile('...') and BinaryFile('...') are
// relative to the text file's folder. Any error: a message and exit code 1.
#include <cstdio>
#include <string>

#include "framework/exceptions.h"
#include "tools/form_compiler.h"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc != 4 || (command != "compile" && command != "decompile")) {
    std::fprintf(stderr,
                 "usage: formc compile <in.txt> <out.bin>\n"
                 "       formc decompile <in.bin> <out.txt>\n");
    return 1;
  }
  const std::filesystem::path in = argv[2], out = argv[3];
  try {
    const std::vector<uint8_t> input = ReadFileBytes(in);
    if (command == "compile") {
      const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
      const std::vector<uint8_t> binary = CompileTextForm(text, in.parent_path());
      WriteFileBytes(out, binary.data(), binary.size());
    } else {
      const std::string text = DecompileBinaryForm(input);
      WriteFileBytes(out, text.data(), text.size());
    }
  } catch (const Exception& e) {
    std::fprintf(stderr, "formc: %s: %s\n", in.string().c_str(), e.Message().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "formc: %s: %s\n", in.string().c_str(), e.what());
    return 1;
  }
  return 0;
}
