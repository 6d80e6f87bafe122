// A host that plays Winlogon for one GINA. hWlx is the host object itself.
#include "sim/host/WinlogonHost.h"

#include <algorithm>

namespace {

constexpr const char kFrameProperty[] = "WinlogonHostFrame";
// The input-timeout timer of a dialog; far from the small numbers dialog procedures use.
constexpr UINT_PTR kInputTimeoutTimer = 0x574C5854;

// Posted by SettleDialog; the frame answers it without passing it on.
constexpr UINT kSettleMessage = WM_APP + 0x3A5;

// The frame of a dialog that is being created, for the messages that come before WM_INITDIALOG.
thread_local void* creatingFrame = nullptr;

WinlogonHost* HostOf(HANDLE hWlx) { return static_cast<WinlogonHost*>(hWlx); }

}  // namespace

struct WinlogonHost::Frame {
  WinlogonHost* host;
  DLGPROC proc;
  LPARAM param;
  HWND hwnd;
};

// The dispatch table's functions. Those the stand-ins never need answer as Winlogon would when
// it has nothing to do.
struct HostDispatch {
  static VOID WINAPI HostUseCtrlAltDel(HANDLE) {}
  static VOID WINAPI HostSetContextPointer(HANDLE hWlx, PVOID context) {
    HostOf(hWlx)->context_ = context;
  }
  static VOID WINAPI HostSasNotify(HANDLE hWlx, DWORD sasType) {
    WinlogonHost* host = HostOf(hWlx);
    {
      std::lock_guard<std::mutex> guard(host->lock_);
      ++host->sasNotifyCount_;
      host->lastSasNotified_ = sasType;
    }
    host->RaiseSas(sasType);
  }
  static BOOL WINAPI HostSetTimeout(HANDLE, DWORD) { return TRUE; }
  static int WINAPI HostAssignShellProtection(HANDLE, HANDLE, HANDLE, HANDLE) { return 0; }
  static int WINAPI HostMessageBoxW(HANDLE, HWND owner, LPWSTR text, LPWSTR title, UINT style) {
    return MessageBoxW(owner, text, title, style);
  }
  static int WINAPI HostDialogBox(HANDLE hWlx, HANDLE hInst, LPWSTR tmpl, HWND owner, DLGPROC proc) {
    return HostOf(hWlx)->RunDialog(hInst, tmpl, owner, proc, 0);
  }
  static int WINAPI HostDialogBoxParam(HANDLE hWlx, HANDLE hInst, LPWSTR tmpl, HWND owner,
                                   DLGPROC proc, LPARAM param) {
    return HostOf(hWlx)->RunDialog(hInst, tmpl, owner, proc, param);
  }
  static int WINAPI HostDialogBoxIndirect(HANDLE, HANDLE, LPCDLGTEMPLATE, HWND, DLGPROC) { return -1; }
  static int WINAPI HostDialogBoxIndirectParam(HANDLE, HANDLE, LPCDLGTEMPLATE, HWND, DLGPROC, LPARAM) {
    return -1;
  }
  static int WINAPI HostSwitchDesktop(HANDLE) { return 0; }
  static int WINAPI HostChangePasswordNotify(HANDLE, PWLX_MPR_NOTIFY_INFO, DWORD) { return 0; }
  static BOOL WINAPI HostGetSourceDesktop(HANDLE, PWLX_DESKTOP*) { return FALSE; }
  static BOOL WINAPI HostSetReturnDesktop(HANDLE, PWLX_DESKTOP) { return FALSE; }
  static BOOL WINAPI HostCreateUserDesktop(HANDLE, HANDLE, DWORD, PWSTR, PWLX_DESKTOP*) {
    return FALSE;
  }
  static int WINAPI HostChangePasswordNotifyEx(HANDLE, PWLX_MPR_NOTIFY_INFO, DWORD, PWSTR, PVOID) {
    return 0;
  }
  static BOOL WINAPI HostCloseUserDesktop(HANDLE, PWLX_DESKTOP, HANDLE) { return FALSE; }
  static BOOL WINAPI HostSetOption(HANDLE, DWORD, ULONG_PTR, ULONG_PTR*) { return FALSE; }
  static BOOL WINAPI HostGetOption(HANDLE, DWORD, ULONG_PTR*) { return FALSE; }
  static VOID WINAPI HostWin31Migrate(HANDLE) {}
  static BOOL WINAPI HostQueryClientCredentials(PWLX_CLIENT_CREDENTIALS_INFO_V1_0) { return FALSE; }
  static BOOL WINAPI HostQueryTsLogonCredentials(PWLX_CLIENT_CREDENTIALS_INFO_V2_0) { return FALSE; }
  static BOOL WINAPI HostDisconnect() { return FALSE; }
  static DWORD WINAPI HostQueryTerminalServicesData(HANDLE, PWLX_TERMINAL_SERVICES_DATA, WCHAR*,
                                                WCHAR*) {
    return 0;
  }
  static DWORD WINAPI HostQueryConsoleSwitchCredentials(PWLX_CONSOLESWITCH_CREDENTIALS_INFO_V1_0) {
    return 0;
  }

