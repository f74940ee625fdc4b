// Any bytes as a binary form: the reader raises EReadError or gives a tree;
// a tree rewrites into bytes that read back as the same tree and rewrite
// into the same bytes; and whatever text the tree writes reads back into a
// tree that writes the same text. Nothing else may happen (the sanitizers
// watch for the rest).
#include <cstdint>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "framework/form_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFormObject form;
  try {
    form = ReadBinaryForm(data, size);
  } catch (const EReadError&) {
    return 0;
  }
  const std::vector<uint8_t> bytes = WriteBinaryForm(form);  // must not raise
  const TFormObject again = ReadBinaryForm(bytes.data(), bytes.size());
  if (!(again == form)) __builtin_trap();
  if (WriteBinaryForm(again) != bytes) __builtin_trap();

  std::string text;
  try {
    text = FormToText(form);
  } catch (const EWriteError&) {
    return 0;  // names or floats the text form cannot carry
  }
  const TFormObject parsed = ParseTextForm(text);  // must not raise
  if (FormToText(parsed) != text) __builtin_trap();
  return 0;
}
