// Binding a GINA's entry points by name, as Winlogon does.
#include "sim/host/GinaInterface.h"

namespace {

template <class Entry>
bool Bind(HMODULE module, const char* name, Entry& slot) {
  slot = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return slot != nullptr;
}

}  // namespace

bool BindGinaInterface(HMODULE gina, GinaInterface& e) {
  bool all = true;
  all &= Bind(gina, "WlxNegotiate", e.WlxNegotiate);
  all &= Bind(gina, "WlxInitialize", e.WlxInitialize);
  all &= Bind(gina, "WlxDisplaySASNotice", e.WlxDisplaySASNotice);
  all &= Bind(gina, "WlxLoggedOutSAS", e.WlxLoggedOutSAS);
  all &= Bind(gina, "WlxActivateUserShell", e.WlxActivateUserShell);
  all &= Bind(gina, "WlxLoggedOnSAS", e.WlxLoggedOnSAS);
  all &= Bind(gina, "WlxDisplayLockedNotice", e.WlxDisplayLockedNotice);
  all &= Bind(gina, "WlxIsLockOk", e.WlxIsLockOk);
  all &= Bind(gina, "WlxWkstaLockedSAS", e.WlxWkstaLockedSAS);
  all &= Bind(gina, "WlxIsLogoffOk", e.WlxIsLogoffOk);
  all &= Bind(gina, "WlxLogoff", e.WlxLogoff);
  all &= Bind(gina, "WlxShutdown", e.WlxShutdown);
  all &= Bind(gina, "WlxStartApplication", e.WlxStartApplication);
  all &= Bind(gina, "WlxScreenSaverNotify", e.WlxScreenSaverNotify);
  all &= Bind(gina, "WlxNetworkProviderLoad", e.WlxNetworkProviderLoad);
  all &= Bind(gina, "WlxDisplayStatusMessage", e.WlxDisplayStatusMessage);
  all &= Bind(gina, "WlxGetStatusMessage", e.WlxGetStatusMessage);
  all &= Bind(gina, "WlxRemoveStatusMessage", e.WlxRemoveStatusMessage);
  all &= Bind(gina, "WlxGetConsoleSwitchCredentials", e.WlxGetConsoleSwitchCredentials);
  all &= Bind(gina, "WlxReconnectNotify", e.WlxReconnectNotify);
  all &= Bind(gina, "WlxDisconnectNotify", e.WlxDisconnectNotify);
  return all;
}
