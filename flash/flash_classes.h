#pragma once
// Makes the movie library's classes known to the form reader.
void RegisterFlashListClasses();
