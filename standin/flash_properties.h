// The control's properties by DISPID, their values, and the saved-state
// format that carries them.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace standin {

enum : DISPID {
  DISPID_FLASH_READYSTATE = -525,
  DISPID_FLASH_MOVIE = 102,
  DISPID_FLASH_QUALITY = 105,
  DISPID_FLASH_LOOP = 106,
  DISPID_FLASH_FRAMENUM = 107,
  DISPID_FLASH_SCALEMODE = 120,
  DISPID_FLASH_ALIGNMODE = 121,
  DISPID_FLASH_BACKGROUNDCOLOR = 123,
  DISPID_FLASH_TOTALFRAMES = 124,
  DISPID_FLASH_PLAYING = 125,
  DISPID_FLASH_WMODE = 133,
  DISPID_FLASH_BGCOLOR = 140,
};

struct TPropertyInfo {
  const wchar_t* Name;
  DISPID Id;
  VARTYPE Type;  // VT_I4, VT_BOOL or VT_BSTR
  bool ReadOnly;
  long IntDefault;  // VT_BOOL: 0 or -1
  const wchar_t* TextDefault;
};

std::span<const TPropertyInfo> PropertyTable();
const TPropertyInfo* FindProperty(DISPID id);
const TPropertyInfo* FindPropertyByName(const wchar_t* name);  // ignoring case

struct TPropertyValue {
  long Int = 0;  // VT_I4 and VT_BOOL
  std::wstring Text;  // VT_BSTR
  bool operator==(const TPropertyValue&) const = default;
};

// The saved state: "KSFC", version, body length, then the body (extent and
// the writable properties). Bodies longer than this are refused unread.
inline constexpr uint32_t KSavedStateMaxBody = 1u << 20;
inline constexpr uint32_t KSavedStateVersion = 1;

class TPropertyBag {
  std::map<DISPID, TPropertyValue> FValues;
public:
  TPropertyBag();  // every property at its default
  HRESULT Get(DISPID id, VARIANT* out) const;
  // Coerces to the declared type: DISP_E_TYPEMISMATCH when it cannot,
  // CTL_E_SETNOTSUPPORTED for a read-only property.
  HRESULT Put(DISPID id, const VARIANT& value);
  long Int(DISPID id) const;
  std::wstring Text(DISPID id) const;
  void SetInt(DISPID id, long value) { FValues[id].Int = value; }
  void SetText(DISPID id, std::wstring value) { FValues[id].Text = std::move(value); }
  bool operator==(const TPropertyBag&) const = default;

  // The whole saved state, header included.
  std::vector<uint8_t> Save(SIZEL extent) const;
  // body: the bytes after the header. CTL_E_INVALIDFILEFORMAT for anything
  // malformed; this bag and extent are changed only on success.
  HRESULT LoadBody(const uint8_t* body, size_t size, SIZEL& extent);
};

}  // namespace standin
