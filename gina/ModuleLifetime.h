// What the module does when the process loads and unloads it.
#pragma once

#include <windows.h>

void AttachModule(HINSTANCE instance);
void DetachModule();
