// Each enrolled account's login mode, enforced in the system GINA's logon dialog (1500) and
// unlock dialog (1950): at OK the hook may refuse and cancel; right after the dialog opens with a
// matched fingerprint it fills in the name (and for some modes the password) and may submit.
#pragma once

#include <windows.h>

INT_PTR CALLBACK LogonDialogHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UnlockDialogHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
