// Watching the message boxes users would see: USER32!MessageBoxA is redirected in a loaded module
// (VoDUVO.dll) and in this executable (which links the module's code too) while a watcher lives.
// Each box is recorded, then shown for real, and pressed away by a timer on its own thread or on
// request.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct ShownBox {
  std::string text;
  std::string caption;
  UINT style;
  DWORD threadId;  // the thread that showed it
  std::string desktop;  // that thread's desktop as the box opened
  // (control id, text) of every edit control of the active dialog when the box appeared; empty
  // when no dialog source is set or no dialog was up.
  std::vector<std::pair<int, std::string>> dialogEdits;
};

// One watcher at a time. Thread-safe: boxes may come from any thread.
class MessageBoxWatcher {
 public:
  // module may be null (only this executable's calls are watched). With autoDismiss each box is
  // pressed away about 50 ms after it appears; otherwise it stays until DismissAll() or until
  // someone else closes it.
  explicit MessageBoxWatcher(HMODULE module, bool autoDismiss = true);
  // Puts the imports back and presses away the boxes still up (waiting a few seconds at most).
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Whether at least one import of MessageBoxA was redirected.
  bool Installed() const { return hookedModule_ || hookedExecutable_; }
  std::vector<ShownBox> Shown() const;
  // Waits until at least n boxes have appeared; false after timeoutMs.
  bool WaitForCount(size_t n, DWORD timeoutMs) const;
  // Boxes on screen now: their MessageBoxA call has not returned yet.
  int OpenNow() const;
  // Presses OK in every box on screen now.
  void DismissAll();
  // Where to read the dialog edits from when a box appears (for example the host's
  // ActiveDialog). Called on the thread that shows the box.
  void SetActiveDialogSource(std::function<HWND()> source);

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  HMODULE module_;
  FARPROC hookedModule_ = nullptr;      // what the module's slot held before
  FARPROC hookedExecutable_ = nullptr;  // what this executable's slot held before
};
