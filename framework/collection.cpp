#include "framework/collection.h"

#include <algorithm>

#include "framework/exceptions.h"

// ---- TCollectionItem ----

TCollectionItem::TCollectionItem(TCollection* collection) {
  if (collection != nullptr) {
    collection->FItems.push_back(this);
    FCollection = collection;
  }
}

TCollectionItem::~TCollectionItem() {
  if (FCollection != nullptr) {
    auto& items = FCollection->FItems;
    auto it = std::find(items.begin(), items.end(), this);
    if (it != items.end()) items.erase(it);
  }
}

int TCollectionItem::Index() const {
  if (FCollection == nullptr) return -1;
  const auto& items = FCollection->FItems;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : int(it - items.begin());
}

std::string TCollectionItem::GetDisplayName() { return ClassName(); }

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

std::string TCollectionItem::GetNamePath() {
  if (FCollection == nullptr) return ClassName();
  return FCollection->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

// ---- TCollection ----

TCollection::TCollection(std::function<TCollectionItem*(TCollection*)> createItem)
    : FCreateItem(std::move(createItem)) {}

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::GetItem(int index) const {
  if (index < 0 || index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return FItems[size_t(index)];
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = FCreateItem(this);
  // An item class whose constructor did not join us still ends up owned here.
  if (item != nullptr && item->FCollection != this) {
    FItems.push_back(item);
    item->FCollection = this;
  }
  return item;
}

void TCollection::Clear() {
  // Last first; each item takes itself out of the list as it goes.
  while (!FItems.empty()) delete FItems.back();
}

void TCollection::Delete(int index) { delete GetItem(index); }

void TCollection::Assign(TPersistent* source) {
  if (source == this) return;  // Clear would otherwise destroy the source first
  if (auto* other = dynamic_cast<TCollection*>(source)) {
    Clear();
    for (TCollectionItem* item : other->FItems) Add()->Assign(item);
    return;
  }
  TPersistent::Assign(source);
}

std::string TCollection::GetNamePath() {
  std::string result = ClassName();
  TPersistent* owner = GetOwner();
  if (owner == nullptr) return result;
  std::string ownerPath = owner->GetNamePath();
  if (ownerPath.empty() || PropName().empty()) return result;
  return ownerPath + "." + PropName();
}
