// Winlogon's dialog service as the system GINA reaches it: through the module's hook.
#pragma once

#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

// Puts HookedDialogBoxParam in place of the dispatch table's WlxDialogBoxParam.
void InstallDialogHook(void* winlogonFunctions);

int WINAPI HookedDialogBoxParam(HANDLE hWlx, HANDLE hInst, LPWSTR lpszTemplate, HWND hwndOwner,
                                DLGPROC dlgprc, LPARAM dwInitParam);

// Refuses the change of password from the security options dialog (1800).
INT_PTR CALLBACK SecurityOptionsHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
