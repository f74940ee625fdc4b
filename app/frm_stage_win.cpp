#include "app/frm_stage_win.h"

#include "app/stage_layout.h"
#include "framework/application_win.h"
#include "framework/class_registry.h"

TfrmStage* frmStage = nullptr;

TfrmStage::TfrmStage(TComponent* owner) : TForm(owner) {
  RegisterMethod("FormCreate", [this](TComponent* sender) { FormCreate(sender); });
  RegisterMethod("FormShow", [this](TComponent* sender) { FormShow(sender); });
}

void TfrmStage::Loaded() {
  TForm::Loaded();
  mvFlashList1 = dynamic_cast<TmvFlashList*>(FindComponent("mvFlashList1"));
}

void TfrmStage::FormCreate(TComponent*) {
  const TStageMetrics metrics{ClientWidth(),  ClientHeight(),   Width() - ClientWidth(),
                              Height() - ClientHeight(), Screen->Width(), Screen->Height(),
                              Screen->WorkAreaHeight()};
  const TStageLayout layout = ComputeStageLayout(metrics);
  SetHeight(layout.Height);
  SetWidth(layout.Width);
  const int32_t h1 = ClientHeight(), w1 = ClientWidth();
  SetTop(layout.Top);
  SetLeft(layout.Left);
  SetClientHeight(h1);
  SetClientWidth(w1);
}

void TfrmStage::FormShow(TComponent*) {
  // The player joins the form later; until then there is nothing to start.
}

void RegisterStageClasses() {
  RegisterComponentClass(TClassInfo{"TfrmStage", "TForm", nullptr, nullptr, {}});
}
