// The gate between the fingerprint library's callback threads and Winlogon's thread. Capture
// opens it; stopping capture closes it, closes the message boxes that callbacks have up, and waits
// a short, bounded time for callbacks in flight. After that no callback touches the library, the
// candidate buffers, the notice or Winlogon.
#pragma once

#include <windows.h>

#include "resources/MessageCatalogue.h"

void OpenCaptureGate();
// Closes the gate and returns once no callback is in flight, or after a bounded wait.
void CloseCaptureGate();
bool CaptureGateOpen();

// A callback passes the gate only while it is open (and a library exists); every successful
// EnterCallback is matched by LeaveCallback.
bool EnterCallback();
void LeaveCallback();

// A small lock that gives up when the gate closes; false means it was not taken.
bool LockWhileOpen(volatile LONG* lock);
void Unlock(volatile LONG* lock);

// Sleeps up to milliseconds; false when the gate closed meanwhile.
bool PauseWhileOpen(DWORD milliseconds);

// A message box on a library thread (no owner, caption message 0), which stopping capture closes.
// Nothing is shown once the gate has closed.
void ShowCaptureMessage(MessageId text, UINT style);
