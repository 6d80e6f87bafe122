// The fingerprint library's reports, from its threads to the main thread. Nothing here may
// throw into the library: memory comes from new (std::nothrow), and a report that finds the
// queue full is dropped (a finger is simply placed again).
#include "tools/enroll/CaptureQueue.h"

#include <cstring>
#include <new>

namespace {

constexpr int kQueueLength = 8;
// No reader's image comes near this; a larger one is taken as damaged.
constexpr int kMaxImageSide = 4096;

// Made once and kept for the life of the process: a callback that comes late still finds a
// valid lock, and the queue turned off.
struct Queue {
  CRITICAL_SECTION lock;
  HANDLE arrived = nullptr;  // auto-reset: signalled when a report is queued
  bool open = false;
  int first = 0;
  int count = 0;
  CaptureReport reports[kQueueLength];
};
Queue queue;

void CopyReaderId(char (&to)[kReaderIdLength], const char* sensorId) {
  to[0] = '\0';
  if (sensorId) lstrcpynA(to, sensorId, kReaderIdLength);
}

// Queues report, or frees its pixels when the queue is closed or full.
void Push(CaptureReport& report) {
  EnterCriticalSection(&queue.lock);
  bool taken = queue.open && queue.count < kQueueLength;
  if (taken) {
    queue.reports[(queue.first + queue.count) % kQueueLength] = report;
    ++queue.count;
    SetEvent(queue.arrived);
  }
  LeaveCriticalSection(&queue.lock);
  if (!taken) ReleaseReport(report);
}

bool Pop(CaptureReport& report) {
  EnterCriticalSection(&queue.lock);
  bool found = queue.count > 0;
  if (found) {
    report = queue.reports[queue.first];
    queue.first = (queue.first + 1) % kQueueLength;
    --queue.count;
  }
  LeaveCriticalSection(&queue.lock);
  return found;
}

void DropAll() {
  CaptureReport report{};
  while (Pop(report)) ReleaseReport(report);
}

}  // namespace

bool OpenCaptureQueue() {
  if (!queue.arrived) {
    queue.arrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!queue.arrived) return false;
    InitializeCriticalSection(&queue.lock);
  }
  DropAll();
  EnterCriticalSection(&queue.lock);
  queue.open = true;
  LeaveCriticalSection(&queue.lock);
  return true;
}

void CloseCaptureQueue() {
  if (!queue.arrived) return;
  EnterCriticalSection(&queue.lock);
  queue.open = false;
  LeaveCriticalSection(&queue.lock);
  DropAll();
}

bool TakeCaptureReport(CaptureReport& report, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (Pop(report)) return true;
    DWORD waited = GetTickCount() - start;
    if (waited >= timeoutMs) return false;
    // The event may be left over from a report taken already: look again after each wake.
    if (WaitForSingleObject(queue.arrived, timeoutMs - waited) == WAIT_FAILED) return false;
  }
}

void ReleaseReport(CaptureReport& report) {
  delete[] report.pixels;
  report.pixels = nullptr;
}

void WINAPI QueueReaderStatus(const char* sensorId, int event) {
  CaptureReport report{CaptureReport::ReaderStatus, {}, event, 0, 0, 0, nullptr};
  CopyReaderId(report.reader, sensorId);
  Push(report);
}

void WINAPI IgnoreFingerEvent(const char*, int) {}

void WINAPI QueueFingerImage(const char* sensorId, int width, int height,
                             const unsigned char* pixels, int resolution) {
  CaptureReport report{CaptureReport::FingerImage, {}, 0, width, height, resolution, nullptr};
  CopyReaderId(report.reader, sensorId);
  // The library's buffer is only lent for the call. An image that cannot be copied goes on
  // without pixels, so that the finger is asked for again.
  bool sane =
      pixels && width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
  size_t size = sane ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
  if (sane) report.pixels = new (std::nothrow) BYTE[size];
  if (report.pixels) memcpy(report.pixels, pixels, size);
  Push(report);
}
