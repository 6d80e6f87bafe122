// The people at the workstation in the demo: they read what the screen shows, type, press
// buttons, drag a message box aside, plug the reader in and out and place fingers on it. They
// act on a thread of their own while Winlogon's thread runs the modal dialogs. Every wait is
// bounded; one that runs out is reported and presses Ctrl-Alt-Del, which ends the dialog in
// front, and from then on the person waits for nothing more, so the day never hangs.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "sim/host/WinlogonHost.h"
#include "sim/papyl/StandInPapylControl.h"

// A message box on screen.
struct ShownMessageBox {
  HWND window = nullptr;
  std::string caption;
  std::string text;
};

class Person {
 public:
  Person(SimPapylControl& papyl, const char* readerId) : papyl_(papyl), reader_(readerId) {}
  Person(const Person&) = delete;
  Person& operator=(const Person&) = delete;

  // Winlogon, once it runs: its dialogs are the ones the person meets.
  void SetHost(WinlogonHost* host) { host_ = host; }
  bool Failed() const { return failed_; }

  // The reader and the fingers.
  void PlugReader();
  void UnplugReader();
  void PlaceFinger(int finger);
  // Places the finger and answers the milliseconds until Winlogon was told of a SAS (or -1).
  double PlaceFingerUntilSas(int finger);
  // Waits until the fingerprint library's entry point has been called more than `before` times.
  bool AwaitLibraryCall(const char* exportedName, int before, DWORD limitMs);
  int LibraryCalls(const char* exportedName) const { return papyl_.CallCount(exportedName); }

  // Winlogon's dialogs: the innermost one on screen that has the control.
  HWND AwaitDialog(int controlId);
  // Waits until a control reads `expected`; false when it does not.
  bool AwaitText(HWND dialog, int controlId, const std::string& expected);
  // Waits until a control's text is no longer `before`; false when it stays.
  bool AwaitTextChange(HWND dialog, int controlId, const std::string& before);
  // A control's text (controlId 0: the window's own, its caption).
  static std::string Text(HWND window, int controlId = 0);
  void Type(HWND dialog, int controlId, const std::string& text);
  void Press(HWND dialog, int buttonId);
  bool AwaitGone(HWND window);

  // Message boxes: found on screen as a person sees them, whichever thread shows them.
  ShownMessageBox AwaitMessageBox(double* waitedMs = nullptr);
  // Drags the box below the dialog, so that both can be seen.
  void MoveBelow(const ShownMessageBox& box, HWND dialog);
  void PressOk(const ShownMessageBox& box);

  // Reports what did not happen and ends the dialog in front.
  void Fail(const std::string& what);

 private:
  SimPapylControl& papyl_;
  std::string reader_;
  WinlogonHost* host_ = nullptr;
  std::atomic<bool> failed_{false};
};

// Milliseconds since an earlier Now().
double Now();
