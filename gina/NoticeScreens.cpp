#include "gina/NoticeScreens.h"

#include "fingerprint/CaptureGate.h"
#include "fingerprint/CaptureSession.h"
#include "fingerprint/CaptureState.h"
#include "fingerprint/FingerprintMatch.h"
#include "fingerprint/NoticeMail.h"
#include "gina/DialogHook.h"
#include "gina/GinaState.h"
#include "resources/MessageCatalogue.h"
#include "resources/ModuleResources.h"
#include "resources/ResourceIds.h"

namespace {

constexpr int kJoinedLineSize = 1024;

// A matched finger stands for Ctrl-Alt-Del.
void RaiseCtrlAltDel() {
  auto* winlogon = static_cast<PWLX_DISPATCH_VERSION_1_0>(GinaState.winlogonFunctions);
  if (winlogon && winlogon->WlxSasNotify)
    winlogon->WlxSasNotify(GinaState.hWlx, WLX_SAS_TYPE_CTRL_ALT_DEL);
}

void ShowNotice(int templateId, DLGPROC proc) {
  ForgetMatchForNotice();
  HookedDialogBoxParam(GinaState.hWlx, moduleInstance, MAKEINTRESOURCEW(templateId),
                       nullptr, proc, 0);
}

// The lines and picture of the reader's state, then capture (which reports its own failures).
void StartNotice(HWND notice) {
  GinaState.noticeWindow = notice;
  AttachNotice(NoticeLink{notice, RaiseCtrlAltDel});
  ShowReaderState(notice, !captureState.captureRunning);
  StartFingerprintCapture();
}

// "... unlocked by " + the user + " or a system administrator."
void SetUnlockByLine(HWND notice) {
  char line[kJoinedLineSize] = {};
  lstrcpynA(line, MessageText(MsgLockedUnlockByStart), kJoinedLineSize);
  int used = lstrlenA(line);
  lstrcpynA(line + used, GinaState.loggedOnUser, kJoinedLineSize - used);
  used = lstrlenA(line);
  lstrcpynA(line + used, MessageText(MsgLockedUnlockByEnd), kJoinedLineSize - used);
  SetDlgItemTextA(notice, IDC_UNLOCK_BY, line);
}

}  // namespace

void ShowSasNotice() { ShowNotice(IDD_SAS_NOTICE, SasNoticeDialogProc); }

void ShowLockedNotice() { ShowNotice(IDD_LOCKED_NOTICE, LockedNoticeDialogProc); }

// Both notices return 0 for every message: Winlogon ends them when a SAS arrives. While up,
// they show what capture posts them; a closing notice deletes every picture it was given.
INT_PTR CALLBACK SasNoticeDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) StartNotice(hwnd);
  ApplyNoticeMail(hwnd, msg, wParam, lParam);
  if (msg == WM_DESTROY) EndNoticeMail(hwnd);
  return 0;
}

INT_PTR CALLBACK LockedNoticeDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    SetDlgItemTextA(hwnd, IDC_IN_USE, MessageText(MsgLockedInUse));
    SetUnlockByLine(hwnd);
  }
  return SasNoticeDialogProc(hwnd, msg, wParam, lParam);
}
