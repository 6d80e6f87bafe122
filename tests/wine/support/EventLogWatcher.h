// The event log as the tests and the demo read it. Wine keeps none, so ADVAPI32's
// RegisterEventSourceA, ReportEventA and DeregisterEventSource are redirected in a loaded module
// (VoDUVO.dll) and in this executable (which links the module's code too) while a watcher lives.
// Each report is recorded with its source, type, id and strings; the log can be made to refuse
// or to keep a report waiting, as a missing or busy event log service would.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

struct LoggedEvent {
  std::string source;  // the name the reporter registered
  WORD type;           // EVENTLOG_INFORMATION_TYPE, _WARNING_TYPE or _ERROR_TYPE
  DWORD id;            // the message id, severity bits included
  std::vector<std::string> strings;
  DWORD threadId = 0;  // the thread that wrote it
};

// One watcher at a time. Thread-safe: reports come from the module's own thread.
class EventLogWatcher {
 public:
  // module may be null (only this executable's calls are watched).
  explicit EventLogWatcher(HMODULE module);
  // Lets held reports go, waits a little for the reporter to finish, and puts the imports back
  // (the module's only while it is still loaded).
  ~EventLogWatcher();
  EventLogWatcher(const EventLogWatcher&) = delete;
  EventLogWatcher& operator=(const EventLogWatcher&) = delete;

  bool Installed() const { return installed_; }
  std::vector<LoggedEvent> Events() const;
  // Waits until at least n events have been reported; false after timeoutMs.
  bool WaitForCount(size_t n, DWORD timeoutMs) const;
  // Waits until no source is registered and nothing has been reported for quietMs; false after
  // timeoutMs.
  bool WaitUntilQuiet(DWORD quietMs, DWORD timeoutMs) const;
  void Clear();

  // RegisterEventSourceA fails (no event log service); ReportEventA fails.
  void SetRegisterFails(bool fails);
  void SetReportFails(bool fails);
  // While held, each ReportEventA waits until ReleaseReports (a busy event log service).
  void HoldReports();
  void ReleaseReports();
  // ReportEventA calls waiting now.
  int ReportsWaiting() const;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  HMODULE module_;
  std::string modulePath_;
  bool installed_ = false;
  FARPROC moduleSlots_[3] = {};
  FARPROC executableSlots_[3] = {};
};

// The event as the Event Viewer shows it: the message of the event's id in the module's message
// table, in that language, with the event's strings inserted and without the line end; empty
// when the module has no such message.
std::string EventText(HMODULE module, const LoggedEvent& event, LANGID language);

// The Event Viewer's name of the type ("Information", "Warning", "Error").
const char* EventTypeName(WORD type);
