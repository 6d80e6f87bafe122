// What the notice shows while capture runs. The notice's thread is Winlogon's, which may be
// inside a library call that waits for a callback: so callbacks never send to the notice, they
// post, and the notice's own procedure applies what arrives.
#pragma once

#include <windows.h>

#include "fingerprint/CaptureGate.h"

// On the notice's thread: the lines and picture of the reader's state, set directly.
void ShowReaderState(HWND notice, bool waiting);

// From a callback: the same, posted.
void PostReaderState(bool waiting, CaptureTicket ticket);
// From a callback: the notice takes picture (null empties it). A picture that cannot be posted,
// or that is still queued when the notice ends, is deleted.
void PostNoticePicture(HBITMAP picture, CaptureTicket ticket);

// In the notice's procedure, for every message: applies what was posted.
void ApplyNoticeMail(HWND notice, UINT msg, WPARAM wParam, LPARAM lParam);
// As the notice is destroyed: nothing more is posted to it, and every picture it holds or has
// waiting is deleted.
void EndNoticeMail(HWND notice);
