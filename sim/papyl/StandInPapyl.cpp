// A stand-in for the fingerprint library "papyl.dll": its eleven entry points under their
// exported names, behaving like a small fingerprint library with simulated readers, plus the
// SimPapyl* control exports through which tests and the demo plug readers, place fingers, force
// answers and look at what the library was asked.
#include <windows.h>

#include <vector>

#include "sim/ArgumentWords.h"
#include "sim/CriticalSectionLock.h"
#include "sim/papyl/Display.h"
#include "sim/papyl/EntryPoints.h"
#include "sim/papyl/FingerImages.h"
#include "sim/papyl/Readers.h"
#include "sim/papyl/TemplateRoom.h"
#include "sim/papyl/Templates.h"

namespace {

constexpr int kEdition = 1;
constexpr int kBadArgument = -1;
constexpr int kForcedMismatchScore = 100;  // catches a caller that takes an error for a match

// Counts the call with its arguments; true (with the answer) when a test forced the result.
template <class... Args>
bool Forced(EntryPoint entryPoint, int* result, Args... args) {
  UINT_PTR words[] = {0, AsWord(args)...};
  RecordCall(entryPoint, words + 1, static_cast<int>(sizeof...(args)));
  return ForcedResult(entryPoint, result);
}

// Draws one placement for the control exports, on a canvas of their own.
struct ControlCanvas {
  CRITICAL_SECTION lock;
  FingerCanvas canvas;
};
ControlCanvas control;

bool DrawForControl(int finger, int placement, unsigned char* pixels) {
  CriticalSectionLock guard(control.lock);
  return DrawFingerImage(control.canvas, finger, placement, pixels);
}

int VerifyNaturally(const unsigned char* candidate, const unsigned char* reference, int* score,
                    int context) {
  FeatureSet candidateFeatures, referenceFeatures;
  if (!candidate || !reference || !ReadTemplate(candidate, candidateFeatures) ||
      !ReadTemplate(reference, referenceFeatures)) {
    if (score) *score = 0;
    return kBadArgument;
  }
  Comparison comparison = CompareFeatures(candidateFeatures, referenceFeatures);
  if (context == 0) RememberMatch(candidate, reference, comparison);
  if (score) *score = comparison.score;
  return comparison.matched ? 1 : 0;
}

// How long an extraction takes, as a slow library's may (0: at once).
volatile LONG extractDelayMs = 0;

void ResetLibrary() {
  ResetReaders();
  ResetEntryPoints();
  ResetDisplay();
  ResetTemplateRoom();
  InterlockedExchange(&extractDelayMs, 0);
}

}  // namespace

