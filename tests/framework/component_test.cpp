#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/component.h"
#include "framework/exceptions.h"

namespace {

std::vector<std::string>* Journal = nullptr;
// Labels by address: a component being constructed or destroyed is announced
// while it is not (or no longer) a TProbe, so no cast can tell its label.
std::map<const TComponent*, std::string> Labels;

void Log(const std::string& line) {
  if (Journal != nullptr) Journal->push_back(line);
}

// Writes every notification, and its own destruction, to the journal.
class TProbe : public TComponent {
public:
  MV_CLASS_NAME(TProbe)
  std::string Label;
  TComponent* Watched = nullptr;  // a reference that Notification must clear

  TProbe(TComponent* owner, std::string label) : TComponent(nullptr), Label(std::move(label)) {
    Labels[this] = Label;
    if (owner != nullptr) owner->InsertComponent(this);
  }
  ~TProbe() override { Log("free " + Label); }

  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    auto it = Labels.find(component);
    std::string what = it != Labels.end() ? it->second : std::string("?");
    Log(Label + (operation == TOperation::opInsert ? " +" : " -") + what);
    if (operation == TOperation::opRemove && component == Watched) Watched = nullptr;
  }
};

class ComponentTest : public testing::Test {
protected:
  std::vector<std::string> FJournal;
  void SetUp() override { Journal = &FJournal; }
  void TearDown() override {
    Journal = nullptr;
    Labels.clear();
  }
};

TEST_F(ComponentTest, OwnerListsItsComponentsInOrder) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  ASSERT_EQ(owner.ComponentCount(), 2);
  EXPECT_EQ(owner.Components()[0], a);
  EXPECT_EQ(owner.Components()[1], b);
  EXPECT_EQ(a->Owner(), &owner);
  EXPECT_EQ(a->GetOwner(), &owner);
  EXPECT_EQ(TComponent(nullptr).Owner(), nullptr);
}

TEST_F(ComponentTest, OwnerFreesItsComponentsLastFirst) {
  {
    TProbe owner(nullptr, "owner");
    new TProbe(&owner, "a");
    new TProbe(&owner, "b");
    new TProbe(&owner, "c");
    FJournal.clear();
  }
  std::vector<std::string> frees;
  for (const std::string& line : FJournal)
    if (line.rfind("free ", 0) == 0) frees.push_back(line);
  EXPECT_EQ(frees, (std::vector<std::string>{"free owner", "free c", "free b", "free a"}));
}

TEST_F(ComponentTest, InsertionIsAnnouncedToTheOwnerAndItsComponents) {
  TProbe owner(nullptr, "owner");
  new TProbe(&owner, "a");
  FJournal.clear();
  new TProbe(&owner, "b");
  // The owner's Notification hands it on to each component, the newcomer included.
  EXPECT_EQ(FJournal, (std::vector<std::string>{"b +b", "a +b", "owner +b"}));
}

TEST_F(ComponentTest, FreeingOneTellsTheOwnerAndEverySibling) {
  TProbe owner(nullptr, "owner");
  auto* a = new TProbe(&owner, "a");
  auto* b = new TProbe(&owner, "b");
  auto* c = new TProbe(&owner, "c");
  a->Watched = b;
  c->Watched = b;
  FJournal.clear();
  delete b;
  EXPECT_EQ(a->Watched, nullptr);
  EXPECT_EQ(c->Watched, nullptr);
  EXPECT_EQ(owner.ComponentCount(), 2);
  EXPECT_EQ(owner.FindComponent("b"), nullptr);
  std::vector<std::string> expected{"free b", "c -b", "a -b", "owner -b"};
  EXPECT_EQ(FJournal, expected);
}

TEST_F(ComponentTest, SiblingsFreedWithTheOwnerHearOfEachOther) {
  auto* owner = new TProbe(nullptr, "owner");
  auto* a = new TProbe(owner, "a");
  auto* b = new TProbe(owner, "b");
  a->Watched = b;  // b goes first (last first); a must not keep a dangling pointer
  bool aSawB = false;
  FJournal.clear();
  delete owner;
  for (const std::string& line : FJournal)
    if (line == "a -b") aSawB = true;
  EXPECT_TRUE(aSawB);
}

TEST_F(ComponentTest, DestroyingStateReachesOwnedComponents) {
  struct TStateProbe : TComponent {
    bool* SawDestroying;
    TStateProbe(TComponent* owner, bool* saw) : TComponent(owner), SawDestroying(saw) {}
    ~TStateProbe() override { *SawDestroying = HasState(csDestroying); }
  };
  bool saw = false;
  {
    TComponent owner(nullptr);
    new TStateProbe(&owner, &saw);
  }
  EXPECT_TRUE(saw);
}

