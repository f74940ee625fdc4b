#include "framework/component.h"
#include "framework/ascii_text.h"

#include <algorithm>

#include "framework/exceptions.h"

namespace {

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }

}  // namespace

bool IsValidIdent(const std::string& name) {
  if (name.empty() || !IsIdentStart(name[0])) return false;
  return std::all_of(name.begin() + 1, name.end(), IsIdentChar);
}

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Everyone who may hold a pointer to this component hears of it before any
  // part of it goes; the owner's Notification reaches all its components.
  if (FOwner != nullptr) FOwner->Notification(this, TOperation::opRemove);
  DestroyComponents();
  if (FOwner != nullptr) FOwner->Remove(this);
}

void TComponent::Destroying() {
  if (HasState(csDestroying)) return;
  SetState(csDestroying, true);
  for (TComponent* component : FComponents) component->Destroying();
}

void TComponent::DestroyComponents() {
  // Last first; each one takes itself out of the list (and tells the rest)
  // as it goes, so the list shrinks under us.
  while (!FComponents.empty()) delete FComponents.back();
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* component : FComponents)
    if (SameTextAscii(component->FName, name)) return component;
  return nullptr;
}

void TComponent::ValidateRename(TComponent* component, const std::string& curName,
                                const std::string& newName) const {
  if (component != nullptr && component->FOwner == this && !SameTextAscii(curName, newName)) {
    TComponent* found = FindComponent(newName);
    if (found != nullptr && found != component)
      throw EComponentError("A component named " + newName + " already exists");
  }
}

void TComponent::SetName(const std::string& name) {
  if (name == FName) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError("'" + name + "' is not a valid component name");
  if (FOwner != nullptr) FOwner->ValidateRename(this, FName, name);
  FName = name;
}

void TComponent::SetState(TComponentStateFlag flag, bool on) {
  if (on)
    FComponentState |= flag;
  else
    FComponentState &= ~uint32_t(flag);
}

void TComponent::InsertComponent(TComponent* component) {
  if (component == nullptr || component->FOwner == this) return;
  // A named newcomer must not clash with what this owner already holds.
  if (!component->FName.empty() && FindComponent(component->FName) != nullptr)
    throw EComponentError("A component named " + component->FName + " already exists");
  if (component->FOwner != nullptr) component->FOwner->RemoveComponent(component);
  FComponents.push_back(component);
  component->FOwner = this;
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component == nullptr || component->FOwner != this) return;
  Notification(component, TOperation::opRemove);
  Remove(component);
}

void TComponent::Remove(TComponent* component) {
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it != FComponents.end()) FComponents.erase(it);
  component->FOwner = nullptr;
}

void TComponent::Loaded() { SetState(csLoading, false); }

void TComponent::Notification(TComponent* component, TOperation operation) {
  // By index from the end, re-checked each step: a handler may free one of
  // our components.
  for (size_t i = FComponents.size(); i > 0; --i) {
    if (i > FComponents.size()) continue;
    TComponent* child = FComponents[i - 1];
    child->Notification(component, operation);
  }
}

void TComponent::DefineProperties(TFiler& filer) {
  TPersistent::DefineProperties(filer);
  auto integer = [](const TFormValue& v) -> int32_t {
    switch (v.Type) {
      case TValueType::vaInt8:
      case TValueType::vaInt16:
      case TValueType::vaInt32:
        return int32_t(v.Int);
      default:
        throw Exception("Invalid property value (integer expected)");
    }
  };
  filer.DefineProperty(
      "Left", [this, integer](const TFormValue& v) { SetDesignPosition(integer(v), DesignTop()); },
      [this] { return IntValue(DesignLeft()); }, DesignLeft() != 0);
  filer.DefineProperty(
      "Top", [this, integer](const TFormValue& v) { SetDesignPosition(DesignLeft(), integer(v)); },
      [this] { return IntValue(DesignTop()); }, DesignTop() != 0);
}
