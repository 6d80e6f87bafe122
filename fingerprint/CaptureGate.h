// The gate between the fingerprint library's callback threads and Winlogon's thread. Each notice
// opens a session of its own; stopping capture closes the gate, closes the message boxes that
// callbacks have up, and waits a short, bounded time for callbacks in flight. A callback acts
// only while the session it entered under is the one open: after a stop, or once a later notice
// has begun, it touches neither the library, the match, the notice nor Winlogon.
#pragma once

#include <windows.h>

#include "resources/MessageCatalogue.h"

// The session a callback entered under; kNoSession when it was turned away.
typedef LONG CaptureTicket;
constexpr CaptureTicket kNoSession = 0;

// On Winlogon's thread, before a notice is shown: callbacks of earlier notices are out of date
// from now on.
void BeginNoticeSession();
// What the notice screens hand the capture layer as a notice starts: where callbacks post what
// the notice should show, and how a matched finger raises the SAS.
struct NoticeLink {
  HWND notice;
  void (*raiseSas)();
};

// On the notice's thread as it starts: what callbacks post goes to the link's notice, and their
// message boxes open on this thread's desktop.
void AttachNotice(const NoticeLink& link);
// On the notice's thread as it is destroyed: nothing more is posted to it.
void ForgetNotice(HWND notice);

void OpenCaptureGate();
// Closes the gate and returns once no callback is in flight, or after a bounded wait.
void CloseCaptureGate();

// A callback passes the gate only while it is open (and a library exists); every ticket other
// than kNoSession is given back with LeaveCallback.
CaptureTicket EnterCallback();
void LeaveCallback();
bool GateOpenFor(CaptureTicket ticket);

// A small lock that gives up when the ticket's session ends; false means it was not taken.
bool LockWhileOpen(volatile LONG* lock, CaptureTicket ticket);
// Takes the lock whatever the gate: for Winlogon's thread, which waits only as long as a
// holder needs to finish recording.
void LockAlways(volatile LONG* lock);
void Unlock(volatile LONG* lock);

// Sleeps up to milliseconds; false when the ticket's session ended meanwhile.
bool PauseWhileOpen(DWORD milliseconds, CaptureTicket ticket);

// Raises the SAS through the notice's link. Callers hold the match's record lock.
void RaiseNoticeSas();

// Posts a message to the session's notice; false when the session has ended or the post failed
// (whatever the message carried is then still the caller's).
bool PostToNotice(CaptureTicket ticket, UINT message, WPARAM wParam, LPARAM lParam);

// A message box for a library thread (no owner, caption message 0), opened on the notice's
// desktop by a thread of the module's own and closed when capture stops. Nothing is shown once
// the ticket's session has ended.
void ShowCaptureMessage(MessageId text, UINT style, CaptureTicket ticket);
