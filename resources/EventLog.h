// The module's audit trail in the Application log. A report is queued and returns at once: a
// worker thread of the module writes it, because writing can wait on the event log service, and
// neither Winlogon's thread nor the fingerprint library's may wait. Events carry names, value
// names, codes and counts only: never a password, a template or a stored value.
#pragma once

#include <windows.h>

// The event ids: the message table's symbolic names (EVENT_...), made from EventMessages.mc.
#include "resources/EventMessages.h"

// Queues the event with up to three insertion strings (null ends the list; each is cut to 127
// characters) and has it written. When the queue is full the event is dropped; when the log
// cannot be reached, or refuses it, it is lost. Never from DllMain, nor from a thread that
// Winlogon's thread may be waiting for while it unloads the module: starting the writer loads
// the module once more, and that waits for the loader.
void ReportModuleEvent(DWORD eventId, const char* first = nullptr, const char* second = nullptr,
                       const char* third = nullptr);

// The same, queued only, from any thread: a writer still running takes the events at once;
// otherwise they wait for the next report or for WriteQueuedModuleEvents.
void QueueModuleEvent(DWORD eventId, const char* first = nullptr, const char* second = nullptr,
                      const char* third = nullptr);
// Has what is queued written; from the threads ReportModuleEvent may be called on.
void WriteQueuedModuleEvents();
// The same once the queue is half full, so that events queued while a notice stays up are not
// dropped, yet the writer is not started for each one.
void WriteCrowdedModuleEvents();

// A signed number as an insertion string.
class EventNumber {
 public:
  explicit EventNumber(long value);
  const char* Text() const { return text_; }

 private:
  char text_[16];
};
