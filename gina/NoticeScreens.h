// The module's own notices: dialog 103 while the workstation waits for Ctrl-Alt-Del, 104 while it
// is locked. Each starts a fresh fingerprint attempt and stays up until a SAS ends it.
#pragma once

#include <windows.h>

// Forgets any earlier match and shows dialog 103 (or 104) until Winlogon ends it.
void ShowSasNotice();
void ShowLockedNotice();

INT_PTR CALLBACK SasNoticeDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LockedNoticeDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
