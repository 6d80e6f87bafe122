// A stand-in for the system GINA, MSGINA.DLL: it records every call it gets, with its arguments,
// and answers with results a test chooses, or with what a user did in its dialogs (see
// StandInGinaDialogs.cpp). Which entry points it exports depends on the build (see
// CMakeLists.txt), so tests can also meet a system GINA that lacks some of them.
#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

#include <cstring>

#include "sim/ArgumentWords.h"
#include "sim/msgina/StandInGinaControl.h"
#include "sim/msgina/StandInGinaDialogs.h"

namespace {

constexpr int kMaxCalls = 512;

struct Result {
  const char* entryPoint;
  INT_PTR value;
  bool chosen = false;  // set by a test, which then wants this answer rather than a dialog
};

// Answers when a test has not chosen otherwise: the calm path of a logon.
const Result kDefaultResults[] = {
    {"WlxNegotiate", TRUE},
    {"WlxInitialize", TRUE},
    {"WlxLoggedOutSAS", WLX_SAS_ACTION_LOGON},
    {"WlxActivateUserShell", TRUE},
    {"WlxLoggedOnSAS", WLX_SAS_ACTION_LOCK_WKSTA},
    {"WlxIsLockOk", TRUE},
    {"WlxWkstaLockedSAS", WLX_SAS_ACTION_UNLOCK_WKSTA},
    {"WlxIsLogoffOk", TRUE},
    {"WlxStartApplication", TRUE},
    {"WlxScreenSaverNotify", TRUE},
    {"WlxNetworkProviderLoad", TRUE},
    {"WlxDisplayStatusMessage", TRUE},
    {"WlxGetStatusMessage", TRUE},
    {"WlxRemoveStatusMessage", TRUE},
    {"WlxGetConsoleSwitchCredentials", TRUE},
};
constexpr int kResultCount = sizeof kDefaultResults / sizeof kDefaultResults[0];

struct StandInState {
  DWORD answeredVersion = WLX_VERSION_1_4;
  Result results[kResultCount];
  SimGinaCall calls[kMaxCalls];
  int callCount = 0;
  SimGinaObserver observer = nullptr;
  void* observerContext = nullptr;
};

StandInState state;
int contextMarker;  // its address is the context handed to Winlogon

void ResetState(DWORD answeredVersion) {
  state.answeredVersion = answeredVersion;
  for (int i = 0; i < kResultCount; ++i) state.results[i] = kDefaultResults[i];
  state.callCount = 0;
  state.observer = nullptr;
  state.observerContext = nullptr;
  ResetDialogState();
}

const Result* ResultEntry(const char* entryPoint) {
  for (const Result& r : state.results)
    if (std::strcmp(r.entryPoint, entryPoint) == 0) return &r;
  return nullptr;
}

INT_PTR ResultOf(const char* entryPoint) {
  const Result* r = ResultEntry(entryPoint);
  return r ? r->value : 0;
}

// A SAS entry point asks the user through its dialog unless the test chose its answer.
bool AsksTheUser(const char* entryPoint) {
  const Result* r = ResultEntry(entryPoint);
  return !(r && r->chosen) && DialogsAvailable();
}

template <class... Args>
void Record(const char* entryPoint, Args... args) {
  if (state.observer) state.observer(entryPoint, state.observerContext);
  if (state.callCount == kMaxCalls) return;
  SimGinaCall& call = state.calls[state.callCount++];
  lstrcpynA(call.entryPoint, entryPoint, sizeof call.entryPoint);
  UINT_PTR words[] = {0, AsWord(args)...};
  call.argCount = static_cast<int>(sizeof...(args));
  for (int i = 0; i < call.argCount && i < kSimGinaMaxArgs; ++i) call.args[i] = words[i + 1];
}

BOOL BoolResult(const char* entryPoint) { return static_cast<BOOL>(ResultOf(entryPoint)); }
int IntResult(const char* entryPoint) { return static_cast<int>(ResultOf(entryPoint)); }

}  // namespace

// ---- Control interface -------------------------------------------------------------------------

extern "C" {

void SimGinaReset(DWORD answeredVersion) { ResetState(answeredVersion); }

void SimGinaSetResult(const char* entryPoint, INT_PTR result) {
  for (Result& r : state.results)
    if (std::strcmp(r.entryPoint, entryPoint) == 0) {
      r.value = result;
      r.chosen = true;
    }
}

void SimGinaSetObserver(SimGinaObserver observer, void* context) {
  state.observer = observer;
  state.observerContext = context;
}

int SimGinaCallCount() { return state.callCount; }

const SimGinaCall* SimGinaCallAt(int index) {
  return index >= 0 && index < state.callCount ? &state.calls[index] : nullptr;
}

void* SimGinaContext() { return &contextMarker; }

}  // extern "C"

// ---- GINA entry points -------------------------------------------------------------------------

BOOL WINAPI WlxNegotiate(DWORD dwWinlogonVersion, PDWORD pdwDllVersion) {
  Record("WlxNegotiate", dwWinlogonVersion, pdwDllVersion);
  *pdwDllVersion = state.answeredVersion;
  return BoolResult("WlxNegotiate");
}

BOOL WINAPI WlxInitialize(LPWSTR lpWinsta, HANDLE hWlx, PVOID pvReserved, PVOID pWinlogonFunctions,
                          PVOID* pWlxContext) {
  Record("WlxInitialize", lpWinsta, hWlx, pvReserved, pWinlogonFunctions, pWlxContext);
  *pWlxContext = &contextMarker;
  RememberWinlogon(hWlx, pWinlogonFunctions);
  return BoolResult("WlxInitialize");
}