  static void Fill(WLX_DISPATCH_VERSION_1_4& d) {
    d.WlxUseCtrlAltDel = HostUseCtrlAltDel;
    d.WlxSetContextPointer = HostSetContextPointer;
    d.WlxSasNotify = HostSasNotify;
    d.WlxSetTimeout = HostSetTimeout;
    d.WlxAssignShellProtection = HostAssignShellProtection;
    d.WlxMessageBox = HostMessageBoxW;
    d.WlxDialogBox = HostDialogBox;
    d.WlxDialogBoxParam = HostDialogBoxParam;
    d.WlxDialogBoxIndirect = HostDialogBoxIndirect;
    d.WlxDialogBoxIndirectParam = HostDialogBoxIndirectParam;
    d.WlxSwitchDesktopToUser = HostSwitchDesktop;
    d.WlxSwitchDesktopToWinlogon = HostSwitchDesktop;
    d.WlxChangePasswordNotify = HostChangePasswordNotify;
    d.WlxGetSourceDesktop = HostGetSourceDesktop;
    d.WlxSetReturnDesktop = HostSetReturnDesktop;
    d.WlxCreateUserDesktop = HostCreateUserDesktop;
    d.WlxChangePasswordNotifyEx = HostChangePasswordNotifyEx;
    d.WlxCloseUserDesktop = HostCloseUserDesktop;
    d.WlxSetOption = HostSetOption;
    d.WlxGetOption = HostGetOption;
    d.WlxWin31Migrate = HostWin31Migrate;
    d.WlxQueryClientCredentials = HostQueryClientCredentials;
    d.WlxQueryInetConnectorCredentials = HostQueryClientCredentials;
    d.WlxDisconnect = HostDisconnect;
    d.WlxQueryTerminalServicesData = HostQueryTerminalServicesData;
    d.WlxQueryConsoleSwitchCredentials = HostQueryConsoleSwitchCredentials;
    d.WlxQueryTsLogonCredentials = HostQueryTsLogonCredentials;
  }
};

WinlogonHost::WinlogonHost(const GinaInterface& gina) : gina_(gina) { HostDispatch::Fill(dispatch_); }

WinlogonHost::~WinlogonHost() = default;

BOOL WinlogonHost::Negotiate(DWORD offeredVersion) {
  if (!gina_.WlxNegotiate) return FALSE;
  return gina_.WlxNegotiate(offeredVersion, &answeredVersion_);
}

BOOL WinlogonHost::Initialize() {
  if (!gina_.WlxInitialize) return FALSE;
  wchar_t station[] = L"WinSta0";
  return gina_.WlxInitialize(station, Handle(), nullptr, &dispatch_, &context_);
}

void WinlogonHost::RaiseSas(DWORD sasType) {
  std::lock_guard<std::mutex> guard(lock_);
  if (frames_.empty() || !frames_.back()->hwnd) {
    pendingSas_.push_back(sasType);
    sasRaised_.notify_all();
    return;
  }
  // Posted, never sent: this may run on a thread that does not own the dialog.
  PostMessageW(frames_.back()->hwnd, WLX_WM_SAS, sasType, 0);
}

int WinlogonHost::SasNotifyCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return sasNotifyCount_;
}

DWORD WinlogonHost::LastSasNotified() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lastSasNotified_;
}

std::vector<UINT_PTR> WinlogonHost::DialogTemplatesShown() const {
  std::lock_guard<std::mutex> guard(lock_);
  return templatesShown_;
}

