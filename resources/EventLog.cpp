// The event queue and its worker. The worker runs while there is something to write, and stays a
// moment after (a logon's events come in bursts), so a burst starts one thread and not one per
// event. It holds a reference on the module that holds this code and gives it back as it ends
// (FreeLibraryAndExitThread), so the module is never unmapped under it, and unloading never waits
// for the event log: a module whose last report is still on its way stays mapped until then.
#include "resources/EventLog.h"

#include "resources/EventSource.h"

namespace {

constexpr int kQueueLength = 32;
constexpr int kMaxStrings = 3;
constexpr int kStringSize = 128;
// How long a report waits for its worker to run. Bounded, since a thread cannot start while
// another holds the loader lock; the worker needs nothing of the reporter's, so it may be late.
constexpr DWORD kWorkerStartWaitMs = 2000;
// How long an idle worker waits for more before it ends.
constexpr DWORD kWorkerLingerMs = 1000;

struct QueuedEvent {
  DWORD id;
  WORD stringCount;
  char strings[kMaxStrings][kStringSize];
};

// Static storage and a plain interlocked word: ready before any set-up, nothing to tear down.
struct EventQueue {
  volatile LONG lock;
  volatile LONG workerStarted;
  bool workerRunning;
  HANDLE wake;  // the running worker's: set when events are queued for it
  int first;
  int count;
  QueuedEvent events[kQueueLength];
};

EventQueue queue;

// Held only to copy one record in or out. Sleep(1) rather than a spin: Winlogon's thread runs
// at a higher priority than the worker that may hold the lock.
void LockQueue() {
  while (InterlockedCompareExchange(&queue.lock, 1, 0) != 0) Sleep(1);
}

void UnlockQueue() { InterlockedExchange(&queue.lock, 0); }

void CopyString(char (&field)[kStringSize], const char* text) {
  int length = 0;
  for (; length < kStringSize - 1 && text[length]; ++length) field[length] = text[length];
  field[length] = '\0';
}

bool Append(DWORD id, const char* const (&strings)[kMaxStrings]) {
  if (queue.count == kQueueLength) return false;
  QueuedEvent& event = queue.events[(queue.first + queue.count) % kQueueLength];
  event.id = id;
  event.stringCount = 0;
  for (int i = 0; i < kMaxStrings && strings[i]; ++i)
    CopyString(event.strings[event.stringCount++], strings[i]);
  ++queue.count;
  return true;
}

// The oldest queued event; false when there is none.
bool TakeNext(QueuedEvent* event) {
  LockQueue();
  bool taken = queue.count > 0;
  if (taken) {
    *event = queue.events[queue.first];
    queue.first = (queue.first + 1) % kQueueLength;
    --queue.count;
  }
  UnlockQueue();
  return taken;
}

// Wakes the running worker, if there is one; under the queue lock, which keeps its event open.
void WakeWorker() {
  if (queue.wake) SetEvent(queue.wake);
}

// Marks the worker gone and gives back its event; under the queue lock.
HANDLE TakeWorkerWake() {
  HANDLE wake = queue.wake;
  queue.wake = nullptr;
  queue.workerRunning = false;
  return wake;
}

// The severity the message compiler put in the id's top two bits.
WORD EventType(DWORD id) {
  switch (id >> 30) {
    case 3: return EVENTLOG_ERROR_TYPE;
    case 2: return EVENTLOG_WARNING_TYPE;
    default: return EVENTLOG_INFORMATION_TYPE;
  }
}

void Write(HANDLE source, const QueuedEvent& event) {
  const char* strings[kMaxStrings] = {};
  for (WORD i = 0; i < event.stringCount; ++i) strings[i] = event.strings[i];
  // A refusal is ignored: the audit trail never stands in the way of a logon.
  ReportEventA(source, EventType(event.id), 0, event.id, nullptr, event.stringCount, 0, strings,
               nullptr);
}

void WriteWhatIsQueued() {
  // Without a source (no event log service, say) what is queued is dropped.
  HANDLE source = RegisterEventSourceA(nullptr, kEventSourceName);
  QueuedEvent event;
  while (TakeNext(&event))
    if (source) Write(source, event);
  if (source) DeregisterEventSource(source);
}

// Whether more came; false, with the worker marked gone, when a whole wait passed without any.
// A wake for events already written only starts the wait again.
bool AwaitMore(HANDLE wake, DWORD waitMs) {
  for (;;) {
    bool woken = WaitForSingleObject(wake, waitMs) == WAIT_OBJECT_0;
    LockQueue();
    bool more = queue.count > 0;
    bool gone = !more && !woken;
    if (gone) TakeWorkerWake();
    UnlockQueue();
    if (more) return true;
    if (gone) {
      CloseHandle(wake);
      return false;
    }
  }
}

// A worker in a program this code is linked into holds no reference and never ends: there is
// nothing to unload, and no thread is started for later bursts.
DWORD WINAPI WriteQueuedEvents(LPVOID module) {
  InterlockedExchange(&queue.workerStarted, 1);
  LockQueue();
  HANDLE wake = queue.wake;
  UnlockQueue();
  do WriteWhatIsQueued();
  while (AwaitMore(wake, module ? kWorkerLingerMs : INFINITE));
  if (module) FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
  return 0;
}

// One more reference on the module that holds this code: the DLL. Windows 2000 has no call that
// takes one by address, so the module is loaded by its path. A program this code is linked into
// is never unloaded, and is not to be loaded again: it gets no reference (*reference null).
bool ReferenceOwnModule(HMODULE* reference) {
  *reference = nullptr;
  MEMORY_BASIC_INFORMATION region = {};
  if (!VirtualQuery(&queue, &region, sizeof region)) return false;
  auto self = static_cast<HMODULE>(region.AllocationBase);
  if (self == GetModuleHandleA(nullptr)) return true;
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  HMODULE loaded = LoadLibraryA(path);
  if (loaded == self) *reference = loaded;
  else if (loaded) FreeLibrary(loaded);
  return *reference != nullptr;
}

void AwaitWorkerStart() {
  DWORD start = GetTickCount();
  while (!queue.workerStarted && GetTickCount() - start < kWorkerStartWaitMs) Sleep(1);
}

// The report returns once its worker runs, so the reporter's next thread (a message box's, say)
// is never created while this one is still starting: the 32-bit emulation the suite runs under
// does not survive that. Only one worker is ever being started. On failure the caller gives back
// the worker's event.
bool StartWorker() {
  HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  LockQueue();
  queue.wake = wake;
  UnlockQueue();
  HMODULE module = nullptr;
  if (!wake || !ReferenceOwnModule(&module)) return false;
  InterlockedExchange(&queue.workerStarted, 0);
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, WriteQueuedEvents, module, 0, &threadId);
  if (!thread) {
    if (module) FreeLibrary(module);
    return false;
  }
  CloseHandle(thread);
  AwaitWorkerStart();
  return true;
}

}  // namespace

