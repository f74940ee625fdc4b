#pragma once
// Collections of items that belong to one owner and are persisted with it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/persistent.h"

class TCollection;

class TCollectionItem : public TPersistent {
  TCollection* FCollection = nullptr;
  friend class TCollection;

public:
  MV_CLASS_NAME(TCollectionItem)
  // Adds itself to collection (when given), which then owns it.
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  TCollection* Collection() const { return FCollection; }
  int Index() const;
  // Shown by collection editors; the default is the class name.
  virtual std::string GetDisplayName();
  TPersistent* GetOwner() override;
  std::string GetNamePath() override;  // "<collection path>[<index>]"
};

class TCollection : public TPersistent {
  std::vector<TCollectionItem*> FItems;  // owned
  std::function<TCollectionItem*(TCollection*)> FCreateItem;
  friend class TCollectionItem;

public:
  MV_CLASS_NAME(TCollection)
  // createItem makes one item of the collection's item class.
  explicit TCollection(std::function<TCollectionItem*(TCollection*)> createItem);
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  int Count() const { return int(FItems.size()); }
  TCollectionItem* GetItem(int index) const;  // out of range: EListError-like Exception
  TCollectionItem* Add();
  void Clear();
  void Delete(int index);
  // Item-by-item Assign from another collection of the same kind.
  void Assign(TPersistent* source) override;
  // Name of the property that holds this collection on its owner ("Flashs").
  virtual std::string PropName() const { return FPropName; }
  void SetPropName(std::string name) { FPropName = std::move(name); }
  std::string GetNamePath() override;

private:
  std::string FPropName;
};

// A collection whose items are all of class T, with typed access.
template <class T>
class TTypedCollection : public TCollection {
public:
  TTypedCollection()
      : TCollection([](TCollection* c) -> TCollectionItem* { return new T(c); }) {}
  T* Items(int index) const { return static_cast<T*>(GetItem(index)); }
  T* AddItem() { return static_cast<T*>(Add()); }
};
