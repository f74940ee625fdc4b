#pragma once
// The form compiler's work, apart from its command line: text form to binary
// and back, with the file-embedding functions of the text form.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "framework/form_codec.h"

// The movie list's stored item: byte 3, the name with a
// 32-bit length, the data with a 32-bit length; an item without data is the
// single byte 0.
std::vector<uint8_t> FlashStreamPayload(const std::string& name, const std::vector<uint8_t>& data);

// The functions a text form may use, with paths relative to baseDir:
//   FlashStreamFile('Kribbel.swf')  the payload above, named after the file
//   BinaryFile('x.bin')             the file's bytes as they are
TFormFunction FileFunctions(const std::filesystem::path& baseDir);

// Text form to binary. Raises EParserError naming the line, EWriteError for
// what the binary form cannot hold.
std::vector<uint8_t> CompileTextForm(std::string_view text, const std::filesystem::path& baseDir);
// Binary form to text; binary values come out as plain hexadecimal.
std::string DecompileBinaryForm(const std::vector<uint8_t>& bytes);

// Whole files. Both raise Exception with the path and the system's reason.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
// Writes beside the target and renames, so a failed run leaves no half file.
void WriteFileBytes(const std::filesystem::path& path, const void* data, size_t size);
