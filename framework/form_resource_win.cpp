#include "framework/form_resource_win.h"

#include <windows.h>

#include "framework/form_reader.h"
#include "framework/form_win.h"
#include "framework/resource_stream_win.h"

void ReadFormResource(TCustomForm* form) {
  TResourceStream stream(GetModuleHandleA(nullptr), FormResourceName(form->ClassName()));
  ReadFormBinary(form, stream.Memory(), size_t(stream.Size()));
}

void InstallFormResourceReader() { TCustomForm::ResourceReader = ReadFormResource; }
