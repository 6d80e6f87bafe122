// A person's hands on the dialogs of another thread (Winlogon's): messages go with a time limit
// or are posted, so the caller never waits long on the dialog's thread.
#pragma once

#include <windows.h>

#include <string>

constexpr UINT kDialogMessageLimitMs = 2000;

// The text of a dialog's control, or of the window itself when controlId is 0.
std::string ControlText(HWND window, int controlId = 0, UINT limitMs = kDialogMessageLimitMs);
void TypeInto(HWND dialog, int controlId, const std::string& text);
// A click: the button's command, posted as a click delivers it.
void PressButton(HWND dialog, int buttonId);
