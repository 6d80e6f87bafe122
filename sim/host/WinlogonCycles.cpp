// The workstation's states as Winlogon drives them: logged out, logged on, locked. Each step
// makes the calls Winlogon makes in that state, in its order, on the calling thread.
#include "sim/host/WinlogonHost.h"

// How long a cycle waits for a SAS when its notice returned without one.
constexpr DWORD kSasWaitMs = 5000;

WinlogonHost::Workstation WinlogonHost::State() const {
  std::lock_guard<std::mutex> guard(lock_);
  return state_;
}

void WinlogonHost::SetState(Workstation state) {
  std::lock_guard<std::mutex> guard(lock_);
  state_ = state;
}

DWORD WinlogonHost::LastNoticeSas() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lastNoticeSas_;
}

// Shows a notice and finds the SAS that ends it: the one that ended a dialog while the notice
// was up, or else (a notice that returns by itself) the next one raised, kept or still to come.
bool WinlogonHost::AwaitNoticeSas(VOID(WINAPI* notice)(PVOID), DWORD* sasType) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    sasEndedDialog_ = false;
  }
  if (notice) notice(context_);
  std::unique_lock<std::mutex> guard(lock_);
  if (sasEndedDialog_) {
    *sasType = sasThatEndedDialog_;
  } else {
    if (!sasRaised_.wait_for(guard, std::chrono::milliseconds(kSasWaitMs),
                             [this] { return !pendingSas_.empty(); }))
      return false;
    *sasType = pendingSas_.front();
    pendingSas_.erase(pendingSas_.begin());
  }
  lastNoticeSas_ = *sasType;
  return true;
}

// The user's session has ended: the GINA hears of it and the workstation is logged out.
void WinlogonHost::EndSession() {
  if (gina_.WlxLogoff) gina_.WlxLogoff(context_);
  SetState(Workstation::LoggedOut);
}

int WinlogonHost::LoggedOutCycle() {
  DWORD sas = 0;
  if (!AwaitNoticeSas(gina_.WlxDisplaySASNotice, &sas)) return kNoSas;
  if (!gina_.WlxLoggedOutSAS) return kNoSas;
  LUID logonId{};
  BYTE logonSid[SECURITY_MAX_SID_SIZE] = {};
  DWORD options = 0;
  HANDLE token = nullptr;
  WLX_MPR_NOTIFY_INFO mpr{};
  PVOID profile = nullptr;
  int action = gina_.WlxLoggedOutSAS(context_, sas, &logonId, logonSid, &options, &token, &mpr,
                                     &profile);
  if (action != WLX_SAS_ACTION_LOGON) return action;

  wchar_t desktop[] = L"WinSta0\\Default";
  wchar_t script[] = L"";
  bool shellStarted = gina_.WlxActivateUserShell &&
                      gina_.WlxActivateUserShell(context_, desktop, script, nullptr);
  // What the GINA handed over is Winlogon's to free.
  LocalFree(mpr.pszUserName);
  LocalFree(mpr.pszDomain);
  LocalFree(mpr.pszPassword);
  LocalFree(mpr.pszOldPassword);
  LocalFree(profile);
  if (token) CloseHandle(token);
  if (shellStarted)
    SetState(Workstation::LoggedOn);
  else
    EndSession();
  return action;
}

int WinlogonHost::LoggedOnSas(DWORD sasType) {
  if (!gina_.WlxLoggedOnSAS) return WLX_SAS_ACTION_NONE;
  int action = gina_.WlxLoggedOnSAS(context_, sasType, nullptr);
  switch (action) {
    case WLX_SAS_ACTION_LOCK_WKSTA:
      SetState(Workstation::Locked);
      break;
    case WLX_SAS_ACTION_LOGOFF:
      if (gina_.WlxIsLogoffOk && gina_.WlxIsLogoffOk(context_)) EndSession();
      break;
    case WLX_SAS_ACTION_FORCE_LOGOFF:
      EndSession();
      break;
    default:
      break;
  }
  return action;
}

int WinlogonHost::LockedCycle() {
  DWORD sas = 0;
  if (!AwaitNoticeSas(gina_.WlxDisplayLockedNotice, &sas)) return kNoSas;
  if (!gina_.WlxWkstaLockedSAS) return kNoSas;
  int action = gina_.WlxWkstaLockedSAS(context_, sas);
  if (action == WLX_SAS_ACTION_UNLOCK_WKSTA) SetState(Workstation::LoggedOn);
  if (action == WLX_SAS_ACTION_FORCE_LOGOFF) EndSession();
  return action;
}

void WinlogonHost::Shutdown(DWORD shutdownType) {
  if (gina_.WlxShutdown) gina_.WlxShutdown(context_, shutdownType);
}
