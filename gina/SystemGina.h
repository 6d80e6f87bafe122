// Loading the system GINA and resolving its entry points by the version it answers.
#pragma once

#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

// The system GINA's entry points, in the order they are resolved; null until resolved.
struct SystemGina {
  decltype(&::WlxNegotiate) WlxNegotiate;
  decltype(&::WlxInitialize) WlxInitialize;
  decltype(&::WlxDisplaySASNotice) WlxDisplaySASNotice;
  decltype(&::WlxLoggedOutSAS) WlxLoggedOutSAS;
  decltype(&::WlxActivateUserShell) WlxActivateUserShell;
  decltype(&::WlxLoggedOnSAS) WlxLoggedOnSAS;
  decltype(&::WlxDisplayLockedNotice) WlxDisplayLockedNotice;
  decltype(&::WlxIsLockOk) WlxIsLockOk;
  decltype(&::WlxWkstaLockedSAS) WlxWkstaLockedSAS;
  decltype(&::WlxIsLogoffOk) WlxIsLogoffOk;
  decltype(&::WlxLogoff) WlxLogoff;
  decltype(&::WlxShutdown) WlxShutdown;
  decltype(&::WlxStartApplication) WlxStartApplication;
  decltype(&::WlxScreenSaverNotify) WlxScreenSaverNotify;
  decltype(&::WlxNetworkProviderLoad) WlxNetworkProviderLoad;
  decltype(&::WlxDisplayStatusMessage) WlxDisplayStatusMessage;
  decltype(&::WlxGetStatusMessage) WlxGetStatusMessage;
  decltype(&::WlxRemoveStatusMessage) WlxRemoveStatusMessage;
  decltype(&::WlxGetConsoleSwitchCredentials) WlxGetConsoleSwitchCredentials;
  decltype(&::WlxReconnectNotify) WlxReconnectNotify;
  decltype(&::WlxDisconnectNotify) WlxDisconnectNotify;
};


// Loads MSGINA.DLL, negotiates with it and resolves its entry points into GinaState.
// Returns FALSE (and shows nothing) when any of that fails.
BOOL NegotiateWithSystemGina(DWORD winlogonVersion, DWORD* answeredVersion);
