// The stand-in's record of the calls it received, one line per call, in
// order. When KRIBBEL_STANDIN_JOURNAL names a file, each line is appended
// there too as UTF-8, prefixed with "#<instance> " so that lines of several
// controls can be told apart.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

class TJournal {
  std::vector<std::wstring> FLines;
  unsigned FInstance;
public:
  explicit TJournal(unsigned instance) : FInstance(instance) {}
  void Add(std::wstring line);
  const std::vector<std::wstring>& Lines() const { return FLines; }
  void Clear() { FLines.clear(); }
};

// Argument formatting for journal lines.
std::wstring Quote(const wchar_t* text);  // "text" with escapes; null for nil
std::wstring Hex(uint32_t value);         // 0x%08X
std::wstring RectText(const RECT* rect);  // "l t r b" or null
std::wstring VariantText(const VARIANT& value);

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

}  // namespace standin
