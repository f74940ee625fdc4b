#pragma once
// The movie library: named movie streams kept in memory and persisted with
// the form through the binary property "FlashStream".
#include <cstdint>
#include <memory>
#include <string>

#include "framework/collection.h"
#include "framework/component.h"
#include "framework/streams.h"

class TmvFlashList;

// One movie: its bytes and its name. Owns its stream for its whole life.
class TmvFlashStream : public TCollectionItem {
  std::unique_ptr<TMemoryStream> FStream;
  int32_t FTag = 0;
  std::string FStoreName;

public:
  MV_CLASS_NAME(TmvFlashStream)
  static constexpr const char* EmptyName = "(empty)";

  explicit TmvFlashStream(TCollection* collection);
  ~TmvFlashStream() override;

  void DefineProperties(TFiler& filer) override;
  // Copies name, tag and bytes from another item; anything else is refused.
  void Assign(TPersistent* source) override;
  std::string GetDisplayName() override { return FStoreName; }

  TMemoryStream* Stream() const { return FStream.get(); }
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t tag) { FTag = tag; }
  const std::string& StoreName() const { return FStoreName; }
  void SetStoreName(const std::string& name) { FStoreName = name; }
  // The name while the item holds data, "(empty)" otherwise. Writes are
  // accepted and ignored: the name travels inside the FlashStream payload.
  std::string FlashStore() const;
  void SetFlashStore(const std::string&) {}

  // The FlashStream payload. Reading is all-or-nothing: a payload that is
  // not complete and consistent leaves the item as it was.
  void ReadFlashStream(TStream& s);
  void WriteFlashStream(TStream& s);
};

class TmvFlashCollection : public TTypedCollection<TmvFlashStream> {
  TmvFlashList* FOwner;

public:
  MV_CLASS_NAME(TmvFlashCollection)
  explicit TmvFlashCollection(TmvFlashList* owner);
  TPersistent* GetOwner() override;
};

// A non-visual component holding the movies of a form.
class TmvFlashList : public TComponent {
  std::unique_ptr<TmvFlashCollection> FFlashs;

public:
  MV_CLASS_NAME(TmvFlashList)
  explicit TmvFlashList(TComponent* owner);
  ~TmvFlashList() override;

  TmvFlashCollection* Flashs() const { return FFlashs.get(); }
  // Copies the items of value into the list's own collection; the list keeps
  // owning its collection and never takes over someone else's.
  void SetFlashs(TmvFlashCollection* value);

  // The first item whose FlashStore equals name, ASCII letters folded; nil if none.
  TmvFlashStream* FindFlash(const std::string& name) const;
};
