// The person's eyes and hands. Messages to windows of Winlogon's thread are sent with a time
// limit or posted, so the person never waits long on another thread.
#include "demo/Person.h"

#include "resources/ResourceIds.h"
#include "demo/Transcript.h"
#include "sim/host/DialogHands.h"
#include "sim/msgina/StandInGinaDialogIds.h"

namespace {

constexpr DWORD kStepLimitMs = 60000;
constexpr DWORD kPollMs = 5;
// Controls that make a window one of Winlogon's dialogs rather than a message box: the notices'
// picture, the logon and unlock name edits and the security options' lock button.
constexpr int kDialogMarks[] = {IDC_PICTURE, SIM_GINA_LOGON_NAME, SIM_GINA_UNLOCK_NAME,
                                SIM_GINA_LOCK_BUTTON};

bool Past(DWORD start, DWORD limitMs) { return GetTickCount() - start > limitMs; }

bool IsMessageBox(HWND window) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window)) return false;
  for (int mark : kDialogMarks)
    if (GetDlgItem(window, mark)) return false;
  return GetDlgItem(window, IDOK) != nullptr;
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM found) {
  if (!IsMessageBox(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The box's message: its longest static text (the icon beside it has none).
BOOL CALLBACK FindLongestStatic(HWND child, LPARAM longest) {
  char className[16] = {};
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "Static") != 0) return TRUE;
  std::string text = Person::Text(child);
  auto* kept = reinterpret_cast<std::string*>(longest);
  if (text.size() > kept->size()) *kept = text;
  return TRUE;
}

}  // namespace

double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Person::PlugReader() { papyl_.PlugReader(reader_.c_str()); }

void Person::UnplugReader() { papyl_.UnplugReader(reader_.c_str()); }

void Person::PlaceFinger(int finger) { papyl_.PlaceFinger(reader_.c_str(), finger); }

double Person::PlaceFingerUntilSas(int finger) {
  if (failed_) return -1;
  int before = host_ ? host_->SasNotifyCount() : 0;
  double start = Now();
  PlaceFinger(finger);
  for (DWORD begun = GetTickCount(); host_ && !Past(begun, kStepLimitMs); Sleep(1))
    if (host_->SasNotifyCount() > before) return Now() - start;
  Fail("the finger raised no SAS");
  return -1;
}

bool Person::AwaitLibraryCall(const char* exportedName, int before, DWORD limitMs) {
  for (DWORD start = GetTickCount(); !Past(start, limitMs); Sleep(kPollMs))
    if (papyl_.CallCount(exportedName) > before) return true;
  return false;
}

HWND Person::AwaitDialog(int controlId) {
  if (failed_) return nullptr;
  for (DWORD start = GetTickCount(); host_ && !Past(start, kStepLimitMs); Sleep(kPollMs)) {
    HWND dialog = host_->ActiveDialog();
    if (dialog && IsWindowVisible(dialog) && GetDlgItem(dialog, controlId)) return dialog;
  }
  Fail("no dialog with control " + std::to_string(controlId) + " came");
  return nullptr;
}

bool Person::AwaitText(HWND dialog, int controlId, const std::string& expected) {
  if (failed_) return false;
  for (DWORD start = GetTickCount(); !Past(start, kStepLimitMs); Sleep(kPollMs))
    if (Text(GetDlgItem(dialog, controlId)) == expected) return true;
  Fail("control " + std::to_string(controlId) + " never read " + Quoted(expected));
  return false;
}

bool Person::AwaitTextChange(HWND dialog, int controlId, const std::string& before) {
  if (failed_) return false;
  for (DWORD start = GetTickCount(); !Past(start, kStepLimitMs); Sleep(kPollMs))
    if (Text(GetDlgItem(dialog, controlId)) != before) return true;
  Fail("control " + std::to_string(controlId) + " kept its text");
  return false;
}

std::string Person::Text(HWND window, int controlId) { return ControlText(window, controlId); }

void Person::Type(HWND dialog, int controlId, const std::string& text) {
  TypeInto(dialog, controlId, text);
}

void Person::Press(HWND dialog, int buttonId) { PressButton(dialog, buttonId); }

bool Person::AwaitGone(HWND window) {
  for (DWORD start = GetTickCount(); !Past(start, kStepLimitMs); Sleep(kPollMs))
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
  Fail("a window stayed on screen");
  return false;
}

ShownMessageBox Person::AwaitMessageBox(double* waitedMs) {
  ShownMessageBox box;
  if (failed_) return box;
  double start = Now();
  for (DWORD begun = GetTickCount(); !Past(begun, kStepLimitMs); Sleep(kPollMs)) {
    EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&box.window));
    if (box.window) break;
  }
  if (!box.window) {
    Fail("no message box came");
    return box;
  }
  if (waitedMs) *waitedMs = Now() - start;
  Sleep(100);  // its text is set while it is being shown
  box.caption = Text(box.window);
  EnumChildWindows(box.window, FindLongestStatic, reinterpret_cast<LPARAM>(&box.text));
  return box;
}

void Person::MoveBelow(const ShownMessageBox& box, HWND dialog) {
  RECT below{}, moved{};
  if (!box.window || !GetWindowRect(dialog, &below) || !GetWindowRect(box.window, &moved)) return;
  int width = moved.right - moved.left;
  int height = moved.bottom - moved.top;
  int x = (below.left + below.right - width) / 2;
  int y = below.bottom + 16;
  if (y + height > GetSystemMetrics(SM_CYSCREEN)) y = below.top - height - 16;
  SetWindowPos(box.window, nullptr, x, y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

void Person::PressOk(const ShownMessageBox& box) {
  if (!box.window) return;
  Press(box.window, IDOK);
  AwaitGone(box.window);
}

void Person::Fail(const std::string& what) {
  PrintLine("  !! the demo went off its script: " + what);
  failed_ = true;
  if (host_) host_->PressCtrlAltDel();
}
