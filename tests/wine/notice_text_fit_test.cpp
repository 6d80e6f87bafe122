// Every line the two notices show, in both languages and every reader state, fits whole in its
// control: each dialog is built from the module's own template of that language, each text is set
// in its control and measured as the static control draws it, with the control's own font.
#include <gtest/gtest.h>

#include <string>

#include "resources/MessageCatalogue.h"
#include "tests/wine/support/ModuleUnderTest.h"

namespace {

// The longest name a Windows account can have, in its widest letters.
const char kLongestUserName[] = "WWWWWWWWWWWWWWWWWWWW";

// Windows 2000 and XP draw these dialogs in Tahoma 8; Wine in DejaVu Sans where it has no Tahoma
// (as here) and otherwise in its own Tahoma. Measured in dialog units, DejaVu Sans runs about 2%
// wider than Tahoma 8 and Wine's Tahoma about 7% wider than DejaVu Sans: the lines must fit this
// much narrower than their controls, so that they show whole in all three.
constexpr int kWidthMarginPercent = 8;

struct Language {
  LANGID id;
  int base;  // the language's block in the message catalogue
  const char* name;
};

const Language kLanguages[] = {
    {1033, kEnglishBase, "English"},
    {1046, kPortugueseBase, "Portuguese"},
};

std::string Text(const Language& language, MessageId id) {
  return MessageCatalogue[language.base + id];
}

struct NoticeLine {
  int control;
  const char* state;
  MessageId message;
  bool lockedOnly;    // a line of the locked notice alone
  bool withUserName;  // the message, the user's name and its end, joined as the notice joins them
};

// What the controls show, state by state.
const NoticeLine kLines[] = {
    {1005, "waiting", MsgWaitingForSensor, false, false},
    {1004, "waiting", MsgPressCtrlAltDel, false, false},
    {1005, "ready", MsgTouchSensor, false, false},
    {1004, "ready", MsgOrPressCtrlAltDel, false, false},
    {1002, "locked", MsgLockedInUse, true, false},
    {1003, "locked", MsgLockedUnlockByStart, true, true},
};

std::string LineText(const NoticeLine& line, const Language& language) {
  if (!line.withUserName) return Text(language, line.message);
  return Text(language, line.message) + kLongestUserName + Text(language, MsgLockedUnlockByEnd);
}

struct Notice {
  WORD id;
  bool locked;
};

struct Case {
  Notice notice;
  Language language;
};

std::string Describe(const Case& c) {
  return "dialog " + std::to_string(c.notice.id) + " in " + c.language.name;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Builds the notice from exactly the given language's template (whatever the thread's language).
HWND CreateNotice(HMODULE module, const Case& c) {
  HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(c.notice.id), c.language.id);
  if (!found) return nullptr;
  auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found)));
  return CreateDialogIndirectParamA(module, dialog, nullptr, QuietDialog, 0);
}

// The format a static text control draws with: its alignment and word breaks, or one line only
// when it centres its text vertically (a longer text is then cut, not wrapped).
UINT DrawFormat(HWND control) {
  LONG style = GetWindowLongA(control, GWL_STYLE);
  UINT format = DT_EXPANDTABS | DT_WORDBREAK;
  if ((style & SS_TYPEMASK) == SS_CENTER) format |= DT_CENTER;
  if (style & SS_CENTERIMAGE) format |= DT_SINGLELINE;
  return format;
}

struct Fit {
  RECT client;  // the control's client rectangle
  int width;    // the width the text must keep within: the client width less the margin
  SIZE needed;  // what the text needs, laid out as the control lays it out at that width
};

Fit Measure(HWND control, const std::string& text) {
  SetWindowTextA(control, text.c_str());
  Fit fit{};
  GetClientRect(control, &fit.client);
  fit.width = fit.client.right * (100 - kWidthMarginPercent) / 100;
  RECT laidOut = {0, 0, fit.width, 0};
  HDC dc = GetDC(control);
  HGDIOBJ before =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  DrawTextA(dc, text.c_str(), -1, &laidOut, DrawFormat(control) | DT_CALCRECT);
  SelectObject(dc, before);
  ReleaseDC(control, dc);
  fit.needed = {laidOut.right - laidOut.left, laidOut.bottom - laidOut.top};
  return fit;
}

void ExpectFits(HWND dialog, const NoticeLine& line, const Case& c) {
  HWND control = GetDlgItem(dialog, line.control);
  ASSERT_NE(control, nullptr) << Describe(c) << ", control " << line.control;
  std::string text = LineText(line, c.language);
  Fit fit = Measure(control, text);
  EXPECT_TRUE(fit.needed.cx <= fit.width && fit.needed.cy <= fit.client.bottom)
      << Describe(c) << ", control " << line.control << " (" << line.state << "): \"" << text
      << "\" needs " << fit.needed.cx << " x " << fit.needed.cy << " px within " << fit.width
      << " px of width; the control has " << fit.client.right << " x " << fit.client.bottom
      << " px";
}

void ExpectNoticeFits(HMODULE module, const Case& c) {
  HWND dialog = CreateNotice(module, c);
  ASSERT_NE(dialog, nullptr) << Describe(c) << ", error " << GetLastError();
  for (const NoticeLine& line : kLines) {
    if (c.notice.locked || !line.lockedOnly) ExpectFits(dialog, line, c);
  }
  DestroyWindow(dialog);
}

const Case kCases[] = {
    {{103, false}, kLanguages[0]},
    {{103, false}, kLanguages[1]},
    {{104, true}, kLanguages[0]},
    {{104, true}, kLanguages[1]},
};

TEST(NoticeText, EveryLineFitsWholeInBothNoticesAndLanguages) {
  ModuleUnderTest module;
  for (const Case& c : kCases) ExpectNoticeFits(module.Handle(), c);
}

}  // namespace
