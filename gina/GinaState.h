// The module-wide state of Winlogon's side: one record in static storage. What the lower layers
// own lives with them: the fingerprint match and the library with the capture layer, the
// language and the module's resources with the message catalogue.
#pragma once

#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

#include "accounts/TextField.h"
#include "gina/SystemGina.h"

// The highest GINA interface version the module speaks.
constexpr DWORD kMaxGinaVersion = WLX_VERSION_1_4;

struct ModuleState {
  // Set at negotiation and initialisation.
  DWORD negotiatedVersion;
  SystemGina systemGina;
  HANDLE hWlx;
  void* winlogonFunctions;  // Winlogon's dispatch table

  // Winlogon's own dialog service and the system GINA's dialog procedures that the hooks replace.
  PWLX_DIALOG_BOX_PARAM savedDialogBoxParam;
  DLGPROC savedLogonProc;
  DLGPROC savedSecurityOptionsProc;
  DLGPROC savedUnlockProc;

  // The notice shown now; stays set after the dialog ends.
  HWND noticeWindow;

  // Who logged on last, for the locked notice.
  char loggedOnUser[kTextFieldSize];
};

extern ModuleState GinaState;
