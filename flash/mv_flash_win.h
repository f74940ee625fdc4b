#pragma once
// The flash unit: its classes known to the form reader, the download
// function bound, the command window created. Starts after the bitmap unit,
// before the forms; finishes in the reverse order.
void InitializeFlashUnit();
void FinalizeFlashUnit();
