#include "tools/form_compiler.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "framework/ascii_text.h"
#include "framework/exceptions.h"

namespace {

void PutInt32(std::vector<uint8_t>& out, size_t v) {
  if (v > size_t(INT32_MAX)) throw Exception("Too large for a 32-bit length: " + std::to_string(v));
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::string PathArgument(const std::string& function, const std::vector<TFormValue>& args) {
  if (args.size() != 1 ||
      (args[0].Type != TValueType::vaString && args[0].Type != TValueType::vaLString))
    throw Exception(function + " takes one argument, a quoted file path");
  if (args[0].Str.empty()) throw Exception(function + ": empty file path");
  return args[0].Str;
}

}  // namespace

std::vector<uint8_t> FlashStreamPayload(const std::string& name, const std::vector<uint8_t>& data) {
  if (data.empty()) return {0};
  std::vector<uint8_t> out{3};
  PutInt32(out, name.size());
  out.insert(out.end(), name.begin(), name.end());
  PutInt32(out, data.size());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

TFormFunction FileFunctions(const std::filesystem::path& baseDir) {
  return [baseDir](const std::string& name, const std::vector<TFormValue>& args) -> TFormValue {
    if (SameTextAscii(name, "FlashStreamFile")) {
      const std::string relative = PathArgument("FlashStreamFile", args);
      const std::filesystem::path path = baseDir / relative;
      // The stored name is the file's own name, as 8-bit text.
      return BinaryValue(FlashStreamPayload(path.filename().string(), ReadFileBytes(path)));
    }
    if (SameTextAscii(name, "BinaryFile"))
      return BinaryValue(ReadFileBytes(baseDir / PathArgument("BinaryFile", args)));
    throw Exception("Unknown function '" + name + "' (known: FlashStreamFile, BinaryFile)");
  };
}

std::vector<uint8_t> CompileTextForm(std::string_view text, const std::filesystem::path& baseDir) {
  return WriteBinaryForm(ParseTextForm(text, FileFunctions(baseDir)));
}

std::string DecompileBinaryForm(const std::vector<uint8_t>& bytes) {
  return FormToText(ReadBinaryForm(bytes.data(), bytes.size()));
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Exception("Cannot open '" + path.string() + "': " + std::strerror(errno));
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Exception("Cannot read '" + path.string() + "'");
  return bytes;
}

void WriteFileBytes(const std::filesystem::path& path, const void* data, size_t size) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw Exception("Cannot create '" + temp.string() + "': " + std::strerror(errno));
    out.write(static_cast<const char*>(data), std::streamsize(size));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw Exception("Cannot write '" + temp.string() + "'");
    }
  }
  std::error_code error;
  std::filesystem::rename(temp, path, error);
  if (error) {
    std::filesystem::remove(temp, error);
    throw Exception("Cannot replace '" + path.string() + "': " + error.message());
  }
}