void QueueModuleEvent(DWORD eventId, const char* first, const char* second, const char* third) {
  const char* const strings[kMaxStrings] = {first, first ? second : nullptr,
                                            first && second ? third : nullptr};
  LockQueue();
  if (Append(eventId, strings)) WakeWorker();
  UnlockQueue();
}

namespace {

void WriteWhenQueued(int atLeast) {
  LockQueue();
  bool start = queue.count >= atLeast && !queue.workerRunning;
  if (start) queue.workerRunning = true;
  UnlockQueue();
  // A worker that cannot start leaves the events queued for the next one.
  if (start && !StartWorker()) {
    LockQueue();
    HANDLE wake = TakeWorkerWake();
    UnlockQueue();
    if (wake) CloseHandle(wake);
  }
}

}  // namespace

void WriteQueuedModuleEvents() { WriteWhenQueued(1); }

void WriteCrowdedModuleEvents() { WriteWhenQueued(kQueueLength / 2); }

void ReportModuleEvent(DWORD eventId, const char* first, const char* second, const char* third) {
  QueueModuleEvent(eventId, first, second, third);
  WriteQueuedModuleEvents();
}

EventNumber::EventNumber(long value) : text_() {
  unsigned long magnitude =
      value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  int at = 0;
  if (value < 0) text_[at++] = '-';
  while (count) text_[at++] = digits[--count];
  text_[at] = '\0';
}
