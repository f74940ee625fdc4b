// Any text as a text form: the parser raises EParserError or gives a tree,
// which the binary writer and the text writer both take; the text written
// from it reads back into a tree that writes the same text, and the binary
// form reads back into the same tree.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/exceptions.h"
#include "framework/form_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFormObject form;
  try {
    form = ParseTextForm(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const EParserError&) {
    return 0;
  }
  const std::vector<uint8_t> bytes = WriteBinaryForm(form);  // must not raise
  if (!(ReadBinaryForm(bytes.data(), bytes.size()) == form)) __builtin_trap();
  const std::string text = FormToText(form);  // must not raise
  const TFormObject again = ParseTextForm(text);
  if (FormToText(again) != text) __builtin_trap();
  return 0;
}
