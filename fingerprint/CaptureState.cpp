#include "fingerprint/CaptureState.h"

#include <new>

#include "fingerprint/CaptureGate.h"
#include "fingerprint/FingerprintLibrary.h"

CaptureState captureState;

namespace {

FingerprintLibrary* LoadFingerprintLibrary() {
  auto* library = new (std::nothrow) FingerprintLibrary;
  if (!library) return nullptr;
  if (!library->SetFileName(kFingerprintLibraryFile) || !library->Load(0)) {
    delete library;
    return nullptr;
  }
  return library;
}

}  // namespace

void PrepareFingerprintLibrary() { captureState.library = LoadFingerprintLibrary(); }

void ReleaseFingerprintLibrary() {
  FingerprintLibrary* library = captureState.library;
  if (!library) return;
  // A host that unloads its GINA while capture runs: callbacks are stopped as at any SAS, so none
  // is left running in code that is about to go.
  CloseCaptureGate();
  captureState.captureRunning = false;
  library->PxCapFinalize();
  library->PxFinalize();
  library->Unload();
  delete library;
  captureState.library = nullptr;
}
