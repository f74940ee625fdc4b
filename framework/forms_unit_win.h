#pragma once
// The forms unit: creates the Application and Screen objects and registers
// the control classes for the form reader; finishing frees them again.
void InitializeFormsUnit();
void FinalizeFormsUnit();
