// A host that plays Winlogon for one GINA: its dispatch table (version 1.4), its modal dialog
// service with SAS delivery, and the calls Winlogon makes as the workstation changes state.
#pragma once

#include <windows.h>
// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

#include <mutex>
#include <vector>

#include "sim/host/GinaInterface.h"

class WinlogonHost {
 public:
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

  // The window of the innermost dialog that is up, or null.
  HWND ActiveDialog() const;

 private:
  struct Frame;
  static INT_PTR CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void DeliverPendingSas(HWND dialog);

  GinaInterface gina_;
  WLX_DISPATCH_VERSION_1_4 dispatch_{};
  DWORD answeredVersion_ = 0;
  void* context_ = nullptr;

  mutable std::mutex lock_;
  std::vector<Frame*> frames_;
  std::vector<DWORD> pendingSas_;
  std::vector<UINT_PTR> templatesShown_;
  int sasNotifyCount_ = 0;
  DWORD lastSasNotified_ = 0;
  friend struct HostDispatch;
};
