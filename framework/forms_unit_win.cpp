#include "framework/forms_unit_win.h"

#include "framework/application_win.h"

void RegisterControlClasses();

void InitializeFormsUnit() {
  RegisterControlClasses();
  Screen = new TScreen(nullptr);
  Application = new TApplication(nullptr);
}

void FinalizeFormsUnit() {
  delete Application;  // frees the forms that are left
  Application = nullptr;
  delete Screen;
  Screen = nullptr;
}
