// A stand-in for the fingerprint library "papyl.dll": its eleven entry points under their exported
// names, each counting its calls and answering what a test chose (0, and edition 1, by default).
#include <windows.h>

#include <cstring>

#include "sim/ArgumentWords.h"

namespace {

const char* const kEntryPoints[] = {
    "_PxInitialize@0",       "_PxFinalize@0",          "_PxCapInitialize@4",
    "_PxCapFinalize@0",      "_PxCapStartCapture@12",  "_PxCapStopCapture@4",
    "_PxExtract@28",         "_PxVerify@16",           "_PxBiometricDisplay@32",
    "_PxSetBiometricDisplayColors@24", "_PxGetPapylVersion@8",
};
constexpr int kEntryPointCount = sizeof kEntryPoints / sizeof kEntryPoints[0];

constexpr int kMaxArgs = 8;

struct Counters {
  LONG calls[kEntryPointCount];
  int results[kEntryPointCount];
  UINT_PTR lastArgs[kEntryPointCount][kMaxArgs];
};
Counters counters;

int IndexOf(const char* exportedName) {
  for (int i = 0; i < kEntryPointCount; ++i)
    if (std::strcmp(kEntryPoints[i], exportedName) == 0) return i;
  return -1;
}

// Counts one call, keeps its arguments and gives the chosen answer.
template <class... Args>
int Answer(const char* exportedName, Args... args) {
  int i = IndexOf(exportedName);
  InterlockedIncrement(&counters.calls[i]);
  UINT_PTR words[] = {0, AsWord(args)...};
  for (size_t a = 0; a < sizeof...(args); ++a) counters.lastArgs[i][a] = words[a + 1];
  return counters.results[i];
}

void ResetCounters() {
  counters = Counters{};
  counters.results[IndexOf("_PxGetPapylVersion@8")] = 1;
}

}  // namespace

extern "C" {

void SimPapylReset() { ResetCounters(); }

int SimPapylCallCount(const char* exportedName) {
  int i = IndexOf(exportedName);
  return i < 0 ? -1 : static_cast<int>(counters.calls[i]);
}

void SimPapylSetResult(const char* exportedName, int result) {
  int i = IndexOf(exportedName);
  if (i >= 0) counters.results[i] = result;
}

UINT_PTR SimPapylLastArgument(const char* exportedName, int position) {
  int i = IndexOf(exportedName);
  return i < 0 || position < 0 || position >= kMaxArgs ? 0 : counters.lastArgs[i][position];
}

int WINAPI PxInitialize() { return Answer("_PxInitialize@0"); }
int WINAPI PxFinalize() { return Answer("_PxFinalize@0"); }
int WINAPI PxCapInitialize(void* onStatus) { return Answer("_PxCapInitialize@4", onStatus); }
int WINAPI PxCapFinalize() { return Answer("_PxCapFinalize@0"); }
int WINAPI PxCapStartCapture(const char* sensorId, void* onEvent, void* onImage) {
  return Answer("_PxCapStartCapture@12", sensorId, onEvent, onImage);
}
int WINAPI PxCapStopCapture(const char* sensorId) {
  return Answer("_PxCapStopCapture@4", sensorId);
}
int WINAPI PxExtract(const unsigned char* pixels, int width, int height, int resolution,
                     unsigned char* fingerprintTemplate, int* templateSize, int context) {
  return Answer("_PxExtract@28", pixels, width, height, resolution, fingerprintTemplate,
                templateSize, context);
}
int WINAPI PxVerify(const unsigned char* candidate, const unsigned char* reference, int* score,
                    int context) {
  return Answer("_PxVerify@16", candidate, reference, score, context);
}
int WINAPI PxBiometricDisplay(const unsigned char* fingerprintTemplate, const unsigned char* pixels,
                              int width, int height, int resolution, HDC dc, HBITMAP* bitmap,
                              int matchContext) {
  return Answer("_PxBiometricDisplay@32", fingerprintTemplate, pixels, width, height, resolution,
                dc, bitmap, matchContext);
}
int WINAPI PxSetBiometricDisplayColors(DWORD c1, DWORD c2, DWORD c3, DWORD c4, DWORD c5,
                                       DWORD c6) {
  return Answer("_PxSetBiometricDisplayColors@24", c1, c2, c3, c4, c5, c6);
}
int WINAPI PxGetPapylVersion(unsigned char* first, unsigned char* second) {
  return Answer("_PxGetPapylVersion@8", first, second);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ResetCounters();
  return TRUE;
}

}  // extern "C"
