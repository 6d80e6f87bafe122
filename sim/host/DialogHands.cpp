#include "sim/host/DialogHands.h"

std::string ControlText(HWND window, int controlId, UINT limitMs) {
  HWND control = controlId ? GetDlgItem(window, controlId) : window;
  char text[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                      limitMs, &copied);
  text[sizeof text - 1] = '\0';
  return text;
}

void TypeInto(HWND dialog, int controlId, const std::string& text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, controlId), WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, kDialogMessageLimitMs,
                      &ignored);
}

void PressButton(HWND dialog, int buttonId) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}
