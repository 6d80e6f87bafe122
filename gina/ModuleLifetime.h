// What the module does when the process loads and unloads it.
#pragma once

#include <windows.h>

void AttachModule(HINSTANCE instance);
// processEnding: the process is exiting (DllMain's reserved pointer is set), not unloading us.
void DetachModule(bool processEnding);
