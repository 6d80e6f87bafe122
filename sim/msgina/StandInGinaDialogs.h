// The stand-in system GINA's dialogs, as its entry points use them.
#pragma once

#include <windows.h>

void RememberStandInInstance(HINSTANCE instance);
// Winlogon's handle and dispatch table, as WlxInitialize received them.
void RememberWinlogon(HANDLE hWlx, PVOID dispatchTable);
// Forgets Winlogon, the accounts and the records, and turns the dialogs on.
void ResetDialogState();
// Whether the SAS entry points open their dialogs at all.
bool DialogsAvailable();

// Each opens its dialog through Winlogon and answers the SAS action the user chose there.
int RunLogonDialog();
int RunSecurityOptionsDialog();
int RunUnlockDialog();
