// The module whose resources (dialogs, pictures, message tables) the module shows: itself.
#pragma once

#include <windows.h>

// Set once, when the module is loaded.
extern HINSTANCE moduleInstance;

// A bitmap of the module's resources, freshly loaded; null when it cannot be. The caller owns it.
HBITMAP LoadModuleBitmap(int resource);
