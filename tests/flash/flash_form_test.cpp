#include <gtest/gtest.h>

#include "flash/flash_classes.h"
#include "flash/flash_list.h"
#include "framework/class_registry.h"
#include "framework/form_reader.h"

namespace {

class TListHolder : public TComponent {
public:
  MV_CLASS_NAME(TListHolder)
  TListHolder() : TComponent(nullptr) {}
};

// A form holding a movie list, as the program's own form does.
TEST(FlashListForm, ReadsAndWritesBackTheSameBytes) {
  RegisterFlashListClasses();
  RegisterClass(TClassInfo{"TListHolder", "TComponent", nullptr, nullptr, {}});
  const std::vector<uint8_t> payload{3, 5, 0, 0, 0, 'a', '.', 's', 'w', 'f', 3, 0, 0, 0, 'F', 'W', 'S'};
  TFormValue items;
  items.Type = TValueType::vaCollection;
  TFormCollectionItem item;
  item.Properties = {{"FlashStore", StringValue("a.swf")},
                     {"Tag", IntValue(0)},
                     {"FlashStream", BinaryValue(payload)}};
  TFormCollectionItem empty;
  empty.Properties = {{"FlashStore", StringValue("(empty)")},
                      {"Tag", IntValue(4)},
                      {"FlashStream", BinaryValue({0})}};
  items.Items = {item, empty};
  TFormObject form{"TListHolder", "Holder", {}, {}};
  form.Children.push_back(TFormObject{
      "TmvFlashList", "mvFlashList1",
      {{"Flashs", items}, {"Left", IntValue(368)}, {"Top", IntValue(72)}}, {}});
  const std::vector<uint8_t> bytes = WriteBinaryForm(form);

  TListHolder holder;
  ReadFormBinary(&holder, bytes.data(), bytes.size());
  auto* list = dynamic_cast<TmvFlashList*>(holder.FindComponent("mvFlashList1"));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Flashs()->Count(), 2);
  TmvFlashStream* movie = list->FindFlash("A.SWF");
  ASSERT_EQ(movie, list->Flashs()->Items(0));
  EXPECT_EQ(movie->Stream()->Size(), 3);
  EXPECT_EQ(movie->Stream()->Position(), 0);
  EXPECT_EQ(list->Flashs()->Items(1)->Tag(), 4);
  EXPECT_EQ(list->FindFlash("(empty)"), list->Flashs()->Items(1));
  EXPECT_EQ(list->DesignLeft(), 368);
  EXPECT_EQ(WriteFormBinary(&holder), bytes);
}

}  // namespace
