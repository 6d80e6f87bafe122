#include "tests/wine/support/EventLogWatcher.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tests/wine/support/ImportHook.h"

struct EventLogWatcher::Shared {
  mutable std::mutex lock;
  mutable std::condition_variable changed;
  std::vector<LoggedEvent> events;
  std::vector<std::pair<HANDLE, std::string>> sources;  // registered and not deregistered yet
  UINT_PTR lastHandle = 0x4c00;
  DWORD lastChangeAt = GetTickCount();
  bool registerFails = false;
  bool reportFails = false;
  bool held = false;
  int waiting = 0;

  void Touch() {
    lastChangeAt = GetTickCount();
    changed.notify_all();
  }
};

namespace {

constexpr DWORD kTeardownWaitMs = 3000;

const char kAdvapi[] = "ADVAPI32.dll";
const char* const kHooked[3] = {"RegisterEventSourceA", "ReportEventA", "DeregisterEventSource"};

std::mutex activeLock;
std::shared_ptr<EventLogWatcher::Shared> activeWatcher;

std::shared_ptr<EventLogWatcher::Shared> ActiveWatcher() {
  std::lock_guard<std::mutex> guard(activeLock);
  return activeWatcher;
}

HANDLE WINAPI WatchedRegister(LPCSTR, LPCSTR sourceName) {
  auto shared = ActiveWatcher();
  if (!shared) return nullptr;
  std::lock_guard<std::mutex> guard(shared->lock);
  if (shared->registerFails) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return nullptr;
  }
  auto handle = reinterpret_cast<HANDLE>(++shared->lastHandle);
  shared->sources.emplace_back(handle, sourceName ? sourceName : "");
  shared->Touch();
  return handle;
}

BOOL WINAPI WatchedReport(HANDLE source, WORD type, WORD, DWORD id, PSID, WORD count, DWORD,
                          LPCSTR* strings, LPVOID) {
  auto shared = ActiveWatcher();
  if (!shared) return FALSE;
  std::unique_lock<std::mutex> guard(shared->lock);
  ++shared->waiting;
  shared->changed.notify_all();
  shared->changed.wait(guard, [&] { return !shared->held; });
  --shared->waiting;
  LoggedEvent event{"", type, id, {}, GetCurrentThreadId()};
  for (const auto& registered : shared->sources)
    if (registered.first == source) event.source = registered.second;
  for (WORD i = 0; i < count; ++i) event.strings.emplace_back(strings[i] ? strings[i] : "(null)");
  shared->events.push_back(event);
  shared->Touch();
  return shared->reportFails ? FALSE : TRUE;
}

BOOL WINAPI WatchedDeregister(HANDLE source) {
  auto shared = ActiveWatcher();
  if (!shared) return FALSE;
  std::lock_guard<std::mutex> guard(shared->lock);
  for (auto it = shared->sources.begin(); it != shared->sources.end(); ++it) {
    if (it->first != source) continue;
    shared->sources.erase(it);
    shared->Touch();
    return TRUE;
  }
  return FALSE;
}

const FARPROC kReplacements[3] = {CodeCast<FARPROC>(WatchedRegister),
                                  CodeCast<FARPROC>(WatchedReport),
                                  CodeCast<FARPROC>(WatchedDeregister)};

}  // namespace

EventLogWatcher::EventLogWatcher(HMODULE module)
    : shared_(std::make_shared<Shared>()), module_(module) {
  char path[MAX_PATH] = {};
  if (module_) GetModuleFileNameA(module_, path, MAX_PATH);
  modulePath_ = path;
  {
    std::lock_guard<std::mutex> guard(activeLock);
    activeWatcher = shared_;
  }
  for (int i = 0; i < 3; ++i) {
    moduleSlots_[i] = ReplaceImport(module_, kAdvapi, kHooked[i], kReplacements[i]);
    executableSlots_[i] = ReplaceImport(kAdvapi, kHooked[i], kReplacements[i]);
    installed_ = installed_ || moduleSlots_[i] || executableSlots_[i];
  }
}

EventLogWatcher::~EventLogWatcher() {
  ReleaseReports();
  WaitUntilQuiet(0, kTeardownWaitMs);
  bool moduleLoaded = module_ && GetModuleHandleA(modulePath_.c_str()) == module_;
  for (int i = 0; i < 3; ++i) {
    if (moduleSlots_[i] && moduleLoaded) ReplaceImport(module_, kAdvapi, kHooked[i], moduleSlots_[i]);
    if (executableSlots_[i]) ReplaceImport(kAdvapi, kHooked[i], executableSlots_[i]);
  }
  std::lock_guard<std::mutex> guard(activeLock);
  if (activeWatcher == shared_) activeWatcher.reset();
}

std::vector<LoggedEvent> EventLogWatcher::Events() const {
  std::lock_guard<std::mutex> guard(shared_->lock);
  return shared_->events;
}

bool EventLogWatcher::WaitForCount(size_t n, DWORD timeoutMs) const {
  std::unique_lock<std::mutex> guard(shared_->lock);
  return shared_->changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                   [&] { return shared_->events.size() >= n; });
}

bool EventLogWatcher::WaitUntilQuiet(DWORD quietMs, DWORD timeoutMs) const {
  DWORD start = GetTickCount();
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(shared_->lock);
      if (shared_->sources.empty() && GetTickCount() - shared_->lastChangeAt >= quietMs)
        return true;
    }
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
}

void EventLogWatcher::Clear() {
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->events.clear();
}

void EventLogWatcher::SetRegisterFails(bool fails) {
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->registerFails = fails;
}

void EventLogWatcher::SetReportFails(bool fails) {
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->reportFails = fails;
}

void EventLogWatcher::HoldReports() {
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->held = true;
}

void EventLogWatcher::ReleaseReports() {
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->held = false;
  shared_->changed.notify_all();
}

int EventLogWatcher::ReportsWaiting() const {
  std::lock_guard<std::mutex> guard(shared_->lock);
  return shared_->waiting;
}

std::string EventText(HMODULE module, const LoggedEvent& event, LANGID language) {
  // Inserts past the event's strings read as empty rather than past the array.
  std::vector<DWORD_PTR> strings(event.strings.size() + 4, reinterpret_cast<DWORD_PTR>(""));
  for (size_t i = 0; i < event.strings.size(); ++i)
    strings[i] = reinterpret_cast<DWORD_PTR>(event.strings[i].c_str());
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      module, event.id, language, reinterpret_cast<char*>(&text), 0,
      reinterpret_cast<va_list*>(strings.data()));
  std::string message = length && text ? std::string(text, length) : std::string();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

const char* EventTypeName(WORD type) {
  switch (type) {
    case EVENTLOG_ERROR_TYPE: return "Error";
    case EVENTLOG_WARNING_TYPE: return "Warning";
    case EVENTLOG_INFORMATION_TYPE: return "Information";
    default: return "Other";
  }
}
