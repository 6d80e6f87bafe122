// The GINA interface as Winlogon sees it: every entry point passes on to the system GINA, with the
// module's own additions before or after. The context pointer is the system GINA's, untouched.
#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

#include "fingerprint/CaptureSession.h"
#include "fingerprint/FingerprintMatch.h"
#include "gina/DialogHook.h"
#include "gina/GinaState.h"
#include "gina/NoticeScreens.h"
#include "gina/SystemGina.h"
#include "resources/EventLog.h"

namespace {

// Calls the system GINA's entry point with the same arguments. An entry point above the negotiated
// version was never resolved; Winlogon does not call it, and if it does it gets a neutral answer.
template <class Result, class... Params, class... Args>
Result PassOn(Result(WINAPI* entry)(Params...), Result neutral, Args... args) {
  return entry ? entry(args...) : neutral;
}

template <class... Params, class... Args>
void PassOn(void(WINAPI* entry)(Params...), Args... args) {
  if (entry) entry(args...);
}

const SystemGina& System() { return GinaState.systemGina; }

// A finger identified the account that the system GINA's dialog is about to receive.
void ReportFingerprintMatch(DWORD event) {
  if (FingerprintMatched()) ReportModuleEvent(event, CandidateUser());
}

}  // namespace

// Winlogon's first call: which interface version both sides speak. The module speaks what the
// system GINA answers, at most 1.4, and resolves the system GINA's entry points for it.
BOOL WINAPI WlxNegotiate(DWORD dwWinlogonVersion, PDWORD pdwDllVersion) {
  if (!pdwDllVersion) return FALSE;
  return NegotiateWithSystemGina(dwWinlogonVersion, pdwDllVersion);
}

// Once, after negotiation: Winlogon's handle and dispatch table. The module keeps both and puts
// its dialog hook in the table before the system GINA receives it.
BOOL WINAPI WlxInitialize(LPWSTR lpWinsta, HANDLE hWlx, PVOID pvReserved, PVOID pWinlogonFunctions,
                          PVOID* pWlxContext) {
  GinaState.hWlx = hWlx;
  GinaState.winlogonFunctions = pWinlogonFunctions;
  InstallDialogHook(pWinlogonFunctions);
  return PassOn(System().WlxInitialize, FALSE, lpWinsta, hWlx, pvReserved, pWinlogonFunctions,
                pWlxContext);
}

// While nobody is logged on: the notice that waits for Ctrl-Alt-Del. The module shows its own,
// with the fingerprint reader running; the system GINA's is never called.
VOID WINAPI WlxDisplaySASNotice(PVOID /*pWlxContext*/) { ShowSasNotice(); }

// Ctrl-Alt-Del (or a matched finger) while logged out: the system GINA's logon dialog. Capture
// stops first, so that the dialog hooks alone read the match; the name used is kept for the
// locked notice, and the decrypted password is forgotten once the dialog is done.
int WINAPI WlxLoggedOutSAS(PVOID pWlxContext, DWORD dwSasType, PLUID pAuthenticationId,
                           PSID pLogonSid, PDWORD pdwOptions, PHANDLE phToken,
                           PWLX_MPR_NOTIFY_INFO pNprNotifyInfo, PVOID* pProfile) {
  StopFingerprintCapture();
  ReportFingerprintMatch(EVENT_LOGON_FINGER_IDENTIFIED);
  int action = PassOn(System().WlxLoggedOutSAS, int{WLX_SAS_ACTION_NONE}, pWlxContext, dwSasType,
                      pAuthenticationId, pLogonSid, pdwOptions, phToken, pNprNotifyInfo, pProfile);
  // Whatever the outcome: after a typed or cancelled logon this is the name the user gave.
  CopyTextField(GinaState.loggedOnUser, CandidateUser());
  // The decrypted password must not stay in Winlogon's memory for the whole session.
  ForgetMatchedPassword();
  return action;
}

// After a logon: the user's shell starts.
BOOL WINAPI WlxActivateUserShell(PVOID pWlxContext, PWSTR pszDesktopName, PWSTR pszMprLogonScript,
                                 PVOID pEnvironment) {
  return PassOn(System().WlxActivateUserShell, FALSE, pWlxContext, pszDesktopName,
                pszMprLogonScript, pEnvironment);
}

// Ctrl-Alt-Del while logged on: the security options dialog (its password change is refused
// by the dialog hook).
int WINAPI WlxLoggedOnSAS(PVOID pWlxContext, DWORD dwSasType, PVOID pReserved) {
  return PassOn(System().WlxLoggedOnSAS, int{WLX_SAS_ACTION_NONE}, pWlxContext, dwSasType,
                pReserved);
}

