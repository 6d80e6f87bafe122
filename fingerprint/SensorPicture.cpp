#include "fingerprint/SensorPicture.h"

#include "fingerprint/FingerprintLibrary.h"
#include "gina/GinaState.h"
#include "resources/ResourceIds.h"

HBITMAP LoadSensorPicture(bool waiting) {
  if (!GinaState.library) return nullptr;
  unsigned char first = 0, second = 0;
  int resource;
  switch (GinaState.library->PxGetPapylVersion(&first, &second)) {
    case 1: resource = waiting ? IDB_WAITING_EDITION1 : IDB_READY_EDITION1; break;
    case 2: resource = waiting ? IDB_WAITING_EDITION2 : IDB_READY_EDITION2; break;
    default: return nullptr;
  }
  return LoadBitmapA(GinaState.moduleInstance, MAKEINTRESOURCEA(resource));
}

bool SwapNoticePicture(HBITMAP picture, HBITMAP* previous) {
  *previous = nullptr;
  HWND control = GetDlgItem(GinaState.noticeWindow, IDC_PICTURE);
  if (!control) return false;
  // A notice that ends between the lookup and the message fails it with this error; a control
  // that took the picture never sets it.
  SetLastError(0);
  LRESULT old =
      SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
  if (!old && GetLastError() == ERROR_INVALID_WINDOW_HANDLE) return false;
  *previous = reinterpret_cast<HBITMAP>(old);
  return true;
}

bool ShowNoticePicture(HBITMAP picture) {
  HBITMAP previous;
  if (!SwapNoticePicture(picture, &previous)) {
    if (picture) DeleteObject(picture);
    return false;
  }
  if (previous && previous != picture) DeleteObject(previous);
  return true;
}

void ReleaseNoticePicture(HWND notice) {
  HWND control = GetDlgItem(notice, IDC_PICTURE);
  if (!control) return;
  LRESULT old = SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, 0);
  if (old) DeleteObject(reinterpret_cast<HBITMAP>(old));
}
