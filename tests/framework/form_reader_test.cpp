#include <gtest/gtest.h>

#include "framework/class_registry.h"
#include "framework/collection.h"
#include "framework/component.h"
#include "framework/exceptions.h"
#include "framework/form_reader.h"

namespace {

// A small family of classes that uses every kind of property.
class TTestFont : public TPersistent {
public:
  MV_CLASS_NAME(TTestFont)
  std::string FName = "Default";
  int32_t FHeight = -11;
  std::string GetName() const { return FName; }
  void SetName(const std::string& v) { FName = v; }
  int32_t GetHeight() const { return FHeight; }
  void SetHeight(int32_t v) { FHeight = v; }
};

class TTestItem : public TCollectionItem {
public:
  MV_CLASS_NAME(TTestItem)
  using TCollectionItem::TCollectionItem;
  int32_t FValue = 0;
  std::vector<uint8_t> FBlob;
  int32_t GetValue() const { return FValue; }
  void SetValue(int32_t v) { FValue = v; }
  void DefineProperties(TFiler& filer) override {
    filer.DefineBinaryProperty(
        "Blob",
        [this](TStream& s) {
          FBlob.resize(size_t(s.Size()));
          s.ReadBuffer(FBlob.data(), int32_t(FBlob.size()));
        },
        [this](TStream& s) { s.WriteBuffer(FBlob.data(), int32_t(FBlob.size())); },
        !FBlob.empty());
  }
};

enum TTestKind { tkNone, tkCircle, tkSquare };

class TTestChild : public TComponent {
public:
  MV_CLASS_NAME(TTestChild)
  using TComponent::TComponent;
  TComponent* FPlacedIn = nullptr;
  int32_t FWidth = 0;
  int32_t GetWidth() const { return FWidth; }
  void SetWidth(int32_t v) { FWidth = v; }
};

class TTestRoot : public TComponent {
public:
  MV_CLASS_NAME(TTestRoot)
  TTestRoot() : TComponent(nullptr) { FItems.SetPropName("Items"); }
  int32_t FWidth = 0;
  bool FFlag = false;
  TTestKind FKind = tkNone;
  int64_t FStyle = 0;
  std::u16string FCaption;
  TTestFont FFont;
  TTestChild* FBuddy = nullptr;
  std::string FOnPing;
  TTypedCollection<TTestItem> FItems;
  std::vector<std::string> FLoadedLog;  // what Loaded saw, component by component

