#include "demo/Screenshots.h"

#include <windows.h>

#include <vector>

#include "demo/Transcript.h"

namespace {

// Painting reaches the display a little after a window's text changes.
constexpr DWORD kSettleMs = 700;
constexpr DWORD kCaptureLimitMs = 30000;

std::string ShotFolder() {
  char folder[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA("VODUVO_DEMO_SHOTS", folder, sizeof folder);
  return length && length < sizeof folder ? folder : "";
}

BOOL CALLBACK CollectShownWindow(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  RECT frame{};
  if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
      GetWindowRect(window, &frame) && frame.right > frame.left && frame.bottom > frame.top) {
    reinterpret_cast<std::vector<RECT>*>(found)->push_back(frame);
  }
  return TRUE;
}

// Where on the screen each window the person sees lies (the notice, a box over it, the system
// GINA's dialogs: all of them belong to this process), one "left top width height" line each.
std::string ShownWindows() {
  std::vector<RECT> frames;
  EnumWindows(CollectShownWindow, reinterpret_cast<LPARAM>(&frames));
  std::string lines;
  for (const RECT& r : frames) {
    lines += std::to_string(r.left) + " " + std::to_string(r.top) + " " +
             std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top) + "\n";
  }
  return lines;
}

// The request appears whole or not at all: written under another name, then renamed.
bool WriteRequest(const std::string& request) {
  std::string draft = request + ".draft";
  HANDLE file = CreateFileA(draft.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string windows = ShownWindows();
  DWORD written = 0;
  BOOL wrote = WriteFile(file, windows.data(), static_cast<DWORD>(windows.size()), &written,
                         nullptr);
  CloseHandle(file);
  return wrote && MoveFileExA(draft.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

bool ScreenshotsWanted() { return !ShotFolder().empty(); }

void TakeScreenshot(const std::string& name) {
  std::string folder = ShotFolder();
  if (folder.empty()) return;
  Sleep(kSettleMs);
  std::string request = folder + "\\" + name + ".request";
  if (!WriteRequest(request)) {
    PrintSeen("(screenshot " + name + " could not be asked for)");
    return;
  }
  DWORD start = GetTickCount();
  while (GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > kCaptureLimitMs) {
      DeleteFileA(request.c_str());
      PrintSeen("(screenshot " + name + " was not taken)");
      return;
    }
    Sleep(50);
  }
  PrintSeen("[screenshot " + name + ".png]");
}
