#pragma once
// The root of everything that takes part in copying (Assign) and in the form
// format (DefineProperties).
#include <functional>
#include <string>

#include "framework/form_codec.h"
#include "framework/streams.h"

class TFiler;

class TPersistent {
public:
  virtual ~TPersistent() = default;
  virtual const char* ClassName() const { return "TPersistent"; }

  // Copies source into this object. The default asks source to AssignTo this
  // object and raises EConvertError "Cannot assign a <source> to a <this>"
  // when it cannot.
  virtual void Assign(TPersistent* source);
  // Properties that are not published: custom binary data and the like.
  virtual void DefineProperties(TFiler& filer);
  virtual TPersistent* GetOwner() { return nullptr; }
  // "Owner.Name" style path, used in error messages of the form reader.
  virtual std::string GetNamePath();

protected:
  virtual void AssignTo(TPersistent* dest);
  [[noreturn]] void AssignError(TPersistent* source);
};

// Declares ClassName in a class body.
#define MV_CLASS_NAME(name) \
  const char* ClassName() const override { return #name; }

// What DefineProperties talks to: the form reader or the form writer.
class TFiler {
public:
  virtual ~TFiler() = default;
  // A property whose value is a block of bytes. The reader calls read with
  // the block as a stream of its own; the writer calls write, when hasData,
  // with a stream to fill.
  virtual void DefineBinaryProperty(const std::string& name,
                                    const std::function<void(TStream&)>& read,
                                    const std::function<void(TStream&)>& write,
                                    bool hasData) = 0;
  // A property with a plain value (an integer, a string...). The reader
  // calls read with the stored value; the writer, when hasData, stores what
  // write returns.
  virtual void DefineProperty(const std::string& name,
                              const std::function<void(const TFormValue&)>& read,
                              const std::function<TFormValue()>& write, bool hasData) = 0;
};
