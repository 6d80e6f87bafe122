// sim-winlogon: plays Winlogon for the GINA that the registry names (GinaDLL), through one whole
// cycle of a workstation: start, logon, lock, unlock, logoff, shutdown. It prints each step and,
// at the end, what the stand-in system GINA received.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/host/WinlogonHost.h"
#include "sim/msgina/StandInGinaControl.h"
#include "sim/papyl/StandInPapylControl.h"

namespace {

const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::string GinaPath() {
  char path[MAX_PATH] = {};
  DWORD size = sizeof path - 1;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL", RRF_RT_REG_SZ, nullptr, path,
                   &size) != ERROR_SUCCESS)
    return "msgina.dll";
  return path;
}

const char* ActionName(int action) {
  switch (action) {
    case WLX_SAS_ACTION_LOGON: return "logon";
    case WLX_SAS_ACTION_NONE: return "none";
    case WLX_SAS_ACTION_LOCK_WKSTA: return "lock";
    case WLX_SAS_ACTION_LOGOFF: return "logoff";
    case WLX_SAS_ACTION_UNLOCK_WKSTA: return "unlock";
    case WLX_SAS_ACTION_FORCE_LOGOFF: return "force logoff";
    default: return "other";
  }
}

// The user's Ctrl-Alt-Del, a moment after a notice appears.
DWORD WINAPI PressKeysLater(LPVOID host) {
  Sleep(1500);
  static_cast<WinlogonHost*>(host)->PressCtrlAltDel();
  return 0;
}

void PressCtrlAltDelSoon(WinlogonHost& host) {
  HANDLE thread = CreateThread(nullptr, 0, PressKeysLater, &host, 0, nullptr);
  if (thread) CloseHandle(thread);
}

void PrintSystemGinaLog() {
  SimGinaControl control{};
  HMODULE systemGina = GetModuleHandleA("MSGINA.DLL");
  if (!systemGina || !control.Bind(systemGina)) {
    std::printf("(the system GINA keeps no log)\n");
    return;
  }
  std::printf("\nWhat the system GINA received:\n");
  for (int i = 0; i < control.CallCount(); ++i) {
    const SimGinaCall* call = control.CallAt(i);
    std::printf("  %-32s", call->entryPoint);
    for (int a = 0; a < call->argCount; ++a)
      std::printf(" %#llx", static_cast<unsigned long long>(call->args[a]));
    std::printf("\n");
  }
}

// The fingerprint library is the GINA's business; the demo only reports what it was asked.
void PrintFingerprintLibraryCalls(HMODULE library) {
  SimPapylControl control{};
  if (!library || !control.Bind(library)) return;
  const char* const names[] = {"_PxInitialize@0", "_PxCapInitialize@4", "_PxCapFinalize@0",
                               "_PxFinalize@0"};
  std::printf("\nWhat the fingerprint library received:\n");
  for (const char* name : names) std::printf("  %-32s %d call(s)\n", name, control.CallCount(name));
}

int RunCycle(WinlogonHost& host) {
  const GinaInterface& gina = host.Gina();
  if (!host.Negotiate(WLX_VERSION_1_4)) {
    std::printf("negotiation refused: Winlogon would not start with this GINA\n");
    return 1;
  }
  std::printf("negotiated version %#lx\n", host.AnsweredVersion());
  if (!host.Initialize()) {
    std::printf("initialisation failed\n");
    return 1;
  }
  std::printf("initialised; the GINA's context is %p\n", host.Context());
  void* ctx = host.Context();

  std::printf("logged out: showing the SAS notice, Ctrl-Alt-Del follows\n");
  PressCtrlAltDelSoon(host);
  gina.WlxDisplaySASNotice(ctx);

  LUID luid{};
  DWORD options = 0;
  HANDLE token = nullptr;
  WLX_MPR_NOTIFY_INFO mpr{};
  PVOID profile = nullptr;
  char sid[16] = {};
  int action = gina.WlxLoggedOutSAS(ctx, WLX_SAS_TYPE_CTRL_ALT_DEL, &luid, sid, &options, &token,
                                    &mpr, &profile);
  std::printf("logged-out SAS answered: %s\n", ActionName(action));
  if (action != WLX_SAS_ACTION_LOGON) return 0;

  wchar_t desktop[] = L"WinSta0\\Default";
  wchar_t script[] = L"";
  gina.WlxActivateUserShell(ctx, desktop, script, nullptr);
  std::printf("user shell started\n");

  action = gina.WlxLoggedOnSAS(ctx, WLX_SAS_TYPE_CTRL_ALT_DEL, nullptr);
  std::printf("logged-on SAS answered: %s\n", ActionName(action));
  if (action == WLX_SAS_ACTION_LOCK_WKSTA) {
    std::printf("locked: showing the locked notice, Ctrl-Alt-Del follows\n");
    PressCtrlAltDelSoon(host);
    gina.WlxDisplayLockedNotice(ctx);
    action = gina.WlxWkstaLockedSAS(ctx, WLX_SAS_TYPE_CTRL_ALT_DEL);
    std::printf("locked SAS answered: %s\n", ActionName(action));
  }

  std::printf("logging off: logoff allowed = %d\n", gina.WlxIsLogoffOk(ctx));
  gina.WlxLogoff(ctx);
  gina.WlxShutdown(ctx, WLX_SAS_ACTION_SHUTDOWN);
  std::printf("shut down\n");
  return 0;
}

}  // namespace

int main() {
  std::string path = GinaPath();
  std::printf("Winlogon loads the GINA %s\n", path.c_str());
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    std::printf("cannot load it (error %lu)\n", GetLastError());
    return 1;
  }
  HMODULE fingerprintLibrary = GetModuleHandleA("papyl.dll");
  std::printf("fingerprint library %s\n",
              fingerprintLibrary ? "loaded from the GINA's folder" : "not loaded");
  // Held here too, so its counts can still be read after the GINA is unloaded.
  if (fingerprintLibrary) fingerprintLibrary = LoadLibraryA("papyl.dll");

  GinaInterface entries{};
  if (!BindGinaInterface(module, entries)) std::printf("warning: the GINA lacks entry points\n");
  int status = 0;
  {
    WinlogonHost host(entries);
    status = RunCycle(host);
  }
  PrintSystemGinaLog();
  FreeLibrary(module);
  std::printf("\nthe GINA is unloaded, as at the end of the process\n");
  PrintFingerprintLibraryCalls(fingerprintLibrary);
  std::fflush(stdout);
  return status;
}
