#pragma once
// Test programs start the units below the forms; tests that need the
// application and the screen start the forms unit for themselves, and leave
// the application's hooks as they found them.
#include <gtest/gtest.h>

#include "framework/application_win.h"
#include "framework/forms_unit_win.h"

class TFormsUnitTest : public ::testing::Test {
protected:
  bool FOwnsUnit = false;
  void SetUp() override {
    if (!Application) {
      InitializeFormsUnit();
      FOwnsUnit = true;
    }
    TCustomForm::ResourceReader = nullptr;
  }
  void TearDown() override {
    TCustomForm::ResourceReader = nullptr;
    Application->OnException = nullptr;
    if (FOwnsUnit) FinalizeFormsUnit();
  }
};
