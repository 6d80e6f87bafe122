// A host that plays Winlogon for one GINA: its dispatch table (version 1.4), its modal dialog
// service with SAS delivery, and the calls Winlogon makes as the workstation changes state, in
// Winlogon's order.
#pragma once

#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

#include <condition_variable>
#include <mutex>
#include <vector>

#include "sim/host/GinaInterface.h"

class WinlogonHost {
 public:
  enum class Workstation { LoggedOut, LoggedOn, Locked };
  // What a cycle answers when no SAS came to end its notice.
  static constexpr int kNoSas = -1;

  explicit WinlogonHost(const GinaInterface& gina);
  ~WinlogonHost();
  WinlogonHost(const WinlogonHost&) = delete;
  WinlogonHost& operator=(const WinlogonHost&) = delete;

  // Winlogon's first two calls.
  BOOL Negotiate(DWORD offeredVersion = WLX_VERSION_1_4);
  BOOL Initialize();

  // The table handed to the GINA at initialisation; the GINA may change it in place.
  WLX_DISPATCH_VERSION_1_4& Dispatch() { return dispatch_; }
  // The handle Winlogon gives the GINA.
  HANDLE Handle() { return this; }
  DWORD AnsweredVersion() const { return answeredVersion_; }
  void* Context() const { return context_; }
  const GinaInterface& Gina() const { return gina_; }

  // A secure attention sequence, from any thread: delivered to the dialog that is up, or kept
  // until one is. PressCtrlAltDel is the user's keys.
  void RaiseSas(DWORD sasType);
  void PressCtrlAltDel() { RaiseSas(WLX_SAS_TYPE_CTRL_ALT_DEL); }

  // What the GINA asked of the host.
  int SasNotifyCount() const;
  DWORD LastSasNotified() const;
  std::vector<UINT_PTR> DialogTemplatesShown() const;  // integer ids or name pointers, in order

  // The modal dialog service (the table's WlxDialogBoxParam).
  int RunDialog(HANDLE hInst, LPWSTR lpszTemplate, HWND owner, DLGPROC proc, LPARAM param);
  // Winlogon's input timeout: a dialog still up after this long ends with WLX_DLG_INPUT_TIMEOUT,
  // so no test waits forever on a dialog nobody answers (default 15 s; 0: no limit).
  void SetDialogTimeout(DWORD milliseconds);

  // The window of the innermost dialog that is up, or null.
  HWND ActiveDialog() const;
  // Waits until the innermost dialog has handled every message posted to it before this call
  // (what other threads post to a dialog is applied after the messages sent to it); false when
  // no dialog is up or after timeoutMs.
  bool SettleDialog(DWORD timeoutMs = 5000);

  // The workstation, driven on the calling thread (Winlogon's one thread). Each step starts in
  // the state it names and answers the GINA's SAS action.
  Workstation State() const;
  // WlxDisplaySASNotice, then WlxLoggedOutSAS with the SAS that ended the notice. LOGON starts
  // the shell (WlxActivateUserShell) and the workstation is logged on. kNoSas when no SAS came.
  int LoggedOutCycle();
  // WlxLoggedOnSAS with sasType. LOCK_WKSTA locks; LOGOFF asks WlxIsLogoffOk, then WlxLogoff
  // logs out; FORCE_LOGOFF logs out without asking.
  int LoggedOnSas(DWORD sasType = WLX_SAS_TYPE_CTRL_ALT_DEL);
  // WlxDisplayLockedNotice, then WlxWkstaLockedSAS with the SAS that ended the notice.
  // UNLOCK_WKSTA logs on again; FORCE_LOGOFF calls WlxLogoff and logs out. kNoSas as above.
  int LockedCycle();
  void Shutdown(DWORD shutdownType = WLX_SAS_ACTION_SHUTDOWN);
  // The SAS type handed to the last WlxLoggedOutSAS or WlxWkstaLockedSAS of a cycle.
  DWORD LastNoticeSas() const;

 private:
  struct Frame;
  static INT_PTR CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void DeliverPendingSas(HWND dialog);
  void NoteDialogEndedBySas(DWORD sasType);
  DWORD DialogTimeout() const;
  bool AwaitNoticeSas(VOID(WINAPI* notice)(PVOID), DWORD* sasType);
  void EndSession();
  void SetState(Workstation state);

  GinaInterface gina_;
  WLX_DISPATCH_VERSION_1_4 dispatch_{};
  DWORD answeredVersion_ = 0;
  void* context_ = nullptr;

  mutable std::mutex lock_;
  std::vector<Frame*> frames_;
  std::vector<DWORD> pendingSas_;
  std::condition_variable sasRaised_;
  std::vector<UINT_PTR> templatesShown_;
  int sasNotifyCount_ = 0;
  DWORD lastSasNotified_ = 0;
  bool sasEndedDialog_ = false;
  DWORD sasThatEndedDialog_ = 0;
  DWORD lastNoticeSas_ = 0;
  DWORD dialogTimeoutMs_ = 15000;
  std::condition_variable settled_;
  WPARAM settleMarks_ = 0, settledMark_ = 0;
  Workstation state_ = Workstation::LoggedOut;
  friend struct HostDispatch;
};
