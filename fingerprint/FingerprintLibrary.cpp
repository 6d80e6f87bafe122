// The fingerprint library bound at run time.
#include "fingerprint/FingerprintLibrary.h"

namespace {

// Slot numbers, in the library's own order; the gaps are entry points the module does not use.
enum Slot {
  kCapInitialize = 1,
  kCapFinalize = 2,
  kCapStartCapture = 3,
  kCapStopCapture = 4,
  kBiometricDisplay = 8,
  kExtract = 9,
  kInitialize = 10,
  kFinalize = 11,
  kVerify = 14,
  kSetBiometricDisplayColors = 21,
  kGetPapylVersion = 22,
};

WORD LowWord(DWORD value) { return static_cast<WORD>(value & 0xFFFF); }

}  // namespace

FingerprintLibrary::FingerprintLibrary() {
  // A stamp that can never match this object's marks every slot unresolved.
  for (EntryPointSlot& slot : slots_) slot = {nullptr, static_cast<WORD>(~LowWord(stamp_))};
}

FingerprintLibrary::~FingerprintLibrary() = default;

FARPROC FingerprintLibrary::Resolve(int slotNumber, const char* exportedName) {
  EntryPointSlot& slot = slots_[slotNumber - 1];
  if (slot.stamp != LowWord(stamp_)) {
    // A missing entry point is remembered as missing: one lookup in the object's life.
    slot.entry = nullptr;
    slot.entry = GetProcAddress(module_, exportedName);
    slot.stamp = LowWord(stamp_);
  }
  return slot.entry;
}

template <class Entry, class... Args>
int FingerprintLibrary::Call(int slot, const char* exportedName, Args... args) {
  if (!module_) return kLibraryMissing;
  FARPROC entry = Resolve(slot, exportedName);
  if (!entry) return kLibraryMissing;
  return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(entry))(args...);
}

int FingerprintLibrary::PxCapInitialize(SensorStatusCallback onStatus) {
  return Call<int(WINAPI*)(SensorStatusCallback)>(kCapInitialize, "_PxCapInitialize@4", onStatus);
}

int FingerprintLibrary::PxCapFinalize() {
  return Call<int(WINAPI*)()>(kCapFinalize, "_PxCapFinalize@0");
}

int FingerprintLibrary::PxCapStartCapture(const char* sensorId, FingerEventCallback onEvent,
                                          FingerImageCallback onImage) {
  return Call<int(WINAPI*)(const char*, FingerEventCallback, FingerImageCallback)>(
      kCapStartCapture, "_PxCapStartCapture@12", sensorId, onEvent, onImage);
}

int FingerprintLibrary::PxCapStopCapture(const char* sensorId) {
  return Call<int(WINAPI*)(const char*)>(kCapStopCapture, "_PxCapStopCapture@4", sensorId);
}

int FingerprintLibrary::PxBiometricDisplay(const unsigned char* fingerprintTemplate,
                                           const unsigned char* pixels, int width, int height,
                                           int resolution, HDC dc, HBITMAP* bitmap,
                                           int matchContext) {
  return Call<int(WINAPI*)(const unsigned char*, const unsigned char*, int, int, int, HDC,
                           HBITMAP*, int)>(kBiometricDisplay, "_PxBiometricDisplay@32",
                                           fingerprintTemplate, pixels, width, height, resolution,
                                           dc, bitmap, matchContext);
}

int FingerprintLibrary::PxExtract(const unsigned char* pixels, int width, int height,
                                  int resolution, unsigned char* fingerprintTemplate,
                                  int* templateSize, int context) {
  return Call<int(WINAPI*)(const unsigned char*, int, int, int, unsigned char*, int*, int)>(
      kExtract, "_PxExtract@28", pixels, width, height, resolution, fingerprintTemplate,
      templateSize, context);
}

int FingerprintLibrary::PxInitialize() {
  return Call<int(WINAPI*)()>(kInitialize, "_PxInitialize@0");
}

int FingerprintLibrary::PxFinalize() { return Call<int(WINAPI*)()>(kFinalize, "_PxFinalize@0"); }

int FingerprintLibrary::PxVerify(const unsigned char* candidate, const unsigned char* reference,
                                 int* score, int context) {
  return Call<int(WINAPI*)(const unsigned char*, const unsigned char*, int*, int)>(
      kVerify, "_PxVerify@16", candidate, reference, score, context);
}

int FingerprintLibrary::PxSetBiometricDisplayColors(DWORD color1, DWORD color2, DWORD color3,
                                                    DWORD color4, DWORD color5, DWORD color6) {
  return Call<int(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD)>(
      kSetBiometricDisplayColors, "_PxSetBiometricDisplayColors@24", color1, color2, color3,
      color4, color5, color6);
}

int FingerprintLibrary::PxGetPapylVersion(unsigned char* first, unsigned char* second) {
  return Call<int(WINAPI*)(unsigned char*, unsigned char*)>(kGetPapylVersion,
                                                            "_PxGetPapylVersion@8", first, second);
}
