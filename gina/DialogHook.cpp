// Winlogon's dialog service as the system GINA reaches it: through the module's hook, which puts
// the module's procedures in front of the logon, security options and unlock dialogs.
#include "gina/DialogHook.h"

#include "gina/GinaState.h"
#include "gina/LogonPolicy.h"
#include "gina/SystemGinaDialogs.h"
#include "resources/EventLog.h"
#include "resources/MessageCatalogue.h"

namespace {

// The procedure the dialog runs with; the system GINA's own is kept for the hook to call.
DLGPROC ChooseProcedure(UINT_PTR templateId, DLGPROC dlgprc) {
  switch (templateId) {
    case kLogonDialogId:
      GinaState.savedLogonProc = dlgprc;
      return LogonDialogHook;
    case kSecurityOptionsDialogId:
      GinaState.savedSecurityOptionsProc = dlgprc;
      return SecurityOptionsHook;
    case kUnlockDialogId:
      GinaState.savedUnlockProc = dlgprc;
      return UnlockDialogHook;
    default: return dlgprc;
  }
}

}  // namespace

void InstallDialogHook(void* winlogonFunctions) {
  // WlxDialogBoxParam has the same place in every version of the table. A table that already
  // leads to the hook keeps Winlogon's own service saved.
  auto* table = static_cast<WLX_DISPATCH_VERSION_1_0*>(winlogonFunctions);
  if (!table || table->WlxDialogBoxParam == HookedDialogBoxParam) return;
  GinaState.savedDialogBoxParam = table->WlxDialogBoxParam;
  table->WlxDialogBoxParam = HookedDialogBoxParam;
}

int WINAPI HookedDialogBoxParam(HANDLE hWlx, HANDLE hInst, LPWSTR lpszTemplate, HWND hwndOwner,
                                DLGPROC dlgprc, LPARAM dwInitParam) {
  if (!GinaState.savedDialogBoxParam) return -1;
  auto templateId = reinterpret_cast<UINT_PTR>(lpszTemplate);
  // A template given by name is never one of the intercepted ones.
  DLGPROC proc = HIWORD(templateId) ? dlgprc : ChooseProcedure(templateId, dlgprc);
  return GinaState.savedDialogBoxParam(hWlx, hInst, lpszTemplate, hwndOwner, proc, dwInitParam);
}

// The password is changed by the administrator, never from the security options dialog.
INT_PTR CALLBACK SecurityOptionsHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && LOWORD(wParam) == kChangePasswordButton) {
    ReportModuleEvent(EVENT_PASSWORD_CHANGE_REFUSED, GinaState.loggedOnUser);
    MessageBoxA(nullptr, MessageText(MsgChangePasswordRefused),
                MessageText(MsgChangePasswordCaption), MB_ICONWARNING);
    return TRUE;
  }
  DLGPROC saved = GinaState.savedSecurityOptionsProc;
  return saved ? saved(hwnd, msg, wParam, lParam) : FALSE;
}
