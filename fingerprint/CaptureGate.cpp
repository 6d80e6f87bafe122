// Callbacks run on the library's threads while Winlogon's thread may stop capture, or begin the
// next notice, at any moment. Plain interlocked words keep this to what Windows 2000 has, and
// work before any set-up. Nothing here makes a library thread wait for Winlogon's thread.
#include "fingerprint/CaptureGate.h"

#include "fingerprint/CaptureState.h"
#include "fingerprint/FingerprintMatch.h"

namespace {

// Long enough for a callback to leave its library call; short enough that Winlogon never waits
// noticeably: every wait inside a callback ends early when the gate closes. Measured with the
// clock: a Sleep lasts a whole timer tick (15.6 ms by default), whatever it was asked.
constexpr DWORD kStopWaitMilliseconds = 3000;
constexpr DWORD kPollMilliseconds = 10;

// A box slot taken by a callback whose box thread has not started yet.
constexpr DWORD kClaimedSlot = ~DWORD{0};

// How the library's callbacks and Winlogon's thread keep out of each other's way. Static storage
// starts it all zero: closed, no session.
struct CaptureGate {
  volatile LONG open;               // callbacks of the current session may act
  volatile LONG session;            // advanced by each notice and each capture start
  volatile LONG callbacksInFlight;  // callbacks that got past the gate and have not left
  volatile LONG postLock;           // a post to the notice and the notice's end exclude each other
  volatile LONG boxStartLock;       // box threads start one at a time
  NoticeLink link;                  // the notice now: where callbacks post, how a match raises the SAS
  HDESK desktop;                    // the notice thread's desktop, where boxes open
  volatile DWORD boxThreads[8];     // threads showing one of our message boxes now
};

CaptureGate gate;

CaptureGate& Gate() { return gate; }

// A message box's modal loop ends when its thread is told to quit; the box threads are ours and
// end with their box.
void CloseOpenMessageBoxes() {
  for (volatile DWORD& thread : Gate().boxThreads)
    if (thread && thread != kClaimedSlot) PostThreadMessageA(thread, WM_QUIT, 0, 0);
}

volatile DWORD* ClaimBoxSlot() {
  for (volatile DWORD& slot : Gate().boxThreads)
    if (InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&slot),
                                   static_cast<LONG>(kClaimedSlot), 0) == 0)
      return &slot;
  return nullptr;
}

void SetSlot(volatile DWORD* slot, DWORD value) {
  InterlockedExchange(reinterpret_cast<volatile LONG*>(slot), static_cast<LONG>(value));
}

void AdvanceSession() {
  // Zero is no session, so a wrapped counter skips it.
  if (InterlockedIncrement(&Gate().session) == kNoSession) InterlockedIncrement(&Gate().session);
}

// What a box thread shows; it lives on the stack of the callback that waits for the box.
struct BoxOrder {
  MessageId text;
  UINT style;
  HDESK desktop;
  CaptureTicket ticket;
  HANDLE started;
};

void OpenBox(const BoxOrder& order) {
  if (GateOpenFor(order.ticket))
    MessageBoxA(nullptr, MessageText(order.text), MessageText(MsgFingerprintCaption), order.style);
}

// A thread of our own has no window yet, so it can always move to the notice's desktop, which a
// library's thread (on the Default desktop, perhaps with windows there) may not.
DWORD WINAPI RunBox(LPVOID parameter) {
  BoxOrder& order = *static_cast<BoxOrder*>(parameter);
  if (order.desktop) SetThreadDesktop(order.desktop);
  // The queue must exist before the thread is known, or a quit posted to close the box is lost.
  MSG none;
  PeekMessageA(&none, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  SetEvent(order.started);
  OpenBox(order);
  return 0;
}

// Starts the box's thread and waits until it runs: threads are started one at a time.
HANDLE StartBoxThread(BoxOrder* order, DWORD* threadId) {
  order->started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!order->started) return nullptr;
  LockAlways(&Gate().boxStartLock);
  HANDLE thread = CreateThread(nullptr, 0, RunBox, order, 0, threadId);
  if (thread) WaitForSingleObject(order->started, INFINITE);
  Unlock(&Gate().boxStartLock);
  CloseHandle(order->started);
  return thread;
}

}  // namespace

