// The notice's picture: which one the reader's state calls for, and putting one in the picture
// control. The control holds one bitmap of the module's at a time; whatever it stops showing is
// deleted, because Winlogon runs for the machine's whole uptime.
#pragma once

#include <windows.h>

// The waiting (true) or ready (false) picture of the library's edition, freshly loaded from the
// module's resources; null without a library, for an edition other than 1 or 2, or when it cannot
// be loaded. The caller owns it.
HBITMAP LoadSensorPicture(bool waiting);

// Shows picture (null empties the control) in the notice and deletes the picture it replaces.
// The notice takes ownership: when it is gone, picture is deleted at once and the result is false.
bool ShowNoticePicture(HBITMAP picture);

// Puts picture in the notice's control without deleting anything; *previous receives what the
// control showed before. False when the notice is gone (picture was not taken).
bool SwapNoticePicture(HBITMAP picture, HBITMAP* previous);

// Takes the picture out of a closing notice dialog and deletes it.
void ReleaseNoticePicture(HWND notice);
