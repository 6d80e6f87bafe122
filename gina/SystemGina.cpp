// Loading the system GINA and resolving its entry points by the version it answers.
#include "gina/SystemGina.h"

#include "gina/GinaState.h"

namespace {

// GetProcAddress hands back a generic code pointer; the detour through void(*)() keeps the
// compiler from warning about a cast between unrelated function types.
template <class Entry>
bool Resolve(HMODULE module, const char* name, Entry& slot) {
  auto generic = reinterpret_cast<void (*)()>(GetProcAddress(module, name));
  slot = reinterpret_cast<Entry>(generic);
  return slot != nullptr;
}

bool ResolveVersion10(HMODULE m, SystemGina& g) {
  return Resolve(m, "WlxInitialize", g.WlxInitialize) &&
         Resolve(m, "WlxDisplaySASNotice", g.WlxDisplaySASNotice) &&
         Resolve(m, "WlxLoggedOutSAS", g.WlxLoggedOutSAS) &&
         Resolve(m, "WlxActivateUserShell", g.WlxActivateUserShell) &&
         Resolve(m, "WlxLoggedOnSAS", g.WlxLoggedOnSAS) &&
         Resolve(m, "WlxDisplayLockedNotice", g.WlxDisplayLockedNotice) &&
         Resolve(m, "WlxIsLockOk", g.WlxIsLockOk) &&
         Resolve(m, "WlxWkstaLockedSAS", g.WlxWkstaLockedSAS) &&
         Resolve(m, "WlxIsLogoffOk", g.WlxIsLogoffOk) &&
         Resolve(m, "WlxLogoff", g.WlxLogoff) &&
         Resolve(m, "WlxShutdown", g.WlxShutdown);
}

bool ResolveVersion11(HMODULE m, SystemGina& g) {
  return Resolve(m, "WlxStartApplication", g.WlxStartApplication) &&
         Resolve(m, "WlxScreenSaverNotify", g.WlxScreenSaverNotify);
}

bool ResolveVersion13(HMODULE m, SystemGina& g) {
  return Resolve(m, "WlxNetworkProviderLoad", g.WlxNetworkProviderLoad) &&
         Resolve(m, "WlxDisplayStatusMessage", g.WlxDisplayStatusMessage) &&
         Resolve(m, "WlxGetStatusMessage", g.WlxGetStatusMessage) &&
         Resolve(m, "WlxRemoveStatusMessage", g.WlxRemoveStatusMessage);
}

bool ResolveVersion14(HMODULE m, SystemGina& g) {
  return Resolve(m, "WlxGetConsoleSwitchCredentials", g.WlxGetConsoleSwitchCredentials) &&
         Resolve(m, "WlxReconnectNotify", g.WlxReconnectNotify) &&
         Resolve(m, "WlxDisconnectNotify", g.WlxDisconnectNotify);
}

bool ResolveEntryPoints(HMODULE m, DWORD version, SystemGina& g) {
  if (!ResolveVersion10(m, g)) return false;
  if (version > WLX_VERSION_1_0 && !ResolveVersion11(m, g)) return false;
  if (version > WLX_VERSION_1_2 && !ResolveVersion13(m, g)) return false;
  if (version >= WLX_VERSION_1_4 && !ResolveVersion14(m, g)) return false;
  return true;
}

}  // namespace

BOOL NegotiateWithSystemGina(DWORD winlogonVersion, DWORD* answeredVersion) {
  // Never freed: the system GINA serves the whole life of the process.
  HMODULE systemGina = LoadLibraryA("MSGINA.DLL");
  if (!systemGina) return FALSE;

  SystemGina& entries = GinaState.systemGina;
  if (!Resolve(systemGina, "WlxNegotiate", entries.WlxNegotiate)) return FALSE;

  DWORD version = 0;
  DWORD offered = winlogonVersion < kMaxGinaVersion ? winlogonVersion : kMaxGinaVersion;
  if (!entries.WlxNegotiate(offered, &version)) return FALSE;
  if (!ResolveEntryPoints(systemGina, version, entries)) return FALSE;

  GinaState.negotiatedVersion = version;
  *answeredVersion = version;
  return TRUE;
}
