// Message boxes are recorded on the thread that shows them. Their windows are found with a
// thread-local CBT hook set around the real call, and pressed away by posting the OK command, as
// a click would: by a timer that the box's own modal loop runs (no helper thread, no message sent
// across threads), or from the test's thread by DismissAll.
#include "tests/wine/support/MessageBoxWatcher.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "sim/host/DialogHands.h"
#include "sim/host/WinlogonDesktop.h"
#include "tests/wine/support/ImportHook.h"

namespace {

typedef int(WINAPI* MessageBoxAFn)(HWND, LPCSTR, LPCSTR, UINT);

constexpr UINT kDismissDelayMs = 50;
constexpr DWORD kDismissRepeatMs = 1000;
constexpr DWORD kTeardownWaitMs = 3000;

DWORD Now() { return GetTickCount(); }

}  // namespace

struct MessageBoxWatcher::Shared {
  struct Box {
    ShownBox shown;
    HWND window = nullptr;
    bool open = true;
    DWORD pressedAt = 0;
    bool pressed = false;
  };

  mutable std::mutex lock;
  mutable std::condition_variable changed;
  std::vector<Box> boxes;
  std::function<HWND()> dialogSource;
  MessageBoxAFn real = nullptr;
  bool autoDismiss = true;

  size_t Begin(ShownBox shown) {
    std::lock_guard<std::mutex> guard(lock);
    Box box;
    box.shown = std::move(shown);
    boxes.push_back(std::move(box));
    changed.notify_all();
    return boxes.size() - 1;
  }
  void SetWindow(size_t index, HWND window) {
    std::lock_guard<std::mutex> guard(lock);
    boxes[index].window = window;
    changed.notify_all();
  }
  void End(size_t index) {
    std::lock_guard<std::mutex> guard(lock);
    boxes[index].open = false;
    changed.notify_all();
  }
  // The box's window when it is open and due a press (repeated presses a second apart).
  HWND DueForPress(Box& box, bool repeatOnly) {
    DWORD now = Now();
    if (!box.open || !box.window) return nullptr;
    if (repeatOnly && box.pressed && now - box.pressedAt < kDismissRepeatMs) return nullptr;
    box.pressed = true;
    box.pressedAt = now;
    return box.window;
  }
};

namespace {

std::mutex activeLock;
std::shared_ptr<MessageBoxWatcher::Shared> activeWatcher;

std::shared_ptr<MessageBoxWatcher::Shared> ActiveWatcher() {
  std::lock_guard<std::mutex> guard(activeLock);
  return activeWatcher;
}

// The box this thread is about to show, for the CBT hook to give its window to.
struct Spotting {
  MessageBoxWatcher::Shared* shared;
  size_t index;
  bool found;
};
thread_local Spotting* spotting = nullptr;

// The first dialog window this thread creates during the call is the box.
LRESULT CALLBACK SpotBoxWindow(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && spotting && !spotting->found) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0) {
      spotting->shared->SetWindow(spotting->index, window);
      spotting->found = true;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK CollectEdit(HWND child, LPARAM edits) {
  char className[16] = {};
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "Edit") == 0)
    reinterpret_cast<std::vector<std::pair<int, std::string>>*>(edits)->emplace_back(
        GetDlgCtrlID(child), ControlText(child, 0, 1000));
  return TRUE;
}

std::vector<std::pair<int, std::string>> EditsOf(HWND dialog) {
  std::vector<std::pair<int, std::string>> edits;
  if (dialog && IsWindow(dialog))
    EnumChildWindows(dialog, CollectEdit, reinterpret_cast<LPARAM>(&edits));
  return edits;
}

void PressOk(HWND box) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

// A thread timer, run by the box's modal loop on this thread.
VOID CALLBACK PressSpottedBox(HWND, UINT, UINT_PTR, DWORD) {
  if (!spotting) return;
  HWND box;
  {
    std::lock_guard<std::mutex> guard(spotting->shared->lock);
    box = spotting->shared->DueForPress(spotting->shared->boxes[spotting->index], true);
  }
  if (box) PressOk(box);
}

