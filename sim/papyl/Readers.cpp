// Readers, their worker threads and the capture layer. One lock guards every reader and the
// layer; it is never held while a callback runs, so callbacks may call the library freely.
// Events carry the layer's generation (and, for images, the reader's capture session) from when
// they were queued; closing the layer or stopping a capture moves those on, so older events are
// dropped instead of delivered.
#include "sim/papyl/Readers.h"

#include <cstring>
#include <deque>
#include <map>
#include <vector>

#include "sim/papyl/FingerImages.h"

namespace {

constexpr int kIdLength = 64;
constexpr DWORD kFinalizeWaitLimit = 10000;
constexpr DWORD kResetWaitLimit = 2000;
constexpr DWORD kUnloadWaitLimit = 2000;

enum EventKind { kStatusEvent, kImageEvent };

struct Event {
  EventKind kind;
  int status;
  int finger, placement;
  LONG generation, session;
};

struct Reader {
  char id[kIdLength] = {};
  bool plugged = false, capturing = false;
  LONG session = 0;
  PapylFingerEventCallback onFingerEvent = nullptr;
  PapylImageCallback onImage = nullptr;
  std::deque<Event> queue;
  bool busy = false;  // an event is out of the queue and not finished yet
  bool inCallback = false;
  bool leave = false;   // the worker is to stop
  bool parked = false;  // the worker has stopped and sleeps for good
  HANDLE thread = nullptr, wake = nullptr;
  DWORD threadId = 0;
  FingerCanvas canvas;  // the worker's own, reused for the same finger
  std::vector<unsigned char> pixels;
};

struct Layer {
  CRITICAL_SECTION lock;
  std::vector<Reader*> readers;
  std::vector<Reader*> abandoned;  // workers a reset left inside a callback
  PapylStatusCallback onStatus = nullptr;
  bool open = false;
  bool ended = false;  // _PxCapFinalize@0 called since the layer last opened
  bool finalizeWaits = false;
  bool unloading = false;
  LONG generation = 0;
  int finalizeTimeouts = 0;
  std::map<int, int> placements;  // next placement of each finger
};
Layer layer;

struct Locked {
  Locked() { EnterCriticalSection(&layer.lock); }
  ~Locked() { LeaveCriticalSection(&layer.lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

Reader* Find(const char* sensorId) {
  if (!sensorId) return nullptr;
  for (Reader* reader : layer.readers)
    if (std::strncmp(reader->id, sensorId, kIdLength - 1) == 0) return reader;
  return nullptr;
}

void Queue(Reader& reader, Event event) {
  event.generation = layer.generation;
  event.session = reader.session;
  reader.queue.push_back(event);
  SetEvent(reader.wake);
}

void QueueStatus(Reader& reader, int status) { Queue(reader, {kStatusEvent, status, 0, 0, 0, 0}); }

// Waits for the next event; false once the worker is to stop.
bool TakeEvent(Reader& reader, Event& event) {
  Locked locked;
  while (!reader.leave && reader.queue.empty()) {
    LeaveCriticalSection(&layer.lock);
    WaitForSingleObject(reader.wake, INFINITE);
    EnterCriticalSection(&layer.lock);
  }
  if (reader.leave) return false;
  event = reader.queue.front();
  reader.queue.pop_front();
  reader.busy = true;
  return true;
}

bool StillWanted(const Reader& reader, const Event& event) {
  if (reader.leave || !layer.open || event.generation != layer.generation) return false;
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
  Event event;
  while (TakeEvent(reader, event)) Deliver(reader, event);
  bool unloading;
  {
    Locked locked;
    reader.parked = true;
    unloading = layer.unloading;
  }
  // An unloading library ends this thread itself; a normal exit would wait for the loader.
  while (unloading) Sleep(INFINITE);
  return 0;
}

Reader* AddReader(const char* sensorId) {
  Reader* reader = new Reader;
  std::strncpy(reader->id, sensorId, kIdLength - 1);
  reader->pixels.resize(kFingerImageBytes);
  reader->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  reader->thread = CreateThread(nullptr, 0, RunReader, reader, 0, &reader->threadId);
  layer.readers.push_back(reader);
  return reader;
}

void Discard(Reader* reader) {
  CloseHandle(reader->thread);
  CloseHandle(reader->wake);
  delete reader;
}

// Waits for `handle` (or just lets `timeoutMs` pass when it is null) while answering messages
// that other threads send to the caller's windows: a callback that updates a window of a test's
// thread must not stall a test that waits for it. Posted messages stay queued.
bool WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD waited = GetTickCount() - start;
    DWORD left = waited < timeoutMs ? timeoutMs - waited : 0;
    DWORD count = handle ? 1 : 0;
    DWORD woke =
        MsgWaitForMultipleObjects(count, handle ? &handle : nullptr, FALSE, left, QS_SENDMESSAGE);
    if (handle && woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + count) return false;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// Callbacks in progress on threads other than the caller's.
int OthersInCallback() {
  Locked locked;
  int running = 0;
  for (Reader* reader : layer.readers)
    running += reader->inCallback && reader->threadId != GetCurrentThreadId();
  return running;
}

void TellToLeave(Reader& reader) {
  reader.leave = true;
  reader.queue.clear();
  SetEvent(reader.wake);
}

// Ends the workers a reset left behind, once they have come out of their callbacks.
void SweepAbandoned() {
  std::vector<Reader*> ended;
  {
    Locked locked;
    std::vector<Reader*> still;
    for (Reader* reader : layer.abandoned)
      (WaitForSingleObject(reader->thread, 0) == WAIT_OBJECT_0 ? ended : still).push_back(reader);
    layer.abandoned = still;
  }
  for (Reader* reader : ended) Discard(reader);
}

}  // namespace

void InitialiseReaders() { InitializeCriticalSection(&layer.lock); }

void ShutDownReadersForUnload() {
  std::vector<Reader*> all;
  {
    Locked locked;
    layer.unloading = true;
    layer.open = false;
    all = layer.readers;
    all.insert(all.end(), layer.abandoned.begin(), layer.abandoned.end());
    layer.readers.clear();
    layer.abandoned.clear();
    for (Reader* reader : all) TellToLeave(*reader);
  }
  // Give callbacks in progress a moment to return, then end every worker where it stands: a
  // parked one holds nothing, and a stuck one would run into unmapped code otherwise.
  for (DWORD start = GetTickCount(); GetTickCount() - start < kUnloadWaitLimit; Sleep(1)) {
    bool allParked = true;
    {
      Locked locked;
      for (Reader* reader : all) allParked = allParked && reader->parked;
    }
    if (allParked) break;
  }
  for (Reader* reader : all) {
    TerminateThread(reader->thread, 0);
    WaitForSingleObject(reader->thread, 1000);
    Discard(reader);
  }
}

void ResetReaders() {
  SweepAbandoned();
  std::vector<Reader*> leaving;
  {
    Locked locked;
    leaving = layer.readers;
    layer.readers.clear();
    for (Reader* reader : leaving) TellToLeave(*reader);
    layer.onStatus = nullptr;
    layer.open = layer.ended = layer.finalizeWaits = false;
    ++layer.generation;
    layer.finalizeTimeouts = 0;
    layer.placements.clear();
  }
  DWORD start = GetTickCount();
  for (Reader* reader : leaving) {
    DWORD waited = GetTickCount() - start;
    DWORD left = waited < kResetWaitLimit ? kResetWaitLimit - waited : 0;
    bool self = reader->threadId == GetCurrentThreadId();
    if (!self && WaitAnsweringSentMessages(reader->thread, left)) {
      Discard(reader);
      continue;
    }
    Locked locked;
    layer.abandoned.push_back(reader);
  }
}

void OpenCaptureLayer(PapylStatusCallback onStatus) {
  Locked locked;
  layer.onStatus = onStatus;
  layer.open = true;
  layer.ended = false;
  ++layer.generation;
  for (Reader* reader : layer.readers)
    if (reader->plugged) QueueStatus(*reader, kSensorPlugged);
}

void CloseCaptureLayer() {
  {
    Locked locked;
    layer.open = false;
    layer.ended = true;
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
  DWORD start = GetTickCount();
  while (OthersInCallback() > 0) {
    if (GetTickCount() - start >= kFinalizeWaitLimit) {
      Locked locked;
      ++layer.finalizeTimeouts;
      return;
    }
    Sleep(1);
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

bool WaitUntilIdle(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    bool idle = true;
    {
      Locked locked;
      for (Reader* reader : layer.readers)
        idle = idle && reader->queue.empty() &&
               (!reader->busy || reader->threadId == GetCurrentThreadId());
    }
    if (idle) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    WaitAnsweringSentMessages(nullptr, 1);
  }
}

int CallbacksRunning() {
  Locked locked;
  int running = 0;
  for (Reader* reader : layer.readers) running += reader->inCallback;
  return running;
}

bool OnLibraryThreadAfterCaptureEnd() {
  Locked locked;
  if (!layer.ended) return false;
  for (const std::vector<Reader*>* list : {&layer.readers, &layer.abandoned})
    for (Reader* reader : *list)
      if (reader->threadId == GetCurrentThreadId()) return true;
  return false;
}
