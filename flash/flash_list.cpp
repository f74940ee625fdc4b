#include "flash/flash_list.h"
#include "framework/ascii_text.h"

#include <cstring>
#include <new>
#include <vector>

#include "framework/exceptions.h"

namespace {

constexpr uint8_t VersionEmpty = 0;
constexpr uint8_t VersionInt64Length = 2;
constexpr uint8_t VersionCurrent = 3;

// Reads a little-endian integer of width bytes; false when the payload ends first.
bool ReadLittleEndian(TStream& s, int width, uint64_t& value) {
  uint8_t raw[8] = {};
  if (s.Read(raw, width) != width) return false;
  value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | raw[i];
  return true;
}

// A length field that must fit what the payload still holds. Negative or
// longer-than-remaining lengths mean a broken payload.
bool CheckedLength(int64_t length, TStream& s) {
  int64_t remaining = s.Size() - s.Position();
  return length >= 0 && length <= remaining;
}

bool ReadBytes(TStream& s, int32_t length, std::vector<uint8_t>& bytes) {
  try {
    bytes.resize(size_t(length));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  }
  return s.Read(bytes.data(), length) == length;
}

void WriteInt32(TStream& s, int32_t value) {
  uint8_t raw[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  s.WriteBuffer(raw, 4);
}

}  // namespace

// ---- TmvFlashStream ----

TmvFlashStream::TmvFlashStream(TCollection* collection)
    : TCollectionItem(collection), FStream(std::make_unique<TMemoryStream>()), FStoreName(EmptyName) {}

TmvFlashStream::~TmvFlashStream() = default;

std::string TmvFlashStream::FlashStore() const {
  return FStream->Size() >= 1 ? FStoreName : std::string(EmptyName);
}

void TmvFlashStream::DefineProperties(TFiler& filer) {
  TCollectionItem::DefineProperties(filer);
  // Always has data: an empty item writes its one-byte payload too.
  filer.DefineBinaryProperty(
      "FlashStream", [this](TStream& s) { ReadFlashStream(s); },
      [this](TStream& s) { WriteFlashStream(s); }, true);
}

void TmvFlashStream::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TmvFlashStream*>(source)) {
    if (other == this) return;
    TMemoryStream& from = *other->FStream;
    FStream->SetSize(from.Size());
    if (from.Size() > 0) std::memcpy(FStream->Memory(), from.Memory(), size_t(from.Size()));
    FStoreName = other->FStoreName;
    FTag = other->FTag;
    return;
  }
  TCollectionItem::Assign(source);
}

void TmvFlashStream::ReadFlashStream(TStream& s) {
  uint8_t version = VersionEmpty;
  if (s.Read(&version, 1) != 1) return;
  if (version != VersionCurrent && version != VersionInt64Length) return;

  // Everything is parsed and checked before the item changes, so a broken
  // payload cannot leave a half-read item or allocate more than it holds.
  uint64_t field = 0;
  if (!ReadLittleEndian(s, 4, field)) return;
  int32_t nameLength = int32_t(uint32_t(field));
  if (!CheckedLength(nameLength, s)) return;
  std::vector<uint8_t> name;
  if (!ReadBytes(s, nameLength, name)) return;

  int64_t dataLength;
  if (version == VersionCurrent) {
    if (!ReadLittleEndian(s, 4, field)) return;
    dataLength = int32_t(uint32_t(field));
  } else {
    if (!ReadLittleEndian(s, 8, field)) return;
    // Lengths beyond 32 bits cannot be held; a set high half marks the
    // payload as broken rather than being silently cut to the low half.
    if ((field >> 32) != 0) return;
    dataLength = int32_t(uint32_t(field));
  }
  if (!CheckedLength(dataLength, s)) return;
  std::vector<uint8_t> data;
  if (!ReadBytes(s, int32_t(dataLength), data)) return;

  // The stream keeps its position: readers start wherever it was (0 for a new item).
  FStream->SetSize(dataLength);
  if (dataLength > 0) std::memcpy(FStream->Memory(), data.data(), data.size());
  FStoreName.assign(name.begin(), name.end());
}

void TmvFlashStream::WriteFlashStream(TStream& s) {
  int64_t size = FStream->Size();
  uint8_t version = size >= 1 ? VersionCurrent : VersionEmpty;
  s.WriteBuffer(&version, 1);
  if (version != VersionCurrent) return;
  WriteStreamString(s, FStoreName);
  WriteInt32(s, int32_t(size));
  // From memory, whatever the stream's position.
  s.WriteBuffer(FStream->Memory(), int32_t(size));
}

// ---- TmvFlashCollection ----

TmvFlashCollection::TmvFlashCollection(TmvFlashList* owner) : FOwner(owner) {
  SetPropName("Flashs");
}

TPersistent* TmvFlashCollection::GetOwner() { return FOwner; }

// ---- TmvFlashList ----

TmvFlashList::TmvFlashList(TComponent* owner)
    : TComponent(owner), FFlashs(std::make_unique<TmvFlashCollection>(this)) {}

TmvFlashList::~TmvFlashList() = default;

void TmvFlashList::SetFlashs(TmvFlashCollection* value) { FFlashs->Assign(value); }

TmvFlashStream* TmvFlashList::FindFlash(const std::string& name) const {
  for (int i = 0; i < FFlashs->Count(); ++i) {
    TmvFlashStream* item = FFlashs->Items(i);
    if (SameTextAscii(item->FlashStore(), name)) return item;
  }
  return nullptr;
}
