#include "sim/host/WinlogonDesktop.h"

#include <windows.h>

bool MoveToWinlogonDesktop() {
  // Opens the desktop when it exists. The handle stays open while the thread uses the desktop.
  HDESK desktop = CreateDesktopA(kWinlogonDesktopName, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  return desktop && SetThreadDesktop(desktop);
}

std::string ThreadDesktopName() {
  char name[64] = {};
  DWORD needed = 0;
  GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name,
                            sizeof name - 1, &needed);
  return name;
}
