#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/collection.h"
#include "framework/component.h"
#include "framework/exceptions.h"

namespace {

std::vector<int>* Freed = nullptr;

class TNumberItem : public TCollectionItem {
public:
  MV_CLASS_NAME(TNumberItem)
  int Value = 0;
  explicit TNumberItem(TCollection* collection) : TCollectionItem(collection) {}
  ~TNumberItem() override {
    if (Freed != nullptr) Freed->push_back(Value);
  }
  void Assign(TPersistent* source) override {
    if (auto* other = dynamic_cast<TNumberItem*>(source)) {
      Value = other->Value;
      return;
    }
    TCollectionItem::Assign(source);
  }
};

class TPlainItem : public TCollectionItem {
public:
  MV_CLASS_NAME(TPlainItem)
  explicit TPlainItem(TCollection* collection) : TCollectionItem(collection) {}
};

// A collection held by a component, as a published collection property is.
class TNumbers : public TTypedCollection<TNumberItem> {
  TPersistent* FOwner;

public:
  MV_CLASS_NAME(TNumbers)
  explicit TNumbers(TPersistent* owner) : FOwner(owner) { SetPropName("Numbers"); }
  TPersistent* GetOwner() override { return FOwner; }
};

TNumbers* Fill(TNumbers* numbers, std::initializer_list<int> values) {
  for (int v : values) numbers->AddItem()->Value = v;
  return numbers;
}

std::vector<int> Values(const TNumbers& numbers) {
  std::vector<int> result;
  for (int i = 0; i < numbers.Count(); ++i) result.push_back(numbers.Items(i)->Value);
  return result;
}

class CollectionTest : public testing::Test {
protected:
  std::vector<int> FFreed;
  void SetUp() override { Freed = &FFreed; }
  void TearDown() override { Freed = nullptr; }
};

TEST_F(CollectionTest, AddGivesTypedItemsThatKnowTheirPlace) {
  TNumbers numbers(nullptr);
  Fill(&numbers, {10, 20, 30});
  ASSERT_EQ(numbers.Count(), 3);
  EXPECT_EQ(Values(numbers), (std::vector<int>{10, 20, 30}));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(numbers.Items(i)->Index(), i);
    EXPECT_EQ(numbers.Items(i)->Collection(), &numbers);
    EXPECT_EQ(numbers.Items(i)->GetOwner(), &numbers);
  }
}

TEST_F(CollectionTest, GetItemOutOfRangeRaises) {
  TNumbers numbers(nullptr);
  Fill(&numbers, {1, 2});
  for (int index : {-1, 2, 3, 1000000}) {
    SCOPED_TRACE(index);
    try {
      numbers.GetItem(index);
      FAIL() << "no exception";
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(index) + ")");
    }
  }
  EXPECT_THROW(numbers.Delete(2), EListError);
  EXPECT_EQ(numbers.Count(), 2);
}

TEST_F(CollectionTest, DeleteFreesOneItemAndRenumbers) {
  TNumbers numbers(nullptr);
  Fill(&numbers, {1, 2, 3});
  numbers.Delete(1);
  EXPECT_EQ(FFreed, (std::vector<int>{2}));
  EXPECT_EQ(Values(numbers), (std::vector<int>{1, 3}));
  EXPECT_EQ(numbers.Items(1)->Index(), 1);
}

TEST_F(CollectionTest, FreeingAnItemTakesItOutOfItsCollection) {
  TNumbers numbers(nullptr);
  Fill(&numbers, {1, 2, 3});
  delete numbers.Items(0);
  EXPECT_EQ(Values(numbers), (std::vector<int>{2, 3}));
}

TEST_F(CollectionTest, ClearAndDestructionFreeEveryItemLastFirst) {
  {
    TNumbers numbers(nullptr);
    Fill(&numbers, {1, 2, 3});
    numbers.Clear();
    EXPECT_EQ(numbers.Count(), 0);
    EXPECT_EQ(FFreed, (std::vector<int>{3, 2, 1}));
    FFreed.clear();
    Fill(&numbers, {4, 5});
  }
  EXPECT_EQ(FFreed, (std::vector<int>{5, 4}));
}

TEST_F(CollectionTest, ItemWithoutCollection) {
  TNumberItem item(nullptr);
  EXPECT_EQ(item.Collection(), nullptr);
  EXPECT_EQ(item.Index(), -1);
  EXPECT_EQ(item.GetNamePath(), "TNumberItem");
  EXPECT_EQ(item.GetDisplayName(), "TNumberItem");
}

TEST_F(CollectionTest, NamePaths) {
  TComponent list(nullptr);
  list.SetName("FlashList1");
  TNumbers owned(&list);
  Fill(&owned, {1, 2});
  EXPECT_EQ(owned.GetNamePath(), "FlashList1.Numbers");
  EXPECT_EQ(owned.Items(1)->GetNamePath(), "FlashList1.Numbers[1]");

  // Without an owner, an owner without a name or without a property name,
  // the collection is known by its class.
  TNumbers orphan(nullptr);
  Fill(&orphan, {1});
  EXPECT_EQ(orphan.GetNamePath(), "TNumbers");
  EXPECT_EQ(orphan.Items(0)->GetNamePath(), "TNumbers[0]");
  TComponent unnamed(nullptr);
  TNumbers underUnnamed(&unnamed);
  EXPECT_EQ(underUnnamed.GetNamePath(), "TNumbers");
  owned.SetPropName("");
  EXPECT_EQ(owned.GetNamePath(), "TNumbers");
}

TEST_F(CollectionTest, AssignCopiesItemByItem) {
  TNumbers source(nullptr);
  TNumbers dest(nullptr);
  Fill(&source, {7, 8, 9});
  Fill(&dest, {1});
  dest.Assign(&source);
  EXPECT_EQ(Values(dest), (std::vector<int>{7, 8, 9}));
  EXPECT_EQ(Values(source), (std::vector<int>{7, 8, 9}));
  EXPECT_NE(dest.Items(0), source.Items(0));
  // Assigning a collection to itself keeps it as it is.
  dest.Assign(&dest);
  EXPECT_EQ(Values(dest), (std::vector<int>{7, 8, 9}));
}

TEST_F(CollectionTest, AssignErrors) {
  TNumbers numbers(nullptr);
  TComponent component(nullptr);
  struct Row {
    TPersistent* Source;
    const char* Message;
  } rows[] = {
      {&component, "Cannot assign a TComponent to a TNumbers"},
      {nullptr, "Cannot assign a nil to a TNumbers"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Message);
    try {
      numbers.Assign(row.Source);
      FAIL() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), row.Message);
    }
  }
}

TEST_F(CollectionTest, ItemsRefuseAssignmentByDefault) {
  TTypedCollection<TPlainItem> plain;
  TPlainItem* a = plain.AddItem();
  TPlainItem* b = plain.AddItem();
  try {
    a->Assign(b);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TPlainItem to a TPlainItem");
  }
  // A whole collection of such items cannot be copied either.
  TTypedCollection<TPlainItem> other;
  other.AddItem();
  EXPECT_THROW(plain.Assign(&other), EConvertError);
}

}  // namespace
