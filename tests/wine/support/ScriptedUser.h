// A user at the workstation while Winlogon's thread (the test) runs a modal dialog: on a thread
// of its own, it waits for the dialog it expects, types, presses buttons and Ctrl-Alt-Del. Every
// wait is bounded, so a dialog that never comes is a failure, never a hang.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedUser;
class WinlogonHost;

// A dialog on screen as the user's hands reach it.
class DialogHandle {
 public:
  explicit DialogHandle(HWND window, ScriptedUser* user = nullptr) : window_(window), user_(user) {}
  HWND Window() const { return window_; }
  bool Has(int controlId) const { return GetDlgItem(window_, controlId) != nullptr; }
  // Replaces an edit's text (WM_SETTEXT).
  void Type(int controlId, const std::string& text) const;
  // A click: WM_COMMAND with the button's id and BN_CLICKED, posted as a click delivers it.
  void Press(int buttonId) const;
  std::string Text(int controlId) const;

 private:
  HWND window_;
  ScriptedUser* user_;
};

class ScriptedUser {
 public:
  // stepTimeoutMs bounds each wait for a dialog.
  explicit ScriptedUser(WinlogonHost& host, DWORD stepTimeoutMs = 5000);
  ~ScriptedUser();  // Join()s if the test did not
  ScriptedUser(const ScriptedUser&) = delete;
  ScriptedUser& operator=(const ScriptedUser&) = delete;

  // Steps run one after another on the user's thread, starting as soon as they are queued.
  // WhenDialog waits until the host's innermost dialog is on screen and has controlId, then acts
  // on it. It never acts on a dialog in which an earlier step pressed a button (that one is on
  // its way out), so consecutive steps meet consecutive dialogs.
  ScriptedUser& WhenDialog(int controlId, std::function<void(DialogHandle&)> act);
  ScriptedUser& PressCtrlAltDel();
  ScriptedUser& Do(std::function<void()> step);

  // Waits until every queued step has run (timeoutMs at most), reports each failure to the test
  // and answers whether all went well. Steps after a failed one are skipped.
  bool Join(DWORD timeoutMs = 10000);

 private:
  struct Step {
    int controlId;  // 0: no dialog to wait for
    std::function<void(DialogHandle&)> act;
    std::function<void()> action;
  };
  void Run();
  void RunStep(Step& step);
  HWND AwaitDialog(int controlId);
  void Fail(const std::string& what);
  void NotePressed(HWND dialog);

  WinlogonHost& host_;
  DWORD stepTimeoutMs_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Step> steps_;
  bool busy_ = false;
  bool stopping_ = false;
  bool failed_ = false;
  std::vector<std::string> failures_;
  size_t failuresReported_ = 0;
  std::vector<HWND> pressedIn_;
  std::thread thread_;
  friend class DialogHandle;
};
