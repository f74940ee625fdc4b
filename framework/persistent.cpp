#include "framework/persistent.h"

#include "framework/exceptions.h"

void TPersistent::Assign(TPersistent* source) {
  if (source == nullptr) AssignError(nullptr);
  source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) {
  // Nobody knew how to copy: the destination reports it, naming both sides.
  dest->AssignError(this);
}

void TPersistent::AssignError(TPersistent* source) {
  const char* sourceName = source != nullptr ? source->ClassName() : "nil";
  throw EConvertError(std::string("Cannot assign a ") + sourceName + " to a " + ClassName());
}

void TPersistent::DefineProperties(TFiler&) {}

std::string TPersistent::GetNamePath() {
  std::string result = ClassName();
  if (TPersistent* owner = GetOwner()) {
    std::string ownerPath = owner->GetNamePath();
    if (!ownerPath.empty()) result = ownerPath + "." + result;
  }
  return result;
}