void BeginNoticeSession() { AdvanceSession(); }

void AttachNotice(const NoticeLink& link) {
  Gate().desktop = GetThreadDesktop(GetCurrentThreadId());
  LockAlways(&Gate().postLock);
  Gate().link = link;
  Unlock(&Gate().postLock);
}

void ForgetNotice(HWND notice) {
  LockAlways(&Gate().postLock);
  if (Gate().link.notice == notice) Gate().link.notice = nullptr;
  Unlock(&Gate().postLock);
}

void RaiseNoticeSas() {
  if (Gate().link.raiseSas) Gate().link.raiseSas();
}

void OpenCaptureGate() {
  AdvanceSession();
  InterlockedExchange(&Gate().open, 1);
}

void CloseCaptureGate() {
  InterlockedExchange(&Gate().open, 0);
  // A match being recorded finishes whole (with its SAS) before Winlogon moves on.
  AwaitMatchRecorded();
  DWORD start = GetTickCount();
  while (Gate().callbacksInFlight > 0 && GetTickCount() - start < kStopWaitMilliseconds) {
    CloseOpenMessageBoxes();
    Sleep(kPollMilliseconds);
  }
}

CaptureTicket EnterCallback() {
  InterlockedIncrement(&Gate().callbacksInFlight);
  CaptureTicket ticket = Gate().session;
  if (GateOpenFor(ticket) && captureState.library) return ticket;
  InterlockedDecrement(&Gate().callbacksInFlight);
  return kNoSession;
}

void LeaveCallback() { InterlockedDecrement(&Gate().callbacksInFlight); }

bool GateOpenFor(CaptureTicket ticket) {
  return ticket != kNoSession && Gate().open != 0 && Gate().session == ticket;
}

bool LockWhileOpen(volatile LONG* lock, CaptureTicket ticket) {
  while (InterlockedCompareExchange(lock, 1, 0) != 0) {
    if (!GateOpenFor(ticket)) return false;
    Sleep(1);
  }
  if (GateOpenFor(ticket)) return true;
  Unlock(lock);
  return false;
}

void LockAlways(volatile LONG* lock) {
  while (InterlockedCompareExchange(lock, 1, 0) != 0) Sleep(1);
}

void Unlock(volatile LONG* lock) { InterlockedExchange(lock, 0); }

bool PauseWhileOpen(DWORD milliseconds, CaptureTicket ticket) {
  DWORD start = GetTickCount();
  while (GateOpenFor(ticket) && GetTickCount() - start < milliseconds) Sleep(kPollMilliseconds);
  return GateOpenFor(ticket);
}

bool PostToNotice(CaptureTicket ticket, UINT message, WPARAM wParam, LPARAM lParam) {
  LockAlways(&Gate().postLock);
  bool posted = GateOpenFor(ticket) && Gate().link.notice &&
                PostMessageA(Gate().link.notice, message, wParam, lParam);
  Unlock(&Gate().postLock);
  return posted;
}

void ShowCaptureMessage(MessageId text, UINT style, CaptureTicket ticket) {
  volatile DWORD* slot = ClaimBoxSlot();
  if (!slot) return;
  BoxOrder order{text, style, Gate().desktop, ticket, nullptr};
  DWORD boxThread = 0;
  // Without a thread of our own the box could only open on the library thread's desktop, where
  // nobody would see it: it is left out.
  HANDLE thread = StartBoxThread(&order, &boxThread);
  if (thread) {
    SetSlot(slot, boxThread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  SetSlot(slot, 0);
}
