#include "flash/flash_classes.h"

#include "flash/flash_list.h"
#include "framework/class_registry.h"

void RegisterFlashListClasses() {
  TClassInfo component{"TComponent", "", nullptr, nullptr, {}};
  component.Properties.push_back(
      IntegerProp<TComponent, int32_t>("Tag", &TComponent::Tag, &TComponent::SetTag, 0));
  RegisterComponentClass(component);

  TClassInfo list{"TmvFlashList", "TComponent",
                  [](TComponent* owner) -> TComponent* { return new TmvFlashList(owner); },
                  nullptr,
                  {}};
  TPropInfo flashs;
  flashs.Name = "Flashs";
  flashs.Kind = TPropKind::pkCollection;
  flashs.GetCollection = [](TPersistent* o) -> TCollection* {
    return static_cast<TmvFlashList*>(o)->Flashs();
  };
  list.Properties.push_back(flashs);
  RegisterComponentClass(list);

  // An item writes its name and its tag always; its bytes follow as the
  // defined property "FlashStream".
  TClassInfo item{"TmvFlashStream", "", nullptr, nullptr, {}};
  TPropInfo store;
  store.Name = "FlashStore";
  store.Kind = TPropKind::pkString;
  store.GetString = [](TPersistent* o) { return static_cast<TmvFlashStream*>(o)->FlashStore(); };
  store.SetString = [](TPersistent* o, const std::string& v) {
    static_cast<TmvFlashStream*>(o)->SetFlashStore(v);
  };
  item.Properties.push_back(store);
  item.Properties.push_back(IntegerProp<TmvFlashStream, int32_t>(
      "Tag", &TmvFlashStream::Tag, &TmvFlashStream::SetTag, 0, false));
  RegisterComponentClass(item);
}