// While locked: the module's own notice naming the user, with the fingerprint reader running.
VOID WINAPI WlxDisplayLockedNotice(PVOID /*pWlxContext*/) { ShowLockedNotice(); }

// Whether the workstation may be locked now.
BOOL WINAPI WlxIsLockOk(PVOID pWlxContext) {
  return PassOn(System().WlxIsLockOk, FALSE, pWlxContext);
}

// Ctrl-Alt-Del (or a matched finger) while locked: the system GINA's unlock dialog, after
// capture stops; the decrypted password is forgotten once the dialog is done.
int WINAPI WlxWkstaLockedSAS(PVOID pWlxContext, DWORD dwSasType) {
  StopFingerprintCapture();
  ReportFingerprintMatch(EVENT_UNLOCK_FINGER_IDENTIFIED);
  int action = PassOn(System().WlxWkstaLockedSAS, int{WLX_SAS_ACTION_NONE}, pWlxContext, dwSasType);
  ForgetMatchedPassword();
  return action;
}

// Whether the user may be logged off now.
BOOL WINAPI WlxIsLogoffOk(PVOID pWlxContext) {
  return PassOn(System().WlxIsLogoffOk, FALSE, pWlxContext);
}

// The session has ended: every name and password the module held is wiped first.
VOID WINAPI WlxLogoff(PVOID pWlxContext) {
  ForgetMatch();
  WipeTextField(GinaState.loggedOnUser);
  PassOn(System().WlxLogoff, pWlxContext);
}

// The machine is about to shut down.
VOID WINAPI WlxShutdown(PVOID pWlxContext, DWORD ShutdownType) {
  PassOn(System().WlxShutdown, pWlxContext, ShutdownType);
}

// Version 1.1 and later, unchanged: an application on the user's desktop (for example after a
// shell failure).
BOOL WINAPI WlxStartApplication(PVOID pWlxContext, PWSTR pszDesktopName, PVOID pEnvironment,
                                PWSTR pszCmdLine) {
  return PassOn(System().WlxStartApplication, FALSE, pWlxContext, pszDesktopName, pEnvironment,
                pszCmdLine);
}

// Version 1.1 and later, unchanged: the screen saver is about to start.
BOOL WINAPI WlxScreenSaverNotify(PVOID pWlxContext, BOOL* pSecure) {
  return PassOn(System().WlxScreenSaverNotify, FALSE, pWlxContext, pSecure);
}

// Version 1.3 and later, unchanged: credentials for network providers.
BOOL WINAPI WlxNetworkProviderLoad(PVOID pWlxContext, PWLX_MPR_NOTIFY_INFO pNprNotifyInfo) {
  return PassOn(System().WlxNetworkProviderLoad, FALSE, pWlxContext, pNprNotifyInfo);
}

// Version 1.3 and later, unchanged: the status messages shown while Windows starts and stops.
BOOL WINAPI WlxDisplayStatusMessage(PVOID pWlxContext, HDESK hDesktop, DWORD dwOptions,
                                    PWSTR pTitle, PWSTR pMessage) {
  return PassOn(System().WlxDisplayStatusMessage, FALSE, pWlxContext, hDesktop, dwOptions, pTitle,
                pMessage);
}

BOOL WINAPI WlxGetStatusMessage(PVOID pWlxContext, DWORD* pdwOptions, PWSTR pMessage,
                                DWORD dwBufferSize) {
  return PassOn(System().WlxGetStatusMessage, FALSE, pWlxContext, pdwOptions, pMessage,
                dwBufferSize);
}

BOOL WINAPI WlxRemoveStatusMessage(PVOID pWlxContext) {
  return PassOn(System().WlxRemoveStatusMessage, FALSE, pWlxContext);
}

BOOL WINAPI WlxGetConsoleSwitchCredentials(PVOID pWlxContext, PVOID pCredInfo) {
  return PassOn(System().WlxGetConsoleSwitchCredentials, FALSE, pWlxContext, pCredInfo);
}

// Version 1.4, unchanged: fast user switching and terminal sessions.
VOID WINAPI WlxReconnectNotify(PVOID pWlxContext) {
  PassOn(System().WlxReconnectNotify, pWlxContext);
}

VOID WINAPI WlxDisconnectNotify(PVOID pWlxContext) {
  PassOn(System().WlxDisconnectNotify, pWlxContext);
}
