// The program: starts the units in order, reads the main form from the
// module's resources and runs the message loop until the form is closed.
#include <windows.h>

#include "app/frm_stage_win.h"
#include "flash/mv_flash_win.h"
#include "framework/application_win.h"
#include "framework/form_resource_win.h"
#include "framework/forms_unit_win.h"
#include "graphics/mv_bitmap.h"
#include "platform/mv_utils.h"
#include "platform/mv_winapi.h"
#include "platform/startup.h"

namespace {

void InitializeStageUnit() {
  RegisterStageClasses();
  InstallFormResourceReader();
}
void FinalizeStageUnit() {}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    TStartup units{{"mv_winapi", InitializeWinApi, FinalizeWinApi},
                   {"mv_utils", InitializeUtils, FinalizeUtils},
                   {"mv_bitmap", InitializeBitmapUnit, FinalizeBitmapUnit},
                   {"mv_flash", InitializeFlashUnit, FinalizeFlashUnit},
                   {"forms", InitializeFormsUnit, FinalizeFormsUnit},
                   {"stage", InitializeStageUnit, FinalizeStageUnit}};
    Application->Initialize();
    Application->SetTitle("Kribbel");
    try {
      Application->CreateForm(frmStage);
      Application->Run();
    } catch (const std::exception& e) {
      Application->HandleException(e);
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    // Before the application object exists there is nobody else to tell.
    MessageBoxA(nullptr, e.what(), "Kribbel", MB_ICONERROR);
    return 1;
  }
}
