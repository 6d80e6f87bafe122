// What the capture layer owns: the one fingerprint library object, prepared when the module is
// loaded and released when it is unloaded, and whether capture runs.
#pragma once

class FingerprintLibrary;

struct CaptureState {
  FingerprintLibrary* library;  // owned; null when the fingerprint library could not be prepared
  bool captureRunning;          // the library and its capture layer are initialised; written only
                                // on Winlogon's thread
};

extern CaptureState captureState;

// Loads the library from the current directory; without it, captureState.library stays null.
void PrepareFingerprintLibrary();
// Stops capture if it runs (no callback is left running in code that is about to go), finalises
// the library and unloads it.
void ReleaseFingerprintLibrary();
