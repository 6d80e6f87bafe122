// Handing the fingerprint library's reports from its threads to the tool's main thread. The
// callbacks copy what they are given into a small queue under a lock and signal an event; the
// main thread takes the reports out one by one, in the order they came.
#pragma once

#include <windows.h>

constexpr int kReaderIdLength = 64;

struct CaptureReport {
  enum Kind { ReaderStatus, FingerImage } kind;
  char reader[kReaderIdLength];  // the reader's id, cut to fit
  int status;                    // ReaderStatus: 21 plugged, 20 unplugged
  int width, height, resolution;
  // FingerImage: a copy of the width * height 8-bit grey pixels, freed by the taker; null when
  // the image could not be copied.
  BYTE* pixels;
};

// Empties the queue and lets the callbacks fill it. False when the event cannot be made.
bool OpenCaptureQueue();
// Stops taking reports and frees any still queued; later callbacks are dropped.
void CloseCaptureQueue();

// Waits up to timeoutMs for the next report; false when none came. The caller frees
// report.pixels with ReleaseReport.
bool TakeCaptureReport(CaptureReport& report, DWORD timeoutMs);
void ReleaseReport(CaptureReport& report);

// The callbacks handed to the library.
void WINAPI QueueReaderStatus(const char* sensorId, int event);
void WINAPI IgnoreFingerEvent(const char* sensorId, int event);
void WINAPI QueueFingerImage(const char* sensorId, int width, int height,
                             const unsigned char* pixels, int resolution);
