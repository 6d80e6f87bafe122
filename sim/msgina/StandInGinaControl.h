// The stand-in system GINA's control interface: what tests and the demo may ask of it besides the
// GINA entry points. Bound at run time, because which build of the stand-in is loaded varies.
#pragma once

#include <windows.h>

constexpr int kSimGinaMaxArgs = 8;

// One call of a GINA entry point as the stand-in received it.
struct SimGinaCall {
  char entryPoint[40];
  int argCount;
  UINT_PTR args[kSimGinaMaxArgs];
};

// Called at the start of every GINA entry point, before the stand-in does anything else.
typedef void (*SimGinaObserver)(const char* entryPoint, void* context);

// What one of the stand-in's dialogs (logon 1500, security options 1800, unlock 1950) saw, over
// all the times it was opened since the last reset.
struct SimGinaDialogRecord {
  int opened;       // how often it was opened through Winlogon's WlxDialogBoxParam
  int okCount;      // OK commands it received (1500 and 1950)
  int cancelCount;  // Cancel commands it received
  char name[256];      // the name edit's text at the last OK
  char password[256];  // the password edit's text at the last OK, as received (tests only)
  int endCode;         // what WlxDialogBoxParam answered the last time
  int changePasswordOpened;  // command 1803 received (1800)
};

typedef void (*SimGinaResetFn)(DWORD answeredVersion);
typedef void (*SimGinaSetResultFn)(const char* entryPoint, INT_PTR result);
typedef void (*SimGinaSetObserverFn)(SimGinaObserver observer, void* context);
typedef int (*SimGinaCallCountFn)();
typedef const SimGinaCall* (*SimGinaCallAtFn)(int index);
typedef void* (*SimGinaContextFn)();
typedef void (*SimGinaSetAccountFn)(const char* name, const char* password);
typedef int (*SimGinaLastDialogFn)(int templateId, SimGinaDialogRecord* out);

// The control functions of a loaded stand-in.
//
// WlxLoggedOutSAS, WlxLoggedOnSAS and WlxWkstaLockedSAS open their dialog (1500, 1800, 1950)
// through the WlxDialogBoxParam entry of the table received at WlxInitialize, and answer by what
// the user did there: the right password of a known account gives WLX_SAS_ACTION_LOGON (1500) or
// WLX_SAS_ACTION_UNLOCK_WKSTA (1950); lock and log off in 1800 give WLX_SAS_ACTION_LOCK_WKSTA and
// WLX_SAS_ACTION_LOGOFF; anything else, WLX_SAS_ACTION_NONE. Such an entry point answers without
// a dialog, as SetResult set or by default, when SetResult was called for it since the last
// Reset, or when no table was received.
struct SimGinaControl {
  SimGinaResetFn Reset;  // also clears the accounts and the dialog records
  SimGinaSetResultFn SetResult;
  SimGinaSetObserverFn SetObserver;
  SimGinaCallCountFn CallCount;
  SimGinaCallAtFn CallAt;
  SimGinaContextFn Context;  // the context pointer the stand-in hands to Winlogon
  // An account the dialogs accept: the name in any letter case, also as DOMAIN\name,
  // COMPUTER\name or name@domain, with exactly this password. A known name is set again.
  SimGinaSetAccountFn SetAccount;
  // Copies the record of dialog templateId; 0 (and a zeroed record) for another template.
  SimGinaLastDialogFn LastDialog;

  bool Bind(HMODULE standIn) {
    return Get(standIn, "SimGinaReset", Reset) && Get(standIn, "SimGinaSetResult", SetResult) &&
           Get(standIn, "SimGinaSetObserver", SetObserver) &&
           Get(standIn, "SimGinaCallCount", CallCount) && Get(standIn, "SimGinaCallAt", CallAt) &&
           Get(standIn, "SimGinaContext", Context) &&
           Get(standIn, "SimGinaSetAccount", SetAccount) &&
           Get(standIn, "SimGinaLastDialog", LastDialog);
  }

 private:
  template <class Fn>
  static bool Get(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    return fn != nullptr;
  }
};
