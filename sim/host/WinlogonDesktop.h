// Winlogon's own desktop. Winlogon shows its notices and the system GINA's dialogs there, on its
// own thread, while threads that a library creates in its process start on the Default desktop,
// which nobody sees while a notice is up.
#pragma once

#include <string>

constexpr char kWinlogonDesktopName[] = "Winlogon";

// Moves the calling thread to Winlogon's desktop, making the desktop when it does not exist yet.
// False when the thread cannot move (it already has windows or hooks where it is).
bool MoveToWinlogonDesktop();

// The name of the calling thread's desktop ("Default", "Winlogon", ...).
std::string ThreadDesktopName();
