// The module-wide state: one record in static storage, shared by every part of the module.
#pragma once

#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

#include "gina/SystemGina.h"

class FingerprintLibrary;

// The library calls the module back on threads of its own. Each notice begins a session of
// the gate; stopping capture closes it: callbacks that arrive later, or that entered under an
// earlier session, return at once, and those in flight finish or give up quickly.
struct CaptureGate {
  volatile LONG open;               // callbacks of the current session may act
  volatile LONG session;            // advanced by each notice and each capture start
  volatile LONG callbacksInFlight;  // callbacks that got past the gate and have not left
  volatile LONG imageLock;          // one finger image is handled at a time
  volatile LONG recordLock;         // a match is recorded and announced whole, or not at all
  volatile LONG postLock;           // a post to the notice and the notice's end exclude each other
  volatile LONG boxStartLock;       // box threads start one at a time
  HWND notice;                      // where callbacks post what the notice should show
  HDESK desktop;                    // the notice thread's desktop, where boxes open
  volatile DWORD boxThreads[8];     // threads showing one of our message boxes now
};

// Every user name and password the module holds lives in a field of this size, NUL included.
constexpr size_t kTextFieldSize = 128;

// The highest GINA interface version the module speaks.
constexpr DWORD kMaxGinaVersion = WLX_VERSION_1_4;

struct ModuleState {
  // Set at process attach.
  HINSTANCE moduleInstance;
  FingerprintLibrary* library;  // owned; null when the fingerprint library could not be prepared
  int languageBase;             // 0 English, 30 Portuguese (Brazil)

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

  // Written only on Winlogon's thread.
  bool captureRunning;

  // How the library's callbacks and Winlogon's thread keep out of each other's way.
  CaptureGate gate;

  // Written by the fingerprint library's thread while a notice is up, read by the dialog hooks
  // after the SAS that the match raises.
  bool fingerprintMatched;
  char candidateUser[kTextFieldSize];
  char candidatePassword[kTextFieldSize];
  char loggedOnUser[kTextFieldSize];
};

extern ModuleState GinaState;

// Overwrites a whole 128-byte text field with zeros.
inline void WipeTextField(char (&field)[kTextFieldSize]) {
  SecureZeroMemory(field, sizeof field);
}

// Copies a text into a field up to its terminator or the field's size, whichever comes first;
// the field is always terminated and holds zeros after the text.
inline void CopyTextField(char (&field)[kTextFieldSize], const char* text) {
  size_t length = 0;
  while (length < kTextFieldSize - 1 && text[length]) {
    field[length] = text[length];
    ++length;
  }
  SecureZeroMemory(field + length, kTextFieldSize - length);
}
