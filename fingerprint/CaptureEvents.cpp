#include "fingerprint/CaptureEvents.h"

namespace {

constexpr int kKnownReaders = 8;
constexpr int kReaderIdSize = 128;

// The readers seen plugged in and not unplugged since, for the module's lifetime. Reader ids
// longer than a slot compare by their first 127 characters; when every slot is taken, a new
// reader is reported each time it is announced.
struct KnownReaders {
  volatile LONG lock;
  char ids[kKnownReaders][kReaderIdSize];
};

KnownReaders readers;

void LockReaders() {
  while (InterlockedCompareExchange(&readers.lock, 1, 0) != 0) Sleep(1);
}

void UnlockReaders() { InterlockedExchange(&readers.lock, 0); }

bool SameId(const char* slot, const char* id) {
  int i = 0;
  for (; i < kReaderIdSize - 1 && id[i]; ++i)
    if (slot[i] != id[i]) return false;
  return slot[i] == '\0';
}

char* FindReader(const char* id) {
  for (char* slot : readers.ids)
    if (slot[0] && SameId(slot, id)) return slot;
  return nullptr;
}

// True when the reader was not known yet.
bool Remember(const char* id) {
  LockReaders();
  bool known = FindReader(id) != nullptr;
  for (int i = 0; !known && i < kKnownReaders; ++i) {
    if (readers.ids[i][0]) continue;
    lstrcpynA(readers.ids[i], id, kReaderIdSize);
    break;
  }
  UnlockReaders();
  return !known;
}

void Forget(const char* id) {
  LockReaders();
  if (char* slot = FindReader(id)) slot[0] = '\0';
  UnlockReaders();
}

}  // namespace

int ReportCaptureStartFailure(DWORD event, int code) {
  ReportModuleEvent(event, EventNumber(code).Text());
  return code;
}

void ReportReaderPlugged(const char* sensorId) {
  if (sensorId[0] && Remember(sensorId)) QueueModuleEvent(EVENT_READER_PLUGGED, sensorId);
}

void ReportReaderUnplugged(const char* sensorId) {
  Forget(sensorId);
  QueueModuleEvent(EVENT_READER_UNPLUGGED, sensorId);
}
