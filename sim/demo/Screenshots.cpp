#include "sim/demo/Screenshots.h"

#include <windows.h>

#include "sim/demo/Transcript.h"

namespace {

// Painting reaches the display a little after a window's text changes.
constexpr DWORD kSettleMs = 700;
constexpr DWORD kCaptureLimitMs = 30000;

std::string ShotFolder() {
  char folder[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA("VODUVO_DEMO_SHOTS", folder, sizeof folder);
  return length && length < sizeof folder ? folder : "";
}

}  // namespace

bool ScreenshotsWanted() { return !ShotFolder().empty(); }

void TakeScreenshot(const std::string& name) {
  std::string folder = ShotFolder();
  if (folder.empty()) return;
  Sleep(kSettleMs);
  std::string request = folder + "\\" + name + ".request";
  HANDLE file = CreateFileA(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    PrintSeen("(screenshot " + name + " could not be asked for)");
    return;
  }
  CloseHandle(file);
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
