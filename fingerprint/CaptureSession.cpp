#include "fingerprint/CaptureSession.h"

#include <cstring>

#include "fingerprint/CaptureEvents.h"
#include "fingerprint/CaptureGate.h"
#include "fingerprint/FingerImage.h"
#include "fingerprint/FingerprintLibrary.h"
#include "fingerprint/SensorPicture.h"
#include "gina/GinaState.h"
#include "resources/MessageCatalogue.h"
#include "resources/ResourceIds.h"

namespace {

void ShowLibraryFailure(MessageId text) {
  MessageBoxA(nullptr, MessageText(text), MessageText(MsgFingerprintCaption), MB_ICONERROR);
}

void SetNoticeLines(MessageId first, MessageId second) {
  SetDlgItemTextA(GinaState.noticeWindow, IDC_FINGERPRINT, MessageText(first));
  SetDlgItemTextA(GinaState.noticeWindow, IDC_CTRL_ALT_DEL, MessageText(second));
}

// The library reports its file-reading pseudo reader under this id; it is no reader.
bool IsFileReader(const char* sensorId) { return std::strcmp(sensorId, "File") == 0; }

void ReaderUnplugged(const char* sensorId) {
  ReportReaderUnplugged(sensorId);
  GinaState.library->PxCapStopCapture(sensorId);
  ShowReaderState(true);
  ShowCaptureMessage(MsgSensorUnplugged, MB_ICONERROR);
}

void ReaderPlugged(const char* sensorId) {
  ReportReaderPlugged(sensorId);
  GinaState.library->PxCapStartCapture(sensorId, OnFingerEvent, OnFingerImage);
  ShowReaderState(false);
}

}  // namespace

void ShowReaderState(bool waiting) {
  ShowNoticePicture(LoadSensorPicture(waiting));
  SetNoticeLines(waiting ? MsgWaitingForSensor : MsgTouchSensor,
                 waiting ? MsgPressCtrlAltDel : MsgOrPressCtrlAltDel);
}

int StartFingerprintCapture() {
  if (GinaState.captureRunning) return 0;
  FingerprintLibrary* library = GinaState.library;
  if (!library) return ReportCaptureStartFailure(EVENT_LIBRARY_NOT_LOADED, kNoLibraryObject);
  GinaState.captureRunning = true;

  int result = library->PxInitialize();
  if (result != 0) {
    GinaState.captureRunning = false;
    ReportCaptureStartFailure(EVENT_LIBRARY_START_FAILED, result);
    if (result == -1 || result == -6) ShowLibraryFailure(MsgLibraryInitFailed);
    return result;
  }
  // Readers already plugged in report at once, so the gate opens first.
  OpenCaptureGate();
  result = library->PxCapInitialize(OnSensorStatus);
  if (result == 0) return 0;

  CloseCaptureGate();
  library->PxFinalize();
  GinaState.captureRunning = false;
  ReportCaptureStartFailure(EVENT_CAPTURE_START_FAILED, result);
  ShowLibraryFailure(MsgCaptureInitFailed);
  return result;
}

void StopFingerprintCapture() {
  FingerprintLibrary* library = GinaState.library;
  if (!GinaState.captureRunning || !library) return;
  CloseCaptureGate();
  library->PxCapFinalize();
  library->PxFinalize();
  GinaState.captureRunning = false;
}

void WINAPI OnSensorStatus(const char* sensorId, int event) {
  if (!sensorId || IsFileReader(sensorId)) return;
  if (!EnterCallback()) return;
  if (event == SensorUnplugged) ReaderUnplugged(sensorId);
  if (event == SensorPlugged) ReaderPlugged(sensorId);
  LeaveCallback();
}

void WINAPI OnFingerEvent(const char*, int) {}
