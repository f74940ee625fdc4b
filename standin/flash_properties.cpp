#include "standin/flash_properties.h"

#include <olectl.h>
#include <oleauto.h>

#include <cstring>
#include <cwchar>

namespace standin {

namespace {

constexpr TPropertyInfo KProperties[] = {
    {L"ReadyState", DISPID_FLASH_READYSTATE, VT_I4, true, 0, nullptr},
    {L"TotalFrames", DISPID_FLASH_TOTALFRAMES, VT_I4, true, 0, nullptr},
    {L"Movie", DISPID_FLASH_MOVIE, VT_BSTR, false, 0, L""},
    {L"Playing", DISPID_FLASH_PLAYING, VT_BOOL, false, -1, nullptr},
    {L"Quality", DISPID_FLASH_QUALITY, VT_I4, false, 1, nullptr},
    {L"ScaleMode", DISPID_FLASH_SCALEMODE, VT_I4, false, 0, nullptr},
    {L"AlignMode", DISPID_FLASH_ALIGNMODE, VT_I4, false, 0, nullptr},
    {L"BackgroundColor", DISPID_FLASH_BACKGROUNDCOLOR, VT_I4, false, -1, nullptr},
    {L"Loop", DISPID_FLASH_LOOP, VT_BOOL, false, -1, nullptr},
    {L"FrameNum", DISPID_FLASH_FRAMENUM, VT_I4, false, -1, nullptr},
    {L"WMode", DISPID_FLASH_WMODE, VT_BSTR, false, 0, L"Window"},
    {L"SAlign", 134, VT_BSTR, false, 0, L""},
    {L"Menu", 135, VT_BOOL, false, -1, nullptr},
    {L"Base", 136, VT_BSTR, false, 0, L""},
    {L"Scale", 137, VT_BSTR, false, 0, L"ShowAll"},
    {L"DeviceFont", 138, VT_BOOL, false, 0, nullptr},
    {L"EmbedMovie", 139, VT_BOOL, false, 0, nullptr},
    {L"BGColor", DISPID_FLASH_BGCOLOR, VT_BSTR, false, 0, L""},
    {L"Quality2", 141, VT_BSTR, false, 0, L"High"},
    {L"SWRemote", 159, VT_BSTR, false, 0, L""},
    {L"FlashVars", 170, VT_BSTR, false, 0, L""},
    {L"AllowScriptAccess", 171, VT_BSTR, false, 0, L"sameDomain"},
    {L"MovieData", 190, VT_BSTR, false, 0, L""},
    {L"SeamlessTabbing", 192, VT_BOOL, false, -1, nullptr},
};

constexpr char KMagic[4] = {'K', 'S', 'F', 'C'};

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

// Reads little-endian values from a bounded buffer; any read past the end
// marks the reader failed.
class TReader {
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
  bool FFailed = false;
public:
  TReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  bool Failed() const { return FFailed; }
  size_t Remaining() const { return FSize - FPos; }
  uint32_t U32() {
    if (Remaining() < 4) { FFailed = true; return 0; }
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{FData[FPos + i]} << (8 * i);
    FPos += 4;
    return value;
  }
  uint16_t U16() {
    if (Remaining() < 2) { FFailed = true; return 0; }
    const uint16_t value = static_cast<uint16_t>(FData[FPos] | (FData[FPos + 1] << 8));
    FPos += 2;
    return value;
  }
  std::wstring Text(uint32_t chars) {
    if (Remaining() / 2 < chars) { FFailed = true; return {}; }
    std::wstring text(chars, L'\0');
    for (uint32_t i = 0; i < chars; ++i)
      text[i] = static_cast<wchar_t>(FData[FPos + 2 * i] | (FData[FPos + 2 * i + 1] << 8));
    FPos += 2 * size_t{chars};
    return text;
  }
};

}  // namespace

std::span<const TPropertyInfo> PropertyTable() { return KProperties; }

const TPropertyInfo* FindProperty(DISPID id) {
  for (const TPropertyInfo& info : KProperties)
    if (info.Id == id) return &info;
  return nullptr;
}

const TPropertyInfo* FindPropertyByName(const wchar_t* name) {
  if (!name) return nullptr;
  for (const TPropertyInfo& info : KProperties)
    if (_wcsicmp(info.Name, name) == 0) return &info;
  return nullptr;
}

TPropertyBag::TPropertyBag() {
  for (const TPropertyInfo& info : KProperties) {
    TPropertyValue& value = FValues[info.Id];
    value.Int = info.IntDefault;
    if (info.TextDefault) value.Text = info.TextDefault;
  }
}

long TPropertyBag::Int(DISPID id) const {
  auto found = FValues.find(id);
  return found == FValues.end() ? 0 : found->second.Int;
}

std::wstring TPropertyBag::Text(DISPID id) const {
  auto found = FValues.find(id);
  return found == FValues.end() ? std::wstring() : found->second.Text;
}

HRESULT TPropertyBag::Get(DISPID id, VARIANT* out) const {
  const TPropertyInfo* info = FindProperty(id);
  if (!info) return DISP_E_MEMBERNOTFOUND;
  if (!out) return E_POINTER;
  VariantInit(out);
  const TPropertyValue& value = FValues.at(id);
  switch (info->Type) {
    case VT_I4: V_VT(out) = VT_I4; V_I4(out) = value.Int; break;
    case VT_BOOL: V_VT(out) = VT_BOOL; V_BOOL(out) = value.Int ? VARIANT_TRUE : VARIANT_FALSE; break;
    default: {
      BSTR text = SysAllocStringLen(value.Text.data(), static_cast<UINT>(value.Text.size()));
      if (!text) return E_OUTOFMEMORY;
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = text;
    }
  }
  return S_OK;
}

HRESULT TPropertyBag::Put(DISPID id, const VARIANT& value) {
  const TPropertyInfo* info = FindProperty(id);
  if (!info) return DISP_E_MEMBERNOTFOUND;
  if (info->ReadOnly) return CTL_E_SETNOTSUPPORTED;
  VARIANT plain, converted;
  VariantInit(&plain);
  VariantInit(&converted);
  HRESULT hr = VariantCopyInd(&plain, const_cast<VARIANT*>(&value));
  if (SUCCEEDED(hr)) hr = VariantChangeType(&converted, &plain, 0, info->Type);
  if (SUCCEEDED(hr)) {
    TPropertyValue& stored = FValues[id];
    if (info->Type == VT_I4) stored.Int = V_I4(&converted);
    else if (info->Type == VT_BOOL) stored.Int = V_BOOL(&converted) ? -1 : 0;
    else stored.Text = V_BSTR(&converted) ? std::wstring(V_BSTR(&converted), SysStringLen(V_BSTR(&converted))) : std::wstring();
  }
  VariantClear(&converted);
  VariantClear(&plain);
  if (hr == E_OUTOFMEMORY) return hr;
  return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

std::vector<uint8_t> TPropertyBag::Save(SIZEL extent) const {
  std::vector<uint8_t> body;
  PutU32(body, static_cast<uint32_t>(extent.cx));
  PutU32(body, static_cast<uint32_t>(extent.cy));
  uint32_t count = 0;
  for (const TPropertyInfo& info : KProperties) count += info.ReadOnly ? 0 : 1;
  PutU32(body, count);
  for (const TPropertyInfo& info : KProperties) {
    if (info.ReadOnly) continue;
    const TPropertyValue& value = FValues.at(info.Id);
    PutU32(body, static_cast<uint32_t>(info.Id));
    PutU16(body, info.Type);
    if (info.Type == VT_I4) {
      PutU32(body, static_cast<uint32_t>(value.Int));
    } else if (info.Type == VT_BOOL) {
      PutU16(body, value.Int ? 0xFFFF : 0);
    } else {
      PutU32(body, static_cast<uint32_t>(value.Text.size()));
      for (wchar_t c : value.Text) PutU16(body, static_cast<uint16_t>(c));
    }
  }
  std::vector<uint8_t> state(KMagic, KMagic + 4);
  PutU32(state, KSavedStateVersion);
  PutU32(state, static_cast<uint32_t>(body.size()));
  state.insert(state.end(), body.begin(), body.end());
  return state;
}

HRESULT TPropertyBag::LoadBody(const uint8_t* body, size_t size, SIZEL& extent) {
  TReader reader(body, size);
  SIZEL newExtent{static_cast<LONG>(reader.U32()), static_cast<LONG>(reader.U32())};
  const uint32_t count = reader.U32();
  if (reader.Failed() || newExtent.cx < 0 || newExtent.cy < 0 || count > std::size(KProperties))
    return CTL_E_INVALIDFILEFORMAT;
  TPropertyBag loaded;
  for (uint32_t i = 0; i < count; ++i) {
    const DISPID id = static_cast<DISPID>(reader.U32());
    const VARTYPE type = reader.U16();
    const TPropertyInfo* info = FindProperty(id);
    if (reader.Failed() || !info || info->ReadOnly || info->Type != type) return CTL_E_INVALIDFILEFORMAT;
    TPropertyValue& value = loaded.FValues[id];
    if (type == VT_I4) {
      value.Int = static_cast<long>(reader.U32());
    } else if (type == VT_BOOL) {
      const uint16_t flag = reader.U16();
      if (flag != 0 && flag != 0xFFFF) return CTL_E_INVALIDFILEFORMAT;
      value.Int = flag ? -1 : 0;
    } else {
      const uint32_t chars = reader.U32();
      value.Text = reader.Text(chars);
    }
    if (reader.Failed()) return CTL_E_INVALIDFILEFORMAT;
  }
  if (reader.Remaining() != 0) return CTL_E_INVALIDFILEFORMAT;
  // Read-only values describe the running movie, not the saved state.
  for (const TPropertyInfo& info : KProperties)
    if (info.ReadOnly) loaded.FValues[info.Id] = FValues[info.Id];
  *this = std::move(loaded);
  extent = newExtent;
  return S_OK;
}

}  // namespace standin
