#pragma once
// Components: an owner frees what it owns and tells all its components when
// one of them goes away.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/persistent.h"

enum TComponentStateFlag : uint32_t {
  csLoading = 1 << 0,
  csReading = 1 << 1,
  csWriting = 1 << 2,
  csDestroying = 1 << 3,
  csDesigning = 1 << 4,
};
enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::string FName;
  int32_t FTag = 0;
  uint32_t FComponentState = 0;
  int32_t FDesignInfo = 0;

public:
  MV_CLASS_NAME(TComponent)
  explicit TComponent(TComponent* owner);
  // Frees the components it owns (last first), after telling each owner's
  // components that this one is going.
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const std::vector<TComponent*>& Components() const { return FComponents; }
  int ComponentCount() const { return int(FComponents.size()); }
  TComponent* FindComponent(const std::string& name) const;  // ASCII case-insensitive

  const std::string& Name() const { return FName; }
  // A valid identifier (or empty), unique among the owner's components
  // (ASCII case-insensitive); otherwise EComponentError.
  virtual void SetName(const std::string& name);
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t tag) { FTag = tag; }

  uint32_t ComponentState() const { return FComponentState; }
  bool HasState(TComponentStateFlag flag) const { return (FComponentState & flag) != 0; }
  void SetState(TComponentStateFlag flag, bool on);

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  // Where a component without a window of its own sits on the design
  // surface: stored as the defined properties "Left" and "Top".
  int32_t DesignLeft() const { return int16_t(FDesignInfo & 0xFFFF); }
  int32_t DesignTop() const { return int16_t(uint32_t(FDesignInfo) >> 16); }
  void SetDesignPosition(int32_t left, int32_t top) {
    FDesignInfo = int32_t((uint32_t(uint16_t(top)) << 16) | uint16_t(left));
  }
  void DefineProperties(TFiler& filer) override;

  // Called once the whole form has been read.
  virtual void Loaded();
  // A component of the owner is inserted or going away; forget references to it.
  virtual void Notification(TComponent* component, TOperation operation);
  TPersistent* GetOwner() override { return FOwner; }
  std::string GetNamePath() override { return FName; }

protected:
  // Marks this component and everything it owns as going away.
  void Destroying();
  // Frees the owned components now, last first. A derived destructor calls
  // this when its owned components must go while its own members still live.
  void DestroyComponents();
  // Raises EComponentError when newName would clash among this owner's
  // components (ASCII case-insensitive); a change of case alone is allowed.
  void ValidateRename(TComponent* component, const std::string& curName,
                      const std::string& newName) const;

private:
  // Takes component out of the list without telling anyone.
  void Remove(TComponent* component);
};

// Letters, digits and underscores, not starting with a digit.
bool IsValidIdent(const std::string& name);
