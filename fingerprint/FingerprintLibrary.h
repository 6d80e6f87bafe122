// The fingerprint library, "papyl.dll", bound at run time: one wrapper per entry point the module
// uses, each resolved on its first call and answering -2 when the library or the entry point is
// missing.
#pragma once

#include <windows.h>

#include "fingerprint/RuntimeLibrary.h"

// The library's file, loaded by its bare name from the module's folder.
constexpr char kFingerprintLibraryFile[] = "papyl.dll";

// The library's callbacks into the module.
typedef void(WINAPI* SensorStatusCallback)(const char* sensorId, int event);
typedef void(WINAPI* FingerEventCallback)(const char* sensorId, int event);
typedef void(WINAPI* FingerImageCallback)(const char* sensorId, int width, int height,
                                          const unsigned char* pixels, int resolution);

// Status events the library reports for a reader.
constexpr int SensorUnplugged = 20;
constexpr int SensorPlugged = 21;

// The result of every wrapper when the library or the entry point is missing.
constexpr int kLibraryMissing = -2;

// A cached lookup: resolved when its stamp matches the owning object's.
struct EntryPointSlot {
  FARPROC entry;
  WORD stamp;
};

constexpr int kEntryPointSlots = 22;

class FingerprintLibrary : public RuntimeLibrary {
 public:
  FingerprintLibrary();
  ~FingerprintLibrary() override;

  int PxCapInitialize(SensorStatusCallback onStatus);
  int PxCapFinalize();
  int PxCapStartCapture(const char* sensorId, FingerEventCallback onEvent,
                        FingerImageCallback onImage);
  int PxCapStopCapture(const char* sensorId);
  int PxBiometricDisplay(const unsigned char* fingerprintTemplate, const unsigned char* pixels,
                         int width, int height, int resolution, HDC dc, HBITMAP* bitmap,
                         int matchContext);
  int PxExtract(const unsigned char* pixels, int width, int height, int resolution,
                unsigned char* fingerprintTemplate, int* templateSize, int context);
  int PxInitialize();
  int PxFinalize();
  int PxVerify(const unsigned char* candidate, const unsigned char* reference, int* score,
               int context);
  int PxSetBiometricDisplayColors(DWORD color1, DWORD color2, DWORD color3, DWORD color4,
                                  DWORD color5, DWORD color6);
  int PxGetPapylVersion(unsigned char* first, unsigned char* second);

 private:
  FARPROC Resolve(int slot, const char* exportedName);
  template <class Entry, class... Args>
  int Call(int slot, const char* exportedName, Args... args);

  EntryPointSlot slots_[kEntryPointSlots];
};