TEST_F(ComponentTest, NameValidation) {
  struct Row {
    const char* Name;
    bool Valid;
  } rows[] = {
      {"", true},          {"a", true},        {"_", true},        {"Button1", true},
      {"_x_9", true},      {"Z", true},        {"1abc", false},    {"a b", false},
      {"a-b", false},      {"a.b", false},     {"\xC3\xA4x", false}, {"x\xC3\xA4", false},
      {"9", false},        {" a", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TComponent component(nullptr);
    if (row.Valid) {
      component.SetName(row.Name);
      EXPECT_EQ(component.Name(), row.Name);
    } else {
      component.SetName("before");
      try {
        component.SetName(row.Name);
        FAIL() << "no exception";
      } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message(), std::string("'") + row.Name + "' is not a valid component name");
      }
      EXPECT_EQ(component.Name(), "before");
    }
  }
}

TEST_F(ComponentTest, NamesAreUniqueAmongTheOwnersComponents) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName("Player1");
  struct Row {
    const char* Name;
    bool Accepted;
  } rows[] = {
      {"Player1", false}, {"PLAYER1", false}, {"player1", false},
      {"Player2", true},  {"", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    b->SetName("Other");
    if (row.Accepted) {
      b->SetName(row.Name);
      EXPECT_EQ(b->Name(), row.Name);
    } else {
      try {
        b->SetName(row.Name);
        FAIL() << "no exception";
      } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message(), std::string("A component named ") + row.Name + " already exists");
      }
      EXPECT_EQ(b->Name(), "Other");
    }
  }
  // A change of case of one's own name is no clash; two unnamed ones never clash.
  a->SetName("PLAYER1");
  EXPECT_EQ(a->Name(), "PLAYER1");
  a->SetName("");
  b->SetName("");
  // Components of different owners may share a name.
  TComponent otherOwner(nullptr);
  auto* c = new TComponent(&otherOwner);
  a->SetName("Same");
  c->SetName("Same");
  EXPECT_EQ(c->Name(), "Same");
}

TEST_F(ComponentTest, InsertingANamedComponentThatClashesIsRefused) {
  TComponent owner(nullptr);
  TComponent other(nullptr);
  (new TComponent(&owner))->SetName("List");
  auto* moving = new TComponent(&other);
  moving->SetName("list");
  EXPECT_THROW(owner.InsertComponent(moving), EComponentError);
  EXPECT_EQ(moving->Owner(), &other);  // left where it was
  moving->SetName("List2");
  owner.InsertComponent(moving);
  EXPECT_EQ(moving->Owner(), &owner);
  EXPECT_EQ(other.ComponentCount(), 0);
  EXPECT_EQ(owner.ComponentCount(), 2);
}

TEST_F(ComponentTest, RemoveComponentHandsOwnershipBack) {
  TProbe owner(nullptr, "owner");
  auto* a = new TProbe(&owner, "a");
  FJournal.clear();
  owner.RemoveComponent(a);
  EXPECT_EQ(FJournal, (std::vector<std::string>{"a -a", "owner -a"}));
  EXPECT_EQ(a->Owner(), nullptr);
  EXPECT_EQ(owner.ComponentCount(), 0);
  delete a;  // no longer owned: freeing it is ours
}

TEST_F(ComponentTest, FindComponentIgnoresAsciiCase) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  a->SetName("FlashList1");
  struct Row {
    const char* Name;
    bool Found;
  } rows[] = {{"FlashList1", true}, {"flashlist1", true}, {"FLASHLIST1", true},
              {"FlashList", false}, {"FlashList12", false}, {"", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(owner.FindComponent(row.Name), row.Found ? a : nullptr);
  }
}

TEST_F(ComponentTest, StateFlagsAndLoaded) {
  TComponent component(nullptr);
  component.SetState(csLoading, true);
  component.SetState(csReading, true);
  EXPECT_TRUE(component.HasState(csLoading));
  component.Loaded();
  EXPECT_FALSE(component.HasState(csLoading));
  EXPECT_TRUE(component.HasState(csReading));
  component.SetState(csReading, false);
  EXPECT_EQ(component.ComponentState(), 0u);
}

TEST_F(ComponentTest, NamePathIsTheName) {
  TComponent component(nullptr);
  component.SetName("FlashList1");
  EXPECT_EQ(component.GetNamePath(), "FlashList1");
}

}  // namespace
