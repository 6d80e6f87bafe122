#include "fingerprint/NoticeMail.h"

#include "fingerprint/SensorPicture.h"
#include "resources/EventLog.h"
#include "resources/MessageCatalogue.h"
#include "resources/ResourceIds.h"

namespace {

constexpr UINT kReaderLinesMessage = WM_APP + 0x56;  // wParam: waiting
constexpr UINT kPictureMessage = WM_APP + 0x57;      // lParam: the picture

void SetReaderLines(HWND notice, bool waiting) {
  SetDlgItemTextA(notice, IDC_FINGERPRINT,
                  MessageText(waiting ? MsgWaitingForSensor : MsgTouchSensor));
  SetDlgItemTextA(notice, IDC_CTRL_ALT_DEL,
                  MessageText(waiting ? MsgPressCtrlAltDel : MsgOrPressCtrlAltDel));
}

// The control holds one picture of ours at a time: whatever it stops showing is deleted, because
// Winlogon runs for the machine's whole uptime.
void SetPicture(HWND notice, HBITMAP picture) {
  HWND control = GetDlgItem(notice, IDC_PICTURE);
  if (!control) {
    if (picture) DeleteObject(picture);
    return;
  }
  auto old = reinterpret_cast<HBITMAP>(
      SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)));
  if (old && old != picture) DeleteObject(old);
}

}  // namespace

void ShowReaderState(HWND notice, bool waiting) {
  SetPicture(notice, LoadSensorPicture(waiting));
  SetReaderLines(notice, waiting);
}

void PostReaderState(bool waiting, CaptureTicket ticket) {
  PostNoticePicture(LoadSensorPicture(waiting), ticket);
  PostToNotice(ticket, kReaderLinesMessage, waiting, 0);
}

void PostNoticePicture(HBITMAP picture, CaptureTicket ticket) {
  if (!PostToNotice(ticket, kPictureMessage, 0, reinterpret_cast<LPARAM>(picture)) && picture)
    DeleteObject(picture);
}

void ApplyNoticeMail(HWND notice, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kReaderLinesMessage) SetReaderLines(notice, wParam != 0);
  if (msg == kPictureMessage) SetPicture(notice, reinterpret_cast<HBITMAP>(lParam));
  // Callbacks cannot start the writer of what they queue for the audit trail; it is written at
  // the stop, or here once it piles up.
  if (msg == kReaderLinesMessage || msg == kPictureMessage) WriteCrowdedModuleEvents();
}

void EndNoticeMail(HWND notice) {
  ForgetNotice(notice);
  MSG queued;
  while (PeekMessageA(&queued, notice, kPictureMessage, kPictureMessage, PM_REMOVE))
    if (queued.lParam) DeleteObject(reinterpret_cast<HBITMAP>(queued.lParam));
  SetPicture(notice, nullptr);
}
