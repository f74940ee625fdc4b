#include "flash/mv_flash_win.h"

#include "flash/command_window_win.h"
#include "flash/download_win.h"
#include "flash/flash_classes.h"
#include "flash/ole_control_win.h"

void InitializeFlashUnit() {
  RegisterFlashListClasses();
  RegisterOleControlClass();
  InitializeDownloadBinding();
  InitializeCommandWindow();
}

void FinalizeFlashUnit() {
  FinalizeCommandWindow();
  FinalizeDownloadBinding();
}
