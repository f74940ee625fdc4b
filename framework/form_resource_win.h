#pragma once
// Forms read themselves from the RCDATA resource named after their class.
class TCustomForm;

// Reads RCDATA "<CLASS NAME IN UPPER CASE>" of the program's module into form.
void ReadFormResource(TCustomForm* form);
// Makes every form read itself that way when it is created.
void InstallFormResourceReader();
