#pragma once
// Reads a form description into a component and the components it owns, and
// writes them back. Classes and published properties come from the class
// registry; custom properties ("FlashStream", "ControlData") from each
// object's DefineProperties. References to other components of the form are
// resolved only after the whole form has been read; Loaded runs last.
#include <cstdint>
#include <vector>

#include "framework/form_codec.h"

class TComponent;

// Raises EReadError naming the component and property that failed, or
// EClassNotFound for a class nobody registered. Components created before the
// failure belong to root and go with it.
void ReadForm(TComponent* root, const TFormObject& form);
void ReadFormBinary(TComponent* root, const uint8_t* data, size_t size);

TFormObject WriteForm(TComponent* root);
std::vector<uint8_t> WriteFormBinary(TComponent* root);
