// The capture session: the fingerprint library and its capture layer are initialised while a
// notice is up, readers report in and out, and the notice's lines and picture follow them.
#pragma once

#include <windows.h>

// Result of StartFingerprintCapture when there is no library object.
constexpr int kNoLibraryObject = -113;

// 0 when capture runs (also when it already ran), -113 without a library, otherwise the failing
// library result (shown to the user for -1 and -6 of the library, and for the capture layer).
int StartFingerprintCapture();
// Ends capture: no callback acts after this returns. Does nothing when capture is not running.
void StopFingerprintCapture();

// The library's status and finger-event callbacks.
void WINAPI OnSensorStatus(const char* sensorId, int event);
void WINAPI OnFingerEvent(const char* sensorId, int event);
