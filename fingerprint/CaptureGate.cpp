// Callbacks run on the library's threads while Winlogon's thread may stop capture at any moment.
// Plain interlocked words keep this to what Windows 2000 has, and work before any set-up.
#include "fingerprint/CaptureGate.h"

#include "gina/GinaState.h"

namespace {

// Long enough for a callback to leave its library call; short enough that Winlogon never waits
// noticeably: every wait inside a callback ends early when the gate closes.
constexpr DWORD kStopWaitMilliseconds = 3000;
constexpr DWORD kPollMilliseconds = 10;

CaptureGate& Gate() { return GinaState.gate; }

BOOL CALLBACK CloseMessageBox(HWND window, LPARAM) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(className, "#32770") == 0) PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

void CloseOpenMessageBoxes() {
  for (volatile DWORD& thread : Gate().boxThreads)
    if (thread) EnumThreadWindows(thread, CloseMessageBox, 0);
}

// Lets a callback blocked in SendMessage to one of this thread's windows go on.
void ServeSentMessages() {
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

volatile DWORD* ClaimBoxSlot() {
  for (volatile DWORD& slot : Gate().boxThreads)
    if (InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&slot),
                                   static_cast<LONG>(GetCurrentThreadId()), 0) == 0)
      return &slot;
  return nullptr;
}

}  // namespace

void OpenCaptureGate() { InterlockedExchange(&Gate().open, 1); }

bool CaptureGateOpen() { return Gate().open != 0; }

void CloseCaptureGate() {
  InterlockedExchange(&Gate().open, 0);
  // A match being recorded finishes whole (with its SAS) before Winlogon moves on.
  while (InterlockedCompareExchange(&Gate().recordLock, 1, 0) != 0) Sleep(1);
  Unlock(&Gate().recordLock);
  for (DWORD waited = 0; Gate().callbacksInFlight > 0 && waited < kStopWaitMilliseconds;
       waited += kPollMilliseconds) {
    CloseOpenMessageBoxes();
    ServeSentMessages();
    Sleep(kPollMilliseconds);
  }
}

bool EnterCallback() {
  InterlockedIncrement(&Gate().callbacksInFlight);
  if (CaptureGateOpen() && GinaState.library) return true;
  InterlockedDecrement(&Gate().callbacksInFlight);
  return false;
}

void LeaveCallback() { InterlockedDecrement(&Gate().callbacksInFlight); }

bool LockWhileOpen(volatile LONG* lock) {
  while (InterlockedCompareExchange(lock, 1, 0) != 0) {
    if (!CaptureGateOpen()) return false;
    Sleep(1);
  }
  if (CaptureGateOpen()) return true;
  Unlock(lock);
  return false;
}

void Unlock(volatile LONG* lock) { InterlockedExchange(lock, 0); }

bool PauseWhileOpen(DWORD milliseconds) {
  for (DWORD slept = 0; slept < milliseconds && CaptureGateOpen(); slept += kPollMilliseconds)
    Sleep(kPollMilliseconds);
  return CaptureGateOpen();
}

void ShowCaptureMessage(MessageId text, UINT style) {
  volatile DWORD* slot = ClaimBoxSlot();
  if (!slot) return;
  if (CaptureGateOpen())
    MessageBoxA(nullptr, MessageText(text), MessageText(MsgFingerprintCaption), style);
  InterlockedExchange(reinterpret_cast<volatile LONG*>(slot), 0);
}
