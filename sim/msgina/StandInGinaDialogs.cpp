// The stand-in system GINA's dialogs: logon (1500), security options (1800) and unlock (1950).
// They are opened the way a system GINA opens them, through the WlxDialogBoxParam entry of
// Winlogon's dispatch table, so whatever sits in that entry at the moment of the call sees them.
#include "sim/msgina/StandInGinaDialogs.h"

// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

#include <cstring>

#include "sim/CriticalSectionLock.h"
#include "sim/msgina/StandInGinaControl.h"
#include "sim/msgina/StandInGinaDialogIds.h"

namespace {

constexpr int kMaxAccounts = 16;
constexpr int kTextSize = 256;

struct Account {
  char name[kTextSize];
  char password[kTextSize];
};

// One dialog of the stand-in: its controls and what it has seen.
struct DialogSlot {
  int templateId;
  int nameEdit;      // 0 when the dialog has none
  int passwordEdit;  // 0 when the dialog has none
  SimGinaDialogRecord record;
  bool lastOkAccepted;  // the name and password at the last OK belong to a known account
};

struct DialogState {
  CRITICAL_SECTION lock;
  HINSTANCE instance = nullptr;
  HANDLE hWlx = nullptr;
  PVOID table = nullptr;
  Account accounts[kMaxAccounts];
  int accountCount = 0;
  DialogSlot logon{SIM_GINA_LOGON_DIALOG, SIM_GINA_LOGON_NAME, SIM_GINA_LOGON_PASSWORD, {},
                   false};
  DialogSlot securityOptions{SIM_GINA_SECURITY_OPTIONS_DIALOG, 0, 0, {}, false};
  DialogSlot unlock{SIM_GINA_UNLOCK_DIALOG, SIM_GINA_UNLOCK_NAME, SIM_GINA_UNLOCK_PASSWORD, {},
                    false};
  DialogSlot* const slots[3] = {&logon, &securityOptions, &unlock};
};

DialogState dialogs;

struct Locked : CriticalSectionLock {
  Locked() : CriticalSectionLock(dialogs.lock) {}
};

DialogSlot* SlotOf(int templateId) {
  for (DialogSlot* slot : dialogs.slots)
    if (slot->templateId == templateId) return slot;
  return nullptr;
}

void ClearRecords() {
  for (DialogSlot* slot : dialogs.slots) {
    SecureZeroMemory(&slot->record, sizeof slot->record);
    slot->lastOkAccepted = false;
  }
}

// "DOMAIN\name", "COMPUTER\name" and "name@domain" all name the account "name".
void AccountPart(const char* typed, char (&account)[kTextSize]) {
  const char* backslash = std::strrchr(typed, '\\');
  const char* start = backslash ? backslash + 1 : typed;
  lstrcpynA(account, start, kTextSize);
  char* at = std::strrchr(account, '@');
  if (at) *at = '\0';
}

// Called with the lock held.
bool KnownAccount(const char* typedName, const char* password) {
  char name[kTextSize];
  AccountPart(typedName, name);
  if (!name[0]) return false;
  for (int i = 0; i < dialogs.accountCount; ++i) {
    const Account& account = dialogs.accounts[i];
    if (lstrcmpiA(account.name, name) == 0) return std::strcmp(account.password, password) == 0;
  }
  return false;
}

void RecordOk(HWND hwnd, DialogSlot& slot) {
  char name[kTextSize] = {};
  char password[kTextSize] = {};
  GetDlgItemTextA(hwnd, slot.nameEdit, name, kTextSize);
  GetDlgItemTextA(hwnd, slot.passwordEdit, password, kTextSize);
  Locked guard;
  ++slot.record.okCount;
  std::memcpy(slot.record.name, name, kTextSize);
  std::memcpy(slot.record.password, password, kTextSize);
  slot.lastOkAccepted = KnownAccount(name, password);
  SecureZeroMemory(password, sizeof password);
}

void RecordCancel(DialogSlot& slot) {
  Locked guard;
  ++slot.record.cancelCount;
}

// A system GINA puts the caret where the user types next: the name, or the password when the
// name is already there.
void FocusFirstEmptyEdit(HWND hwnd, const DialogSlot& slot) {
  int first = GetWindowTextLengthA(GetDlgItem(hwnd, slot.nameEdit)) ? slot.passwordEdit
                                                                     : slot.nameEdit;
  SetFocus(GetDlgItem(hwnd, first));
}

// The logon and unlock dialogs: OK and Cancel end them, everything else is left to the dialog
// manager (a SAS included, so Winlogon ends the dialog for it).
INT_PTR CredentialsDialogProc(DialogSlot& slot, HWND hwnd, UINT msg, WPARAM wParam) {
  if (msg == WM_INITDIALOG) {
    FocusFirstEmptyEdit(hwnd, slot);
    return FALSE;  // the focus is set
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      RecordOk(hwnd, slot);
      EndDialog(hwnd, IDOK);
      return TRUE;
    case IDCANCEL:
      RecordCancel(slot);
      EndDialog(hwnd, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK LogonDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  return CredentialsDialogProc(dialogs.logon, hwnd, msg, wParam);
}

INT_PTR CALLBACK UnlockDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  return CredentialsDialogProc(dialogs.unlock, hwnd, msg, wParam);
}

// Lock and log off end the dialog with their own button identifiers; change password is only
// noted (the stand-in has no change-password dialog).
INT_PTR CALLBACK SecurityOptionsDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  DialogSlot& slot = dialogs.securityOptions;
  if (msg == WM_INITDIALOG) {
    SetFocus(GetDlgItem(hwnd, SIM_GINA_LOCK_BUTTON));
    return FALSE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case SIM_GINA_LOCK_BUTTON:
    case SIM_GINA_LOGOFF_BUTTON:
      EndDialog(hwnd, LOWORD(wParam));
      return TRUE;
    case SIM_GINA_CHANGE_PASSWORD_BUTTON: {
      Locked guard;
      ++slot.record.changePasswordOpened;
      return TRUE;
    }
    case IDCANCEL:
      RecordCancel(slot);
      EndDialog(hwnd, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

// Opens a dialog through the table's entry as it stands now: a GINA placed in front of this one
// replaces that entry before passing WlxInitialize on.
int OpenThroughWinlogon(DialogSlot& slot, DLGPROC proc) {
  HANDLE hWlx;
  HINSTANCE instance;
  PWLX_DIALOG_BOX_PARAM dialogBoxParam;
  {
    Locked guard;
    hWlx = dialogs.hWlx;
    instance = dialogs.instance;
    dialogBoxParam = static_cast<PWLX_DISPATCH_VERSION_1_0>(dialogs.table)->WlxDialogBoxParam;
    ++slot.record.opened;
  }
  int endCode = dialogBoxParam(hWlx, instance, MAKEINTRESOURCEW(slot.templateId), nullptr, proc, 0);
  Locked guard;
  slot.record.endCode = endCode;
  return endCode;
}

int RunCredentialsDialog(DialogSlot& slot, DLGPROC proc, int acceptedAction) {
  int endCode = OpenThroughWinlogon(slot, proc);
  Locked guard;
  bool accepted = endCode == IDOK && slot.lastOkAccepted;
  return accepted ? acceptedAction : WLX_SAS_ACTION_NONE;
}

}  // namespace

void RememberStandInInstance(HINSTANCE instance) {
  InitializeCriticalSection(&dialogs.lock);
  dialogs.instance = instance;
}

void RememberWinlogon(HANDLE hWlx, PVOID dispatchTable) {
  Locked guard;
  dialogs.hWlx = hWlx;
  dialogs.table = dispatchTable;
}

void ResetDialogState() {
  Locked guard;
  dialogs.hWlx = nullptr;
  dialogs.table = nullptr;
  SecureZeroMemory(dialogs.accounts, sizeof dialogs.accounts);
  dialogs.accountCount = 0;
  ClearRecords();
}

bool DialogsAvailable() {
  Locked guard;
  return dialogs.table != nullptr;
}

int RunLogonDialog() {
  return RunCredentialsDialog(dialogs.logon, LogonDialogProc, WLX_SAS_ACTION_LOGON);
}

int RunUnlockDialog() {
  return RunCredentialsDialog(dialogs.unlock, UnlockDialogProc, WLX_SAS_ACTION_UNLOCK_WKSTA);
}

int RunSecurityOptionsDialog() {
  switch (OpenThroughWinlogon(dialogs.securityOptions, SecurityOptionsDialogProc)) {
    case SIM_GINA_LOCK_BUTTON:
      return WLX_SAS_ACTION_LOCK_WKSTA;
    case SIM_GINA_LOGOFF_BUTTON:
      return WLX_SAS_ACTION_LOGOFF;
    default:
      return WLX_SAS_ACTION_NONE;
  }
}

// ---- Control interface -------------------------------------------------------------------------

extern "C" {

void SimGinaSetAccount(const char* name, const char* password) {
  Locked guard;
  int index = 0;
  while (index < dialogs.accountCount && lstrcmpiA(dialogs.accounts[index].name, name) != 0)
    ++index;
  if (index == kMaxAccounts) return;
  if (index == dialogs.accountCount) ++dialogs.accountCount;
  lstrcpynA(dialogs.accounts[index].name, name, kTextSize);
  lstrcpynA(dialogs.accounts[index].password, password, kTextSize);
}

int SimGinaLastDialog(int templateId, SimGinaDialogRecord* out) {
  Locked guard;
  const DialogSlot* slot = SlotOf(templateId);
  if (!slot) {
    std::memset(out, 0, sizeof *out);
    return 0;
  }
  *out = slot->record;
  return 1;
}

}  // extern "C"
