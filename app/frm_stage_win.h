#pragma once
// The main form: the movie player over the whole client area and the list
// that holds the embedded movie.
#include "flash/flash_list.h"
#include "framework/form_win.h"

class TfrmStage : public TForm {
public:
  MV_CLASS_NAME(TfrmStage)
  explicit TfrmStage(TComponent* owner);

  // Components of the form, bound by name once it has been read.
  TmvFlashList* mvFlashList1 = nullptr;

  void Loaded() override;
  // Sizes and places the window from the screen, keeping the designed aspect.
  void FormCreate(TComponent* sender);
  void FormShow(TComponent* sender);
};

extern TfrmStage* frmStage;

void RegisterStageClasses();