VOID WINAPI WlxDisplaySASNotice(PVOID pWlxContext) { Record("WlxDisplaySASNotice", pWlxContext); }

int WINAPI WlxLoggedOutSAS(PVOID pWlxContext, DWORD dwSasType, PLUID pAuthenticationId,
                           PSID pLogonSid, PDWORD pdwOptions, PHANDLE phToken,
                           PWLX_MPR_NOTIFY_INFO pNprNotifyInfo, PVOID* pProfile) {
  Record("WlxLoggedOutSAS", pWlxContext, dwSasType, pAuthenticationId, pLogonSid, pdwOptions,
         phToken, pNprNotifyInfo, pProfile);
  if (AsksTheUser("WlxLoggedOutSAS")) return RunLogonDialog();
  return IntResult("WlxLoggedOutSAS");
}

BOOL WINAPI WlxActivateUserShell(PVOID pWlxContext, PWSTR pszDesktopName, PWSTR pszMprLogonScript,
                                 PVOID pEnvironment) {
  Record("WlxActivateUserShell", pWlxContext, pszDesktopName, pszMprLogonScript, pEnvironment);
  return BoolResult("WlxActivateUserShell");
}

int WINAPI WlxLoggedOnSAS(PVOID pWlxContext, DWORD dwSasType, PVOID pReserved) {
  Record("WlxLoggedOnSAS", pWlxContext, dwSasType, pReserved);
  if (AsksTheUser("WlxLoggedOnSAS")) return RunSecurityOptionsDialog();
  return IntResult("WlxLoggedOnSAS");
}

VOID WINAPI WlxDisplayLockedNotice(PVOID pWlxContext) {
  Record("WlxDisplayLockedNotice", pWlxContext);
}

BOOL WINAPI WlxIsLockOk(PVOID pWlxContext) {
  Record("WlxIsLockOk", pWlxContext);
  return BoolResult("WlxIsLockOk");
}

int WINAPI WlxWkstaLockedSAS(PVOID pWlxContext, DWORD dwSasType) {
  Record("WlxWkstaLockedSAS", pWlxContext, dwSasType);
  if (AsksTheUser("WlxWkstaLockedSAS")) return RunUnlockDialog();
  return IntResult("WlxWkstaLockedSAS");
}

BOOL WINAPI WlxIsLogoffOk(PVOID pWlxContext) {
  Record("WlxIsLogoffOk", pWlxContext);
  return BoolResult("WlxIsLogoffOk");
}

VOID WINAPI WlxLogoff(PVOID pWlxContext) { Record("WlxLogoff", pWlxContext); }

VOID WINAPI WlxShutdown(PVOID pWlxContext, DWORD ShutdownType) {
  Record("WlxShutdown", pWlxContext, ShutdownType);
}

BOOL WINAPI WlxStartApplication(PVOID pWlxContext, PWSTR pszDesktopName, PVOID pEnvironment,
                                PWSTR pszCmdLine) {
  Record("WlxStartApplication", pWlxContext, pszDesktopName, pEnvironment, pszCmdLine);
  return BoolResult("WlxStartApplication");
}

BOOL WINAPI WlxScreenSaverNotify(PVOID pWlxContext, BOOL* pSecure) {
  Record("WlxScreenSaverNotify", pWlxContext, pSecure);
  return BoolResult("WlxScreenSaverNotify");
}

BOOL WINAPI WlxNetworkProviderLoad(PVOID pWlxContext, PWLX_MPR_NOTIFY_INFO pNprNotifyInfo) {
  Record("WlxNetworkProviderLoad", pWlxContext, pNprNotifyInfo);
  return BoolResult("WlxNetworkProviderLoad");
}

BOOL WINAPI WlxDisplayStatusMessage(PVOID pWlxContext, HDESK hDesktop, DWORD dwOptions,
                                    PWSTR pTitle, PWSTR pMessage) {
  Record("WlxDisplayStatusMessage", pWlxContext, hDesktop, dwOptions, pTitle, pMessage);
  return BoolResult("WlxDisplayStatusMessage");
}

BOOL WINAPI WlxGetStatusMessage(PVOID pWlxContext, DWORD* pdwOptions, PWSTR pMessage,
                                DWORD dwBufferSize) {
  Record("WlxGetStatusMessage", pWlxContext, pdwOptions, pMessage, dwBufferSize);
  return BoolResult("WlxGetStatusMessage");
}

BOOL WINAPI WlxRemoveStatusMessage(PVOID pWlxContext) {
  Record("WlxRemoveStatusMessage", pWlxContext);
  return BoolResult("WlxRemoveStatusMessage");
}

BOOL WINAPI WlxGetConsoleSwitchCredentials(PVOID pWlxContext, PVOID pCredInfo) {
  Record("WlxGetConsoleSwitchCredentials", pWlxContext, pCredInfo);
  return BoolResult("WlxGetConsoleSwitchCredentials");
}

VOID WINAPI WlxReconnectNotify(PVOID pWlxContext) { Record("WlxReconnectNotify", pWlxContext); }

VOID WINAPI WlxDisconnectNotify(PVOID pWlxContext) { Record("WlxDisconnectNotify", pWlxContext); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    RememberStandInInstance(instance);
    ResetState(WLX_VERSION_1_4);
  }
  return TRUE;
}
