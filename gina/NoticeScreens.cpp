#include "gina/NoticeScreens.h"

#include "fingerprint/CaptureSession.h"
#include "fingerprint/SensorPicture.h"
#include "gina/DialogHook.h"
#include "gina/GinaState.h"
#include "resources/MessageCatalogue.h"
#include "resources/ResourceIds.h"

namespace {

constexpr int kJoinedLineSize = 1024;

void ShowNotice(int templateId, DLGPROC proc) {
  WipeTextField(GinaState.candidateUser);
  WipeTextField(GinaState.candidatePassword);
  GinaState.fingerprintMatched = false;
  HookedDialogBoxParam(GinaState.hWlx, GinaState.moduleInstance, MAKEINTRESOURCEW(templateId),
                       nullptr, proc, 0);
}

// The lines and picture of the reader's state, then capture (which reports its own failures).
void StartNotice() {
  ShowReaderState(!GinaState.captureRunning);
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

// Both notices return 0 for every message: Winlogon ends them when a SAS arrives. A closing
// notice deletes the picture it shows.
INT_PTR CALLBACK SasNoticeDialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_INITDIALOG) {
    GinaState.noticeWindow = hwnd;
    StartNotice();
  }
  if (msg == WM_DESTROY) ReleaseNoticePicture(hwnd);
  return 0;
}

INT_PTR CALLBACK LockedNoticeDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    SetDlgItemTextA(hwnd, IDC_IN_USE, MessageText(MsgLockedInUse));
    SetUnlockByLine(hwnd);
  }
  return SasNoticeDialogProc(hwnd, msg, wParam, lParam);
}
