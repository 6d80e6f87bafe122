#include "fingerprint/CaptureSession.h"

#include <cstring>

#include "fingerprint/CaptureEvents.h"
#include "fingerprint/CaptureGate.h"
#include "fingerprint/CaptureState.h"
#include "fingerprint/FingerImage.h"
#include "fingerprint/FingerprintLibrary.h"
#include "fingerprint/NoticeMail.h"
#include "resources/MessageCatalogue.h"

namespace {

void ShowLibraryFailure(MessageId text) {
  MessageBoxA(nullptr, MessageText(text), MessageText(MsgFingerprintCaption), MB_ICONERROR);
}

// The library reports its file-reading pseudo reader under this id; it is no reader.
bool IsFileReader(const char* sensorId) { return std::strcmp(sensorId, "File") == 0; }

void ReaderUnplugged(const char* sensorId, CaptureTicket ticket) {
  ReportReaderUnplugged(sensorId);
  captureState.library->PxCapStopCapture(sensorId);
  PostReaderState(true, ticket);
  ShowCaptureMessage(MsgSensorUnplugged, MB_ICONERROR, ticket);
}

void ReaderPlugged(const char* sensorId, CaptureTicket ticket) {
  ReportReaderPlugged(sensorId);
  captureState.library->PxCapStartCapture(sensorId, OnFingerEvent, OnFingerImage);
  PostReaderState(false, ticket);
}

}  // namespace

int StartFingerprintCapture() {
  if (captureState.captureRunning) return 0;
  FingerprintLibrary* library = captureState.library;
  if (!library) return ReportCaptureStartFailure(EVENT_LIBRARY_NOT_LOADED, kNoLibraryObject);
  captureState.captureRunning = true;

  int result = library->PxInitialize();
  if (result != 0) {
    captureState.captureRunning = false;
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
  captureState.captureRunning = false;
  ReportCaptureStartFailure(EVENT_CAPTURE_START_FAILED, result);
  ShowLibraryFailure(MsgCaptureInitFailed);
  return result;
}

void StopFingerprintCapture() {
  FingerprintLibrary* library = captureState.library;
  if (!captureState.captureRunning || !library) return;
  CloseCaptureGate();
  library->PxCapFinalize();
  library->PxFinalize();
  captureState.captureRunning = false;
  WriteQueuedModuleEvents();
}

void WINAPI OnSensorStatus(const char* sensorId, int event) {
  if (!sensorId || IsFileReader(sensorId)) return;
  CaptureTicket ticket = EnterCallback();
  if (ticket == kNoSession) return;
  if (event == SensorUnplugged) ReaderUnplugged(sensorId, ticket);
  if (event == SensorPlugged) ReaderPlugged(sensorId, ticket);
  LeaveCallback();
}

void WINAPI OnFingerEvent(const char*, int) {}
