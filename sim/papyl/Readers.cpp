// Readers, their worker threads and the capture layer. One lock guards every reader and the
// layer; it is never held while a callback runs, so callbacks may call the library freely.
// Events carry the layer's generation (and, for images, the reader's capture session) from when
// they were queued; closing the layer or stopping a capture moves those on, so older events are
// dropped instead of delivered.
//
// Worker threads never exit while the library is loaded: a reset frees their readers for reuse,
// and an unloading parks them for good, since under the loader lock an exit cannot be waited for
// and the library's code must not run after the unloading.
#include "sim/papyl/Readers.h"

#include <cstring>
#include <deque>
#include <map>
#include <vector>

#include "sim/CriticalSectionLock.h"
#include "sim/papyl/FingerImages.h"

namespace {

constexpr int kIdLength = 64;
constexpr DWORD kFinalizeWaitLimit = 10000;
constexpr DWORD kResetWaitLimit = 2000;
constexpr DWORD kUnloadWaitLimit = 2000;
constexpr DWORD kStartWaitLimit = 10000;
// Room for the callbacks (dialogs and message boxes included), and little enough that the workers
// an unloading leaves parked cost little.
constexpr SIZE_T kWorkerStack = 512 * 1024;

enum EventKind { kStatusEvent, kImageEvent };

struct Event {
  EventKind kind;
  int status;
  int finger, placement;
  LONG generation, session;
};

// A reader and the worker thread that delivers its events. After a reset the pair waits, free,
// for the next reader id.
struct Reader {
  bool inUse = false;
  char id[kIdLength] = {};
  bool plugged = false, capturing = false;
  LONG session = 0;
  PapylFingerEventCallback onFingerEvent = nullptr;
  PapylImageCallback onImage = nullptr;
  std::deque<Event> queue;
  bool busy = false;  // an event is out of the queue and not finished yet
  bool inCallback = false;
  LONG callbackGeneration = 0;  // the layer's generation when the running callback was queued
  bool park = false;  // the library is unloading
  HANDLE thread = nullptr, wake = nullptr;
  HANDLE started = nullptr;  // set once the worker runs
  HANDLE parked = nullptr;   // set once the worker has stopped for good
  DWORD threadId = 0;
  FingerCanvas canvas;  // the worker's own, reused for the same finger
  std::vector<unsigned char> pixels;
};

struct Layer {
  CRITICAL_SECTION lock;
  std::vector<Reader*> readers;  // in use or free
  PapylStatusCallback onStatus = nullptr;
  bool open = false;
  bool finalizeWaits = false;
  bool reportsInsideInitialize = false;
  int reportTimeouts = 0;
  LONG generation = 0;
  int finalizeTimeouts = 0;
  std::map<int, int> placements;  // next placement of each finger
};
Layer layer;

struct Locked : CriticalSectionLock {
  Locked() : CriticalSectionLock(layer.lock) {}
};

Reader* Find(const char* sensorId) {
  if (!sensorId) return nullptr;
  for (Reader* reader : layer.readers)
    if (reader->inUse && std::strncmp(reader->id, sensorId, kIdLength - 1) == 0) return reader;
  return nullptr;
}

void Queue(Reader& reader, Event event) {
  event.generation = layer.generation;
  event.session = reader.session;
  reader.queue.push_back(event);
  SetEvent(reader.wake);
}

void QueueStatus(Reader& reader, int status) { Queue(reader, {kStatusEvent, status, 0, 0, 0, 0}); }

// Waits for the next event; false once the library is unloading.
bool TakeEvent(Reader& reader, Event& event) {
  Locked locked;
  while (!reader.park && reader.queue.empty()) {
    LeaveCriticalSection(&layer.lock);
    WaitForSingleObject(reader.wake, INFINITE);
    EnterCriticalSection(&layer.lock);
  }
  if (reader.park) return false;
  event = reader.queue.front();
  reader.queue.pop_front();
  reader.busy = true;
  return true;
}

bool StillWanted(const Reader& reader, const Event& event) {
  if (reader.park || !layer.open || event.generation != layer.generation) return false;
  return event.kind == kStatusEvent || (reader.capturing && event.session == reader.session);
}

void Deliver(Reader& reader, const Event& event) {
  if (event.kind == kImageEvent)
    DrawFingerImage(reader.canvas, event.finger, event.placement, reader.pixels.data());
  bool wanted;
  PapylStatusCallback onStatus;
  PapylFingerEventCallback onFingerEvent;
  PapylImageCallback onImage;
  {
    Locked locked;
    wanted = reader.inCallback = StillWanted(reader, event);
    reader.callbackGeneration = event.generation;
    onStatus = layer.onStatus;
    onFingerEvent = reader.onFingerEvent;
    onImage = reader.onImage;
  }
  if (wanted && event.kind == kStatusEvent && onStatus) onStatus(reader.id, event.status);
  if (wanted && event.kind == kImageEvent) {
    if (onFingerEvent) onFingerEvent(reader.id, kFingerTouching);
    if (onImage)
      onImage(reader.id, kFingerImageWidth, kFingerImageHeight, reader.pixels.data(),
              kFingerImageResolution);
  }
  Locked locked;
  reader.inCallback = false;
  reader.busy = false;
}

DWORD WINAPI RunReader(LPVOID parameter) {
  Reader& reader = *static_cast<Reader*>(parameter);
  SetEvent(reader.started);
  Event event;
  while (TakeEvent(reader, event)) Deliver(reader, event);
  // The library is unloading and its code is about to go: stop inside the system, in a wait that
  // nothing ends before the process does, and never come back here.
  for (;;) SignalObjectAndWait(reader.parked, GetCurrentProcess(), INFINITE, FALSE);
}

Reader* NewReader() {
  Reader* reader = new Reader;
  reader->pixels.resize(kFingerImageBytes);
  reader->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  reader->parked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  reader->started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  reader->thread = CreateThread(nullptr, kWorkerStack, RunReader, reader,
                                STACK_SIZE_PARAM_IS_A_RESERVATION, &reader->threadId);
  // Under the 32-bit emulation here, a thread created before the previous one has started brings
  // Wine down; so each worker is let start before anything else happens.
  WaitForSingleObject(reader->started, kStartWaitLimit);
  layer.readers.push_back(reader);
  return reader;
}

// A free reader whose worker has finished its last callback, or a new one.
Reader* AddReader(const char* sensorId) {
  Reader* reader = nullptr;
  for (Reader* candidate : layer.readers)
    if (!candidate->inUse && !candidate->busy) reader = candidate;
  if (!reader) reader = NewReader();
  reader->inUse = true;
  std::memset(reader->id, 0, sizeof reader->id);
  std::strncpy(reader->id, sensorId, kIdLength - 1);
  return reader;
}

void Free(Reader& reader) {
  reader.inUse = reader.plugged = reader.capturing = false;
  ++reader.session;
  reader.onFingerEvent = nullptr;
  reader.onImage = nullptr;
  reader.queue.clear();
}

// Waits until `done` holds (checked under the lock) or `timeoutMs` pass, answering the messages
// that other threads send to the caller's windows meanwhile: a callback that updates a window of
// a test's thread must not stall a test that waits for it. Posted messages stay queued.
template <class Condition>
bool AwaitAnsweringSentMessages(DWORD timeoutMs, Condition done) {
  for (DWORD start = GetTickCount();;) {
    {
      Locked locked;
      if (done()) return true;
    }
    if (GetTickCount() - start >= timeoutMs) return false;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
}

// Under the lock: no event waits and no callback runs, except the caller's own.
bool Idle() {
  for (Reader* reader : layer.readers)
    if (!reader->queue.empty() || (reader->busy && reader->threadId != GetCurrentThreadId()))
      return false;
  return true;
}

// Under the lock: callbacks in progress on threads other than the caller's.
int OthersInCallback() {
  int running = 0;
  for (Reader* reader : layer.readers)
    running += reader->inCallback && reader->threadId != GetCurrentThreadId();
  return running;
}

}  // namespace

void InitialiseReaders() { InitializeCriticalSection(&layer.lock); }

void ShutDownReadersForUnload() {
  std::vector<Reader*> all;
  {
    Locked locked;
    layer.open = false;
    all.swap(layer.readers);
    for (Reader* reader : all) {
      reader->park = true;
      reader->queue.clear();
      SetEvent(reader->wake);
    }
  }
  // A callback in progress gets a moment to return; a worker still inside one then would run
  // into unmapped code, and is ended where it stands as the last resort.
  DWORD start = GetTickCount();
  for (Reader* reader : all) {
    DWORD waited = GetTickCount() - start;
    DWORD left = waited < kUnloadWaitLimit ? kUnloadWaitLimit - waited : 0;
    if (WaitForSingleObject(reader->parked, left) != WAIT_OBJECT_0)
      TerminateThread(reader->thread, 0);
    CloseHandle(reader->thread);
    CloseHandle(reader->wake);
    CloseHandle(reader->parked);
    CloseHandle(reader->started);
    delete reader;
  }
}

void ResetReaders() {
  {
    Locked locked;
    for (Reader* reader : layer.readers) Free(*reader);
    layer.onStatus = nullptr;
    layer.open = layer.finalizeWaits = layer.reportsInsideInitialize = false;
    layer.reportTimeouts = 0;
    ++layer.generation;
    layer.finalizeTimeouts = 0;
    layer.placements.clear();
  }
  // Callbacks in progress finish first; one that takes too long is left to finish alone, and its
  // worker is reused only after that.
  AwaitAnsweringSentMessages(kResetWaitLimit, Idle);
}

// Under the lock: the reports queued so far are delivered and their callbacks have returned.
bool ReportsDelivered() {
  for (Reader* reader : layer.readers)
    if (!reader->queue.empty() || reader->busy) return false;
  return true;
}

void OpenCaptureLayer(PapylStatusCallback onStatus) {
  bool waitForReports;
  {
    Locked locked;
    layer.onStatus = onStatus;
    layer.open = true;
    ++layer.generation;
    for (Reader* reader : layer.readers)
      if (reader->inUse && reader->plugged) QueueStatus(*reader, kSensorPlugged);
    waitForReports = layer.reportsInsideInitialize;
  }
  if (!waitForReports) return;
  // Like a library that reports the readers it finds before it returns: it answers no messages
  // meanwhile, so a callback that waits for the initialising thread shows up as a timeout.
  for (DWORD start = GetTickCount();; Sleep(1)) {
    Locked locked;
    if (ReportsDelivered()) return;
    if (GetTickCount() - start >= kFinalizeWaitLimit) {
      ++layer.reportTimeouts;
      return;
    }
  }
}

void SetReportsInsideInitialize(bool inside) {
  Locked locked;
  layer.reportsInsideInitialize = inside;
}

int ReportTimeouts() {
  Locked locked;
  return layer.reportTimeouts;
}

void CloseCaptureLayer() {
  {
    Locked locked;
    layer.open = false;
    ++layer.generation;
    for (Reader* reader : layer.readers) {
      reader->queue.clear();
      reader->capturing = false;
      ++reader->session;
    }
  }
  WaitForCallbacksIfAsked();
}

// Like a library whose finalisation joins its threads, this answers no messages meanwhile: a
// callback that waits for the finalising thread shows up as a timeout.
void WaitForCallbacksIfAsked() {
  {
    Locked locked;
    if (!layer.finalizeWaits) return;
  }
  for (DWORD start = GetTickCount();; Sleep(1)) {
    Locked locked;
    if (OthersInCallback() == 0) return;
    if (GetTickCount() - start >= kFinalizeWaitLimit) {
      ++layer.finalizeTimeouts;
      return;
    }
  }
}

void SetFinalizeWaits(bool waits) {
  Locked locked;
  layer.finalizeWaits = waits;
}

int FinalizeTimeouts() {
  Locked locked;
  return layer.finalizeTimeouts;
}

void StartCaptureOn(const char* sensorId, PapylFingerEventCallback onFingerEvent,
                    PapylImageCallback onImage) {
  Locked locked;
  Reader* reader = Find(sensorId);
  if (!reader || !reader->plugged || !layer.open) return;
  reader->capturing = true;
  ++reader->session;
  reader->onFingerEvent = onFingerEvent;
  reader->onImage = onImage;
}

void StopCaptureOn(const char* sensorId) {
  Locked locked;
  Reader* reader = Find(sensorId);
  if (!reader) return;
  reader->capturing = false;
  ++reader->session;
}

void PlugReader(const char* sensorId) {
  if (!sensorId) return;
  Locked locked;
  Reader* reader = Find(sensorId);
  if (!reader) reader = AddReader(sensorId);
  if (reader->plugged) return;
  reader->plugged = true;
  if (layer.open) QueueStatus(*reader, kSensorPlugged);
}

void UnplugReader(const char* sensorId) {
  Locked locked;
  Reader* reader = Find(sensorId);
  if (!reader || !reader->plugged) return;
  reader->plugged = reader->capturing = false;
  ++reader->session;
  if (layer.open) QueueStatus(*reader, kSensorUnplugged);
}

void PlaceFinger(const char* sensorId, int finger) {
  Locked locked;
  Reader* reader = Find(sensorId);
  if (!reader || !reader->capturing || !layer.open || finger < 1) return;
  Queue(*reader, {kImageEvent, 0, finger, layer.placements[finger]++, 0, 0});
}

bool WaitUntilIdle(DWORD timeoutMs) { return AwaitAnsweringSentMessages(timeoutMs, Idle); }

int CallbacksRunning() {
  Locked locked;
  int running = 0;
  for (Reader* reader : layer.readers) running += reader->inCallback;
  return running;
}

bool InCallbackOfEndedLayer() {
  Locked locked;
  for (Reader* reader : layer.readers)
    if (reader->threadId == GetCurrentThreadId() && reader->inCallback)
      return reader->callbackGeneration != layer.generation;
  return false;
}