  int32_t GetWidth() const { return FWidth; }
  void SetWidth(int32_t v) { FWidth = v; }
  bool GetFlag() const { return FFlag; }
  void SetFlag(bool v) { FFlag = v; }
  TTestKind GetKind() const { return FKind; }
  void SetKind(TTestKind v) { FKind = v; }
  int64_t GetStyle() const { return FStyle; }
  void SetStyle(int64_t v) { FStyle = v; }
  void Loaded() override {
    TComponent::Loaded();
    FLoadedLog.push_back(std::string("root buddy=") + (FBuddy ? FBuddy->Name() : "nil"));
  }
  void Notification(TComponent* c, TOperation op) override {
    if (op == TOperation::opRemove && c == FBuddy) FBuddy = nullptr;
  }
};

void RegisterTestClasses() {
  TClassInfo font{"TTestFont", "", nullptr, nullptr, {}};
  font.Properties.push_back(StringProp<TTestFont>("Name", &TTestFont::GetName, &TTestFont::SetName));
  font.Properties.push_back(
      IntegerProp<TTestFont, int32_t>("Height", &TTestFont::GetHeight, &TTestFont::SetHeight, -11));
  RegisterClass(font);

  TClassInfo item{"TTestItem", "", nullptr, nullptr, {}};
  item.Properties.push_back(
      IntegerProp<TTestItem, int32_t>("Value", &TTestItem::GetValue, &TTestItem::SetValue, 0));
  RegisterClass(item);

  TClassInfo child{"TTestChild", "",
                   [](TComponent* owner) -> TComponent* { return new TTestChild(owner); },
                   [](TComponent* c, TComponent* parent) {
                     static_cast<TTestChild*>(c)->FPlacedIn = parent;
                   },
                   {}};
  child.Properties.push_back(
      IntegerProp<TTestChild, int32_t>("Width", &TTestChild::GetWidth, &TTestChild::SetWidth, 0));
  RegisterClass(child);

  TClassInfo root{"TTestRoot", "", nullptr, nullptr, {}};
  root.Properties.push_back(
      IntegerProp<TTestRoot, int32_t>("Width", &TTestRoot::GetWidth, &TTestRoot::SetWidth, 0));
  root.Properties.push_back(BooleanProp<TTestRoot>("Flag", &TTestRoot::GetFlag, &TTestRoot::SetFlag, false));
  root.Properties.push_back(EnumProp<TTestRoot, TTestKind>(
      "Kind", {"tkNone", "tkCircle", "tkSquare"}, &TTestRoot::GetKind, &TTestRoot::SetKind, tkNone));
  TPropInfo style = IntegerProp<TTestRoot, int64_t>("Style", &TTestRoot::GetStyle,
                                                    &TTestRoot::SetStyle, 0);
  style.Kind = TPropKind::pkSet;
  style.EnumNames = {"fsBold", "fsItalic", "fsUnderline"};
  root.Properties.push_back(style);
  TPropInfo caption;
  caption.Name = "Caption";
  caption.Kind = TPropKind::pkWideString;
  caption.GetWideString = [](TPersistent* o) { return static_cast<TTestRoot*>(o)->FCaption; };
  caption.SetWideString = [](TPersistent* o, const std::u16string& v) {
    static_cast<TTestRoot*>(o)->FCaption = v;
  };
  root.Properties.push_back(caption);
  TPropInfo fontProp;
  fontProp.Name = "Font";
  fontProp.Kind = TPropKind::pkClass;
  fontProp.GetNested = [](TPersistent* o) -> TPersistent* { return &static_cast<TTestRoot*>(o)->FFont; };
  root.Properties.push_back(fontProp);
  TPropInfo buddy;
  buddy.Name = "Buddy";
  buddy.Kind = TPropKind::pkComponent;
  buddy.GetComponent = [](TPersistent* o) -> TComponent* { return static_cast<TTestRoot*>(o)->FBuddy; };
  buddy.SetComponent = [](TPersistent* o, TComponent* c) {
    static_cast<TTestRoot*>(o)->FBuddy = dynamic_cast<TTestChild*>(c);
  };
  root.Properties.push_back(buddy);
  TPropInfo items;
  items.Name = "Items";
  items.Kind = TPropKind::pkCollection;
  items.GetCollection = [](TPersistent* o) -> TCollection* { return &static_cast<TTestRoot*>(o)->FItems; };
  root.Properties.push_back(items);
  TPropInfo ping;
  ping.Name = "OnPing";
  ping.Kind = TPropKind::pkMethod;
  ping.GetMethod = [](TPersistent* o) { return static_cast<TTestRoot*>(o)->FOnPing; };
  ping.SetMethod = [](TPersistent* o, const std::string& v) { static_cast<TTestRoot*>(o)->FOnPing = v; };
  root.Properties.push_back(ping);
  RegisterClass(root);
}

TFormProperty Prop(std::string name, TFormValue v) { return TFormProperty{std::move(name), std::move(v)}; }

TFormValue SetOf(std::vector<std::string> names) {
  TFormValue v;
  v.Type = TValueType::vaSet;
  v.Set = std::move(names);
  return v;
}

// A form that uses every kind, with the reference before its target.
TFormObject SampleForm() {
  TFormObject form{"TTestRoot", "Root", {}, {}};
  form.Properties = {
      Prop("Width", IntValue(776)),
      Prop("Flag", BoolValue(true)),
      Prop("Kind", IdentValue("tkSquare")),
      Prop("Style", SetOf({"fsBold", "fsUnderline"})),
      Prop("Caption", WideStringValue(u"Kribbel \xFF08\x8F6F\xFF09")),
      Prop("Font.Name", StringValue("MS Sans Serif")),
      Prop("Font.Height", IntValue(-13)),
      Prop("Buddy", IdentValue("Child2")),
  };
  TFormValue items;
  items.Type = TValueType::vaCollection;
  TFormCollectionItem first;
  first.Properties = {Prop("Value", IntValue(7)), Prop("Blob", BinaryValue({1, 2, 3}))};
  TFormCollectionItem second;
  second.Properties = {Prop("Value", IntValue(-1))};
  items.Items = {first, second};
  form.Properties.push_back(Prop("Items", items));
  form.Properties.push_back(Prop("OnPing", IdentValue("RootPing")));
  form.Children = {{"TTestChild", "Child1", {Prop("Width", IntValue(5))}, {}},
                   {"TTestChild", "Child2", {}, {}}};
  return form;
}

class FormReader : public testing::Test {
protected:
  static void SetUpTestSuite() { RegisterTestClasses(); }
};

TEST_F(FormReader, ReadsEveryKindOfProperty) {
  TTestRoot root;
  ReadForm(&root, SampleForm());
  EXPECT_EQ(root.Name(), "Root");
  EXPECT_EQ(root.FWidth, 776);
  EXPECT_TRUE(root.FFlag);
  EXPECT_EQ(root.FKind, tkSquare);
  EXPECT_EQ(root.FStyle, 0b101);
  EXPECT_EQ(root.FCaption, u"Kribbel \xFF08\x8F6F\xFF09");
  EXPECT_EQ(root.FFont.FName, "MS Sans Serif");
  EXPECT_EQ(root.FFont.FHeight, -13);
  EXPECT_EQ(root.FOnPing, "RootPing");
  ASSERT_EQ(root.FItems.Count(), 2);
  EXPECT_EQ(root.FItems.Items(0)->FValue, 7);
  EXPECT_EQ(root.FItems.Items(0)->FBlob, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(root.FItems.Items(1)->FValue, -1);
  ASSERT_EQ(root.ComponentCount(), 2);
  auto* child1 = static_cast<TTestChild*>(root.FindComponent("child1"));
  ASSERT_NE(child1, nullptr);
  EXPECT_EQ(child1->FWidth, 5);
  EXPECT_EQ(child1->FPlacedIn, &root);
  EXPECT_EQ(root.FBuddy, root.FindComponent("Child2"));
}

TEST_F(FormReader, ReferencesResolveBeforeLoadedAndStatesClear) {
  TTestRoot root;
  ReadForm(&root, SampleForm());
  EXPECT_EQ(root.FLoadedLog, (std::vector<std::string>{"root buddy=Child2"}));
  for (TComponent* c : {static_cast<TComponent*>(&root), root.Components()[0], root.Components()[1]}) {
    EXPECT_FALSE(c->HasState(csLoading)) << c->Name();
    EXPECT_FALSE(c->HasState(csReading)) << c->Name();
  }
}

TEST_F(FormReader, ReadingAnExistingCollectionReplacesItsItems) {
  TTestRoot root;
  root.FItems.AddItem()->FValue = 99;
  ReadForm(&root, SampleForm());
  ASSERT_EQ(root.FItems.Count(), 2);
  EXPECT_EQ(root.FItems.Items(0)->FValue, 7);
}

TEST_F(FormReader, WrittenBackGivesTheSameBytes) {
  TTestRoot root;
  const std::vector<uint8_t> original = WriteBinaryForm(SampleForm());
  ReadFormBinary(&root, original.data(), original.size());
  EXPECT_EQ(WriteFormBinary(&root), original);
}

TEST_F(FormReader, DefaultsAreNotWritten) {
  TTestRoot root;
  const TFormObject written = WriteForm(&root);
  std::vector<std::string> names;
  for (const TFormProperty& p : written.Properties) names.push_back(p.Name);
  // Nothing but the collection (always written) and the font's non-default name.
  EXPECT_EQ(names, (std::vector<std::string>{"Font.Name", "Items"}));
}

TEST_F(FormReader, BrokenFormsGiveClearErrors) {
  struct {
    const char* Name;
    std::function<void(TFormObject&)> Break;
    std::string Message;  // the start of the expected message
  } cases[] = {
      {"unknown class", [](TFormObject& f) { f.Children[0].ClassName = "TNope"; },
       "Class TNope not found"},
      {"root of another class", [](TFormObject& f) { f.ClassName = "TOther"; },
       "The form describes a TOther, not a TTestRoot"},
      {"unknown property", [](TFormObject& f) { f.Properties.push_back(Prop("Nope", IntValue(1))); },
       "Error reading Root.Nope: Property Nope does not exist"},
      {"unknown nested property",
       [](TFormObject& f) { f.Properties.push_back(Prop("Font.Size", IntValue(1))); },
       "Error reading Root.Font.Size: Property Size does not exist"},
      {"path through a plain property",
       [](TFormObject& f) { f.Properties.push_back(Prop("Width.X", IntValue(1))); },
       "Error reading Root.Width.X: Property Width does not exist"},
      {"string for an integer", [](TFormObject& f) { f.Properties[0].Value = StringValue("wide"); },
       "Error reading Root.Width: Invalid property value"},
      {"integer beyond 32 bits", [](TFormObject& f) { f.Properties[0].Value = IntValue(int64_t(1) << 40); },
       "Error reading Root.Width: Invalid property value"},
      {"unknown enum name", [](TFormObject& f) { f.Properties[2].Value = IdentValue("tkTriangle"); },
       "Error reading Root.Kind: Invalid property value"},
      {"unknown set element", [](TFormObject& f) { f.Properties[3].Value = SetOf({"fsShadow"}); },
       "Error reading Root.Style: Invalid property value"},
      {"reference to nobody", [](TFormObject& f) { f.Properties[7].Value = IdentValue("Ghost"); },
       "Error reading Root.Buddy: no component named Ghost on the form"},
      {"text where binary data belongs",
       [](TFormObject& f) { f.Properties[8].Value.Items[0].Properties[1].Value = StringValue("x"); },
       "Error reading Root.Items[0].Blob: Invalid property value"},
      {"two components of one name", [](TFormObject& f) { f.Children[1].Name = "CHILD1"; },
       "Error reading CHILD1:"},
      {"a name that is no identifier", [](TFormObject& f) { f.Children[1].Name = "2nd"; },
       "Error reading 2nd:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TFormObject form = SampleForm();
    c.Break(form);
    TTestRoot root;
    try {
      ReadForm(&root, form);
      ADD_FAILURE() << "no exception";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message().substr(0, c.Message.size()), c.Message) << e.Message();
    }
  }
}

}  // namespace

namespace {

TEST_F(FormReader, ComponentsWithoutWindowsKeepTheirDesignPosition) {
  TFormObject form = SampleForm();
  form.Children[0].Properties.push_back(Prop("Left", IntValue(368)));
  form.Children[0].Properties.push_back(Prop("Top", IntValue(72)));
  TTestRoot root;
  ReadForm(&root, form);
  TComponent* child = root.FindComponent("Child1");
  EXPECT_EQ(child->DesignLeft(), 368);
  EXPECT_EQ(child->DesignTop(), 72);
  const TFormObject written = WriteForm(&root);
  ASSERT_EQ(written.Children[0].Properties.size(), 3u);
  EXPECT_EQ(written.Children[0].Properties[1].Name, "Left");
  EXPECT_EQ(written.Children[0].Properties[2].Name, "Top");
  EXPECT_TRUE(written.Children[1].Properties.empty());  // position 0, 0 is not written
}

}  // namespace

namespace {

// A class may publish an ancestor's property again, with another default.
TEST(ClassRegistry, RepublishedPropertyReplacesTheAncestors) {
  TClassInfo base{"TRegBase", "", nullptr, nullptr, {}};
  base.Properties.push_back(IntegerProp<TTestChild, int32_t>("Width", &TTestChild::GetWidth,
                                                             &TTestChild::SetWidth, 0));
  TPropInfo other = base.Properties[0];
  other.Name = "Other";
  base.Properties.push_back(other);
  RegisterClass(base);
  TClassInfo derived{"TRegDerived", "TRegBase", nullptr, nullptr, {}};
  derived.Properties.push_back(IntegerProp<TTestChild, int32_t>("WIDTH", &TTestChild::GetWidth,
                                                                &TTestChild::SetWidth, 7));
  RegisterClass(derived);
  const std::vector<const TPropInfo*> all = AllProperties("TRegDerived");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]->Name, "Other");
  EXPECT_EQ(all[1]->Default, 7);
  EXPECT_EQ(FindPropInfo("TRegDerived", "width")->Default, 7);
  EXPECT_EQ(FindPropInfo("TRegBase", "width")->Default, 0);
}

}  // namespace
