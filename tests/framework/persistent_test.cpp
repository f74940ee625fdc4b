#include <gtest/gtest.h>

#include "framework/exceptions.h"
#include "framework/persistent.h"

namespace {

class TPoint : public TPersistent {
public:
  MV_CLASS_NAME(TPoint)
  int X = 0;
  TPersistent* Owner = nullptr;
  TPersistent* GetOwner() override { return Owner; }
};

// Knows how to copy itself into a TPoint, which knows nothing about it.
class TPair : public TPersistent {
public:
  MV_CLASS_NAME(TPair)
  int First = 0;

protected:
  void AssignTo(TPersistent* dest) override {
    if (auto* point = dynamic_cast<TPoint*>(dest)) {
      point->X = First;
      return;
    }
    TPersistent::AssignTo(dest);
  }
};

class TNamed : public TPersistent {
public:
  MV_CLASS_NAME(TNamed)
  std::string Path;
  std::string GetNamePath() override { return Path; }
};

TEST(Persistent, AssignErrorsNameBothClasses) {
  TPoint point;
  TNamed named;
  struct Row {
    TPersistent* Source;
    TPersistent* Dest;
    const char* Message;
  } rows[] = {
      {&named, &point, "Cannot assign a TNamed to a TPoint"},
      {&point, &named, "Cannot assign a TPoint to a TNamed"},
      {nullptr, &point, "Cannot assign a nil to a TPoint"},
      {&point, &point, "Cannot assign a TPoint to a TPoint"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Message);
    try {
      row.Dest->Assign(row.Source);
      FAIL() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), row.Message);
    }
  }
}

TEST(Persistent, AssignAsksTheSourceToAssignItself) {
  TPair pair;
  pair.First = 42;
  TPoint point;
  point.Assign(&pair);
  EXPECT_EQ(point.X, 42);
  // The other way round nobody knows how.
  TPair other;
  EXPECT_THROW(other.Assign(&point), EConvertError);
}

TEST(Persistent, NamePathPrefixesTheOwnersPath) {
  TNamed owner;
  TPoint point;
  EXPECT_EQ(point.GetNamePath(), "TPoint");
  point.Owner = &owner;
  owner.Path = "";
  EXPECT_EQ(point.GetNamePath(), "TPoint");
  owner.Path = "Form1.List";
  EXPECT_EQ(point.GetNamePath(), "Form1.List.TPoint");
}

}  // namespace
