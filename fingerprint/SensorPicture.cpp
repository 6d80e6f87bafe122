#include "fingerprint/SensorPicture.h"

#include "fingerprint/FingerprintLibrary.h"
#include "fingerprint/CaptureState.h"
#include "resources/ModuleResources.h"
#include "resources/ResourceIds.h"

HBITMAP LoadSensorPicture(bool waiting) {
  if (!captureState.library) return nullptr;
  unsigned char first = 0, second = 0;
  int resource;
  switch (captureState.library->PxGetPapylVersion(&first, &second)) {
    case 1: resource = waiting ? IDB_WAITING_EDITION1 : IDB_READY_EDITION1; break;
    case 2: resource = waiting ? IDB_WAITING_EDITION2 : IDB_READY_EDITION2; break;
    default: return nullptr;
  }
  return LoadModuleBitmap(resource);
}