extern "C" {

// ---- The library's entry points ----

int WINAPI PxInitialize() {
  int result;
  if (!Forced(kInitialize, &result)) result = 0;
  SetLibraryInitialised(result == 0);
  return result;
}

int WINAPI PxFinalize() {
  int result;
  bool forced = Forced(kFinalize, &result);
  WaitForCallbacksIfAsked();
  SetLibraryInitialised(false);
  return forced ? result : 0;
}

int WINAPI PxCapInitialize(PapylStatusCallback onStatus) {
  int result;
  if (Forced(kCapInitialize, &result, onStatus) && result != 0) return result;
  OpenCaptureLayer(onStatus);
  return 0;
}

int WINAPI PxCapFinalize() {
  int result;
  bool forced = Forced(kCapFinalize, &result);
  CloseCaptureLayer();
  return forced ? result : 0;
}

int WINAPI PxCapStartCapture(const char* sensorId, PapylFingerEventCallback onFingerEvent,
                             PapylImageCallback onImage) {
  int result;
  bool forced = Forced(kCapStartCapture, &result, sensorId, onFingerEvent, onImage);
  StartCaptureOn(sensorId, onFingerEvent, onImage);
  return forced ? result : 0;
}

int WINAPI PxCapStopCapture(const char* sensorId) {
  int result;
  bool forced = Forced(kCapStopCapture, &result, sensorId);
  StopCaptureOn(sensorId);
  return forced ? result : 0;
}

// A forced answer writes no template and does not look at the pixels.
int WINAPI PxExtract(const unsigned char* pixels, int width, int height, int resolution,
                     unsigned char* fingerprintTemplate, int* templateSize, int context) {
  int result;
  bool forced = Forced(kExtract, &result, pixels, width, height, resolution, fingerprintTemplate,
                       templateSize, context);
  if (extractDelayMs) Sleep(static_cast<DWORD>(extractDelayMs));
  if (forced) return result;
  return ExtractTemplate(pixels, width, height, resolution, fingerprintTemplate, templateSize);
}

// A forced answer leaves the templates unread: any error or match scores high, no match 0.
int WINAPI PxVerify(const unsigned char* candidate, const unsigned char* reference, int* score,
                    int context) {
  int result;
  NoteTemplateRoom(candidate);
  NoteTemplateRoom(reference);
  if (!Forced(kVerify, &result, candidate, reference, score, context))
    return VerifyNaturally(candidate, reference, score, context);
  if (score) *score = result != 0 ? kForcedMismatchScore : 0;
  return result;
}

// A forced answer draws nothing and hands out no bitmap.
int WINAPI PxBiometricDisplay(const unsigned char* fingerprintTemplate, const unsigned char* pixels,
                              int width, int height, int resolution, HDC dc, HBITMAP* bitmap,
                              int matchContext) {
  int result;
  NoteTemplateRoom(fingerprintTemplate);
  if (!Forced(kBiometricDisplay, &result, fingerprintTemplate, pixels, width, height, resolution,
              dc, bitmap, matchContext))
    return DrawBiometricPicture(fingerprintTemplate, pixels, width, height, dc, bitmap,
                                matchContext);
  if (bitmap) *bitmap = nullptr;
  return result;
}

int WINAPI PxSetBiometricDisplayColors(DWORD c1, DWORD c2, DWORD c3, DWORD c4, DWORD c5, DWORD c6) {
  int result;
  bool forced = Forced(kSetBiometricDisplayColors, &result, c1, c2, c3, c4, c5, c6);
  const DWORD colours[kDisplayColourCount] = {c1, c2, c3, c4, c5, c6};
  SetDisplayColours(colours);
  return forced ? result : 0;
}

int WINAPI PxGetPapylVersion(unsigned char* edition, unsigned char* revision) {
  int result;
  if (!Forced(kGetPapylVersion, &result, edition, revision)) result = kEdition;
  if (edition) *edition = static_cast<unsigned char>(result);
  if (revision) *revision = 0;
  return result;
}

// ---- Control exports for tests and the demo ----

void SimPapylReset() { ResetLibrary(); }

int SimPapylCallCount(const char* exportedName) {
  int entryPoint = EntryPointNamed(exportedName);
  return entryPoint < 0 ? -1 : CallCount(static_cast<EntryPoint>(entryPoint));
}

void SimPapylSetResult(const char* exportedName, int result) {
  int entryPoint = EntryPointNamed(exportedName);
  if (entryPoint >= 0) ForceResult(static_cast<EntryPoint>(entryPoint), result);
}

UINT_PTR SimPapylLastArgument(const char* exportedName, int position) {
  int entryPoint = EntryPointNamed(exportedName);
  return entryPoint < 0 ? 0 : LastArgument(static_cast<EntryPoint>(entryPoint), position);
}

void SimPapylPlugReader(const char* readerId) { PlugReader(readerId); }
void SimPapylUnplugReader(const char* readerId) { UnplugReader(readerId); }
void SimPapylPlaceFinger(const char* readerId, int finger) { PlaceFinger(readerId, finger); }
int SimPapylWaitIdle(DWORD timeoutMs) { return WaitUntilIdle(timeoutMs) ? 1 : 0; }
int SimPapylCallbacksRunning() { return CallbacksRunning(); }
void SimPapylSetDisplayMakesBitmap(int on) { SetDisplayMakesBitmap(on != 0); }
void SimPapylSetFinalizeWaits(int waits) { SetFinalizeWaits(waits != 0); }
int SimPapylFinalizeTimeouts() { return FinalizeTimeouts(); }
int SimPapylLateCalls() { return LateCalls(); }
int SimPapylBitmapsAlive() { return BitmapsAlive(); }
int SimPapylBitmapsMade() { return BitmapsMade(); }
void SimPapylSetReportsInsideInitialize(int on) { SetReportsInsideInitialize(on != 0); }
int SimPapylReportTimeouts() { return ReportTimeouts(); }
void SimPapylSetExtractDelay(int milliseconds) {
  InterlockedExchange(&extractDelayMs, milliseconds > 0 ? milliseconds : 0);
}
void SimPapylSetMeasureTemplateRoom(int on) { SetMeasureTemplateRoom(on != 0); }
int SimPapylSmallestTemplateRoom() { return static_cast<int>(SmallestTemplateRoom()); }

// 0 with the image, -1 when it does not fit (width, height and resolution are still given),
// -2 for a finger below 1 or a negative placement.
int SimPapylFingerImage(int finger, int placement, unsigned char* pixels, int capacity, int* width,
                        int* height, int* resolution) {
  if (width) *width = kFingerImageWidth;
  if (height) *height = kFingerImageHeight;
  if (resolution) *resolution = kFingerImageResolution;
  if (finger < 1 || placement < 0) return -2;
  if (!pixels || capacity < kFingerImageBytes) return -1;
  return DrawForControl(finger, placement, pixels) ? 0 : -2;
}

// The template _PxExtract@28 makes of that placement's image, with its answer (0; -1 for no such
// placement or a null buffer; -2 when *size is short, and *size then says how much is needed).
int SimPapylEnrolTemplate(int finger, int placement, unsigned char* buffer, int* size) {
  std::vector<unsigned char> pixels(kFingerImageBytes);
  if (!DrawForControl(finger, placement, pixels.data())) return kBadImageArgument;
  return ExtractTemplate(pixels.data(), kFingerImageWidth, kFingerImageHeight,
                         kFingerImageResolution, buffer, size);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    InitializeCriticalSection(&control.lock);
    InitialiseReaders();
    InitialiseDisplay();
    ResetLibrary();
  }
  // At process exit the workers are gone already; only an unload must end them.
  if (reason == DLL_PROCESS_DETACH && !reserved) ShutDownReadersForUnload();
  return TRUE;
}

}  // extern "C"