int WINAPI WatchedMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  std::shared_ptr<MessageBoxWatcher::Shared> shared = ActiveWatcher();
  MessageBoxAFn real = shared ? shared->real
                              : CodeCast<MessageBoxAFn>(GetProcAddress(
                                    GetModuleHandleA("user32.dll"), "MessageBoxA"));
  if (!shared) return real(owner, text, caption, style);

  std::function<HWND()> source;
  {
    std::lock_guard<std::mutex> guard(shared->lock);
    source = shared->dialogSource;
  }
  ShownBox shown{text ? text : "", caption ? caption : "", style, GetCurrentThreadId(),
                 ThreadDesktopName(),
                 source ? EditsOf(source()) : std::vector<std::pair<int, std::string>>{}};
  Spotting mine{shared.get(), shared->Begin(std::move(shown)), false};
  Spotting* outer = spotting;
  spotting = &mine;
  HHOOK hook = SetWindowsHookExA(WH_CBT, SpotBoxWindow, nullptr, GetCurrentThreadId());
  UINT_PTR timer =
      shared->autoDismiss ? SetTimer(nullptr, 0, kDismissDelayMs, PressSpottedBox) : 0;
  int result = real(owner, text, caption, style);
  if (timer) KillTimer(nullptr, timer);
  if (hook) UnhookWindowsHookEx(hook);
  spotting = outer;
  shared->End(mine.index);
  return result;
}

// The module may have been unloaded before the watcher ends; its table is then gone.
bool StillLoaded(HMODULE module) {
  HMODULE found = nullptr;
  return GetModuleHandleExA(
             GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
             reinterpret_cast<LPCSTR>(module), &found) &&
         found == module;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(HMODULE module, bool autoDismiss)
    : shared_(std::make_shared<Shared>()), module_(module) {
  shared_->autoDismiss = autoDismiss;
  FARPROC watched = CodeCast<FARPROC>(WatchedMessageBoxA);
  hookedExecutable_ = ReplaceImport("USER32.dll", "MessageBoxA", watched);
  hookedModule_ = ReplaceImport(module, "USER32.dll", "MessageBoxA", watched);
  FARPROC real = hookedExecutable_ ? hookedExecutable_ : hookedModule_;
  if (!real) real = GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxA");
  shared_->real = CodeCast<MessageBoxAFn>(real);
  std::lock_guard<std::mutex> guard(activeLock);
  activeWatcher = shared_;
}

MessageBoxWatcher::~MessageBoxWatcher() {
  DWORD start = Now();
  while (OpenNow() && Now() - start < kTeardownWaitMs) {
    DismissAll();
    std::unique_lock<std::mutex> guard(shared_->lock);
    shared_->changed.wait_for(guard, std::chrono::milliseconds(50));
  }
  if (hookedExecutable_) ReplaceImport("USER32.dll", "MessageBoxA", hookedExecutable_);
  if (hookedModule_ && StillLoaded(module_))
    ReplaceImport(module_, "USER32.dll", "MessageBoxA", hookedModule_);
  std::lock_guard<std::mutex> guard(activeLock);
  if (activeWatcher == shared_) activeWatcher.reset();
}

std::vector<ShownBox> MessageBoxWatcher::Shown() const {
  std::lock_guard<std::mutex> guard(shared_->lock);
  std::vector<ShownBox> shown;
  for (const auto& box : shared_->boxes) shown.push_back(box.shown);
  return shown;
}

bool MessageBoxWatcher::WaitForCount(size_t n, DWORD timeoutMs) const {
  std::unique_lock<std::mutex> guard(shared_->lock);
  return shared_->changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                   [&] { return shared_->boxes.size() >= n; });
}

int MessageBoxWatcher::OpenNow() const {
  std::lock_guard<std::mutex> guard(shared_->lock);
  int open = 0;
  for (const auto& box : shared_->boxes) open += box.open ? 1 : 0;
  return open;
}

void MessageBoxWatcher::DismissAll() {
  // A box is recorded just before its window exists; give the window a moment to appear.
  {
    std::unique_lock<std::mutex> guard(shared_->lock);
    shared_->changed.wait_for(guard, std::chrono::milliseconds(kTeardownWaitMs), [&] {
      for (const auto& box : shared_->boxes)
        if (box.open && !box.window) return false;
      return true;
    });
  }
  std::vector<HWND> open;
  {
    std::lock_guard<std::mutex> guard(shared_->lock);
    for (auto& box : shared_->boxes)
      if (HWND window = shared_->DueForPress(box, false)) open.push_back(window);
  }
  for (HWND window : open) PressOk(window);
}

void MessageBoxWatcher::SetActiveDialogSource(std::function<HWND()> source) {
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->dialogSource = std::move(source);
}
