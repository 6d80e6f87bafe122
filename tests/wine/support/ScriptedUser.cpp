// The scripted user's thread and hands. Messages to the dialog are sent with a time limit or
// posted, so the user never blocks on Winlogon's thread for long.
#include "tests/wine/support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "sim/host/DialogHands.h"
#include "sim/host/WinlogonHost.h"

namespace {

constexpr DWORD kPollMs = 10;

}  // namespace

void DialogHandle::Type(int controlId, const std::string& text) const {
  TypeInto(window_, controlId, text);
}

void DialogHandle::Press(int buttonId) const {
  if (user_) user_->NotePressed(window_);
  PressButton(window_, buttonId);
}

std::string DialogHandle::Text(int controlId) const { return ControlText(window_, controlId); }

ScriptedUser::ScriptedUser(WinlogonHost& host, DWORD stepTimeoutMs)
    : host_(host), stepTimeoutMs_(stepTimeoutMs), thread_(&ScriptedUser::Run, this) {}

ScriptedUser::~ScriptedUser() {
  Join();
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    changed_.notify_all();
  }
  thread_.join();
}

ScriptedUser& ScriptedUser::WhenDialog(int controlId, std::function<void(DialogHandle&)> act) {
  std::lock_guard<std::mutex> guard(lock_);
  steps_.push_back({controlId, std::move(act), nullptr});
  changed_.notify_all();
  return *this;
}

ScriptedUser& ScriptedUser::PressCtrlAltDel() {
  return Do([this] { host_.PressCtrlAltDel(); });
}

ScriptedUser& ScriptedUser::Do(std::function<void()> step) {
  std::lock_guard<std::mutex> guard(lock_);
  steps_.push_back({0, nullptr, std::move(step)});
  changed_.notify_all();
  return *this;
}

bool ScriptedUser::Join(DWORD timeoutMs) {
  std::unique_lock<std::mutex> guard(lock_);
  bool finished = changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                    [this] { return steps_.empty() && !busy_; });
  if (!finished) {
    // Whatever is left is dropped; the step under way ends within its own time limit.
    failed_ = true;
    steps_.clear();
    failures_.push_back("the user's script did not finish within " + std::to_string(timeoutMs) +
                        " ms");
  }
  for (; failuresReported_ < failures_.size(); ++failuresReported_)
    ADD_FAILURE() << "scripted user: " << failures_[failuresReported_];
  return !failed_;
}

void ScriptedUser::Run() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    changed_.wait(guard, [this] { return stopping_ || !steps_.empty(); });
    if (stopping_) return;
    Step step = std::move(steps_.front());
    steps_.pop_front();
    busy_ = true;
    bool skip = failed_;
    guard.unlock();
    if (!skip) RunStep(step);
    guard.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

void ScriptedUser::RunStep(Step& step) {
  if (!step.controlId) {
    step.action();
    return;
  }
  HWND dialog = AwaitDialog(step.controlId);
  if (!dialog) {
    Fail("no dialog with control " + std::to_string(step.controlId) + " came within " +
         std::to_string(stepTimeoutMs_) + " ms");
    return;
  }
  DialogHandle handle(dialog, this);
  step.act(handle);
}

HWND ScriptedUser::AwaitDialog(int controlId) {
  DWORD start = GetTickCount();
  do {
    HWND dialog = host_.ActiveDialog();
    bool pressedBefore;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (stopping_) return nullptr;
      pressedBefore = std::find(pressedIn_.begin(), pressedIn_.end(), dialog) != pressedIn_.end();
    }
    if (dialog && !pressedBefore && IsWindowVisible(dialog) && GetDlgItem(dialog, controlId))
      return dialog;
    Sleep(kPollMs);
  } while (GetTickCount() - start < stepTimeoutMs_);
  return nullptr;
}

void ScriptedUser::Fail(const std::string& what) {
  std::lock_guard<std::mutex> guard(lock_);
  failed_ = true;
  failures_.push_back(what);
}

void ScriptedUser::NotePressed(HWND dialog) {
  std::lock_guard<std::mutex> guard(lock_);
  pressedIn_.push_back(dialog);
}
