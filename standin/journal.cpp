#include "standin/journal.h"

#include <oleauto.h>

#include <array>
#include <cwchar>

namespace standin {

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
  return result;
}

void AppendToFile(const std::string& line) {
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetEnvironmentVariableW(L"KRIBBEL_STANDIN_JOURNAL", path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

void TJournal::Add(std::wstring line) {
  AppendToFile("#" + std::to_string(FInstance) + " " + Utf8(line) + "\n");
  FLines.push_back(std::move(line));
}

std::wstring Quote(const wchar_t* text) {
  if (!text) return L"null";
  std::wstring result = L"\"";
  for (const wchar_t* c = text; *c; ++c) {
    switch (*c) {
      case L'"': result += L"\\\""; break;
      case L'\\': result += L"\\\\"; break;
      case L'\n': result += L"\\n"; break;
      case L'\r': result += L"\\r"; break;
      case L'\t': result += L"\\t"; break;
      default: result += *c;
    }
  }
  return result + L"\"";
}

std::wstring Hex(uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08X", value);
  return text;
}

std::wstring RectText(const RECT* rect) {
  if (!rect) return L"null";
  return std::to_wstring(rect->left) + L" " + std::to_wstring(rect->top) + L" " +
         std::to_wstring(rect->right) + L" " + std::to_wstring(rect->bottom);
}

std::wstring VariantText(const VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_EMPTY: return L"empty";
    case VT_NULL: return L"null";
    case VT_BSTR: return Quote(V_BSTR(&value) ? V_BSTR(&value) : L"");
    case VT_BOOL: return V_BOOL(&value) ? L"true" : L"false";
    case VT_I4: return std::to_wstring(V_I4(&value));
    default: break;
  }
  VARIANT text;
  VariantInit(&text);
  std::wstring result = L"vt" + std::to_wstring(V_VT(&value));
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR)))
    result += L":" + Quote(V_BSTR(&text) ? V_BSTR(&text) : L"");
  VariantClear(&text);
  return result;
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace standin
