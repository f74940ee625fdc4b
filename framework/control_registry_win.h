#pragma once
// The published properties that kinds of controls share; each class of
// control publishes those it shows, under its own registration.
#include <string>

#include "framework/form_win.h"
#include "framework/class_registry.h"

// Raises EComponentError for a name that is not a shared control property.
TPropInfo ControlProperty(const std::string& name);
void RegisterControlClasses();