void WinlogonHost::SetDialogTimeout(DWORD milliseconds) {
  std::lock_guard<std::mutex> guard(lock_);
  dialogTimeoutMs_ = milliseconds;
}

DWORD WinlogonHost::DialogTimeout() const {
  std::lock_guard<std::mutex> guard(lock_);
  return dialogTimeoutMs_;
}

HWND WinlogonHost::ActiveDialog() const {
  std::lock_guard<std::mutex> guard(lock_);
  return frames_.empty() ? nullptr : frames_.back()->hwnd;
}

bool WinlogonHost::SettleDialog(DWORD timeoutMs) {
  std::unique_lock<std::mutex> guard(lock_);
  if (frames_.empty() || !frames_.back()->hwnd) return false;
  WPARAM mark = ++settleMarks_;
  if (!PostMessageW(frames_.back()->hwnd, kSettleMessage, mark, 0)) return false;
  return settled_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [&] { return settledMark_ >= mark; });
}

int WinlogonHost::RunDialog(HANDLE hInst, LPWSTR lpszTemplate, HWND owner, DLGPROC proc,
                            LPARAM param) {
  Frame frame{this, proc, param, nullptr};
  {
    std::lock_guard<std::mutex> guard(lock_);
    frames_.push_back(&frame);
    templatesShown_.push_back(reinterpret_cast<UINT_PTR>(lpszTemplate));
  }
  void* outer = creatingFrame;
  creatingFrame = &frame;
  INT_PTR result = DialogBoxParamW(static_cast<HINSTANCE>(hInst), lpszTemplate, owner, FrameProc,
                                   reinterpret_cast<LPARAM>(&frame));
  creatingFrame = outer;
  {
    std::lock_guard<std::mutex> guard(lock_);
    frames_.erase(std::find(frames_.begin(), frames_.end(), &frame));
  }
  return static_cast<int>(result);
}

void WinlogonHost::DeliverPendingSas(HWND dialog) {
  std::lock_guard<std::mutex> guard(lock_);
  for (DWORD sas : pendingSas_) PostMessageW(dialog, WLX_WM_SAS, sas, 0);
  pendingSas_.clear();
}

void WinlogonHost::NoteDialogEndedBySas(DWORD sasType) {
  std::lock_guard<std::mutex> guard(lock_);
  sasEndedDialog_ = true;
  sasThatEndedDialog_ = sasType;
}

// Stands between Winlogon's dialog service and the GINA's procedure: a SAS that the procedure
// does not take for itself ends the dialog with WLX_DLG_SAS, and a dialog left unanswered past
// the input timeout ends with WLX_DLG_INPUT_TIMEOUT, as Winlogon does.
INT_PTR CALLBACK WinlogonHost::FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* frame = static_cast<Frame*>(GetPropA(hwnd, kFrameProperty));
  if (!frame) frame = static_cast<Frame*>(creatingFrame);
  if (!frame) return FALSE;

  if (msg == WM_INITDIALOG) {
    SetPropA(hwnd, kFrameProperty, frame);
    {
      std::lock_guard<std::mutex> guard(frame->host->lock_);
      frame->hwnd = hwnd;
    }
    INT_PTR result = frame->proc(hwnd, msg, wParam, frame->param);
    DWORD timeout = frame->host->DialogTimeout();
    if (timeout) SetTimer(hwnd, kInputTimeoutTimer, timeout, nullptr);
    frame->host->DeliverPendingSas(hwnd);
    return result;
  }
  if (msg == WM_TIMER && wParam == kInputTimeoutTimer) {
    KillTimer(hwnd, kInputTimeoutTimer);
    EndDialog(hwnd, WLX_DLG_INPUT_TIMEOUT);
    return TRUE;
  }
  if (msg == kSettleMessage) {
    std::lock_guard<std::mutex> guard(frame->host->lock_);
    frame->host->settledMark_ = wParam;
    frame->host->settled_.notify_all();
    return TRUE;
  }
  if (msg == WM_NCDESTROY) RemovePropA(hwnd, kFrameProperty);
  INT_PTR result = frame->proc(hwnd, msg, wParam, lParam);
  if (msg == WLX_WM_SAS && !result) {
    frame->host->NoteDialogEndedBySas(static_cast<DWORD>(wParam));
    EndDialog(hwnd, WLX_DLG_SAS);
    return TRUE;
  }
  return result;
}
