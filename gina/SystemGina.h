// Loading the system GINA and resolving its entry points by the version it answers.
#pragma once

#include <windows.h>

// Loads MSGINA.DLL, negotiates with it and resolves its entry points into GinaState.
// Returns FALSE (and shows nothing) when any of that fails.
BOOL NegotiateWithSystemGina(DWORD winlogonVersion, DWORD* answeredVersion);
