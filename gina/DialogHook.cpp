// Winlogon's dialog service as the system GINA reaches it: through the module's hook.
#include "gina/DialogHook.h"

#include "gina/GinaState.h"

void InstallDialogHook(void* winlogonFunctions, DWORD /*negotiatedVersion*/) {
  // WlxDialogBoxParam has the same place in every version of the table, so the version does not
  // change what is replaced.
  auto* table = static_cast<WLX_DISPATCH_VERSION_1_0*>(winlogonFunctions);
  if (!table || table->WlxDialogBoxParam == HookedDialogBoxParam) return;
  GinaState.savedDialogBoxParam = table->WlxDialogBoxParam;
  table->WlxDialogBoxParam = HookedDialogBoxParam;
}

int WINAPI HookedDialogBoxParam(HANDLE hWlx, HANDLE hInst, LPWSTR lpszTemplate, HWND hwndOwner,
                                DLGPROC dlgprc, LPARAM dwInitParam) {
  if (!GinaState.savedDialogBoxParam) return -1;
  return GinaState.savedDialogBoxParam(hWlx, hInst, lpszTemplate, hwndOwner, dlgprc, dwInitParam);
}
