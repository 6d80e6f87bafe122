// The 21 entry points of a GINA as Winlogon calls them, bound from a loaded module or given
// directly.
#pragma once

#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

struct GinaInterface {
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

// Looks every entry point up by name; a missing one stays null. Returns whether all 21 exist.
bool BindGinaInterface(HMODULE gina, GinaInterface& entries);
