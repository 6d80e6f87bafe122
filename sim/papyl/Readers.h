// The stand-in library's readers and its capture layer. Each reader has a worker thread of the
// library with its own queue of events; status reports, finger events and images reach the
// caller's callbacks only on those threads, in the order they were queued.
#pragma once

#include <windows.h>

typedef void(WINAPI* PapylStatusCallback)(const char* sensorId, int event);
typedef void(WINAPI* PapylFingerEventCallback)(const char* sensorId, int event);
typedef void(WINAPI* PapylImageCallback)(const char* sensorId, int width, int height,
                                         const unsigned char* pixels, int resolution);

constexpr int kSensorUnplugged = 20;
constexpr int kSensorPlugged = 21;
constexpr int kFingerTouching = 1;  // finger event sent just before each image

void InitialiseReaders();  // at process attach
// On FreeLibrary, under the loader lock: no worker may run the library's code after this, and
// none can be waited for while it exits (that exit needs the loader lock). Workers are stopped
// in a system wait that lasts until the process ends (a small leak per unloading with readers).
void ShutDownReadersForUnload();
// Unplugs and forgets every reader (their workers wait to serve new ones), closes the capture
// layer and forgets placements; finalisation stops waiting. Callbacks in progress get 2 s to end.
void ResetReaders();

// _PxCapInitialize@4: reports every plugged reader as plugged; under
// SimPapylSetReportsInsideInitialize(1) it returns only once those reports' callbacks have
// returned (10 s at most; a timeout is counted).
void OpenCaptureLayer(PapylStatusCallback onStatus);
void SetReportsInsideInitialize(bool inside);
int ReportTimeouts();
// _PxCapFinalize@0: no further callbacks, queued events dropped, readers stay plugged.
void CloseCaptureLayer();
// Under SimPapylSetFinalizeWaits(1): blocks until callbacks on other threads return (10 s
// at most; a timeout is counted).
void WaitForCallbacksIfAsked();
void SetFinalizeWaits(bool waits);
int FinalizeTimeouts();

void StartCaptureOn(const char* sensorId, PapylFingerEventCallback onFingerEvent,
                    PapylImageCallback onImage);
void StopCaptureOn(const char* sensorId);

void PlugReader(const char* sensorId);
void UnplugReader(const char* sensorId);
void PlaceFinger(const char* sensorId, int finger);

bool WaitUntilIdle(DWORD timeoutMs);
int CallbacksRunning();

// True in a callback that the library queued before its capture layer last closed or opened
// again: a caller that still acts there is acting too late.
bool InCallbackOfEndedLayer();
