#include "gina/LogonPolicy.h"

#include <cstring>

#include "accounts/AccountStore.h"
#include "fingerprint/FingerprintMatch.h"
#include "gina/GinaState.h"
#include "gina/SystemGinaDialogs.h"
#include "resources/EventLog.h"
#include "resources/MessageCatalogue.h"

namespace {

// What the commands the hooks send say about themselves, as the system GINA expects.
constexpr LPARAM kHookCommand = 0x10054;

struct PolicyDialog {
  int nameEdit;
  int passwordEdit;
  DLGPROC ModuleState::*savedProc;
  MessageId caption;
  MessageId notAuthorized;
  MessageId fingerprintOnly;
  MessageId nameAndPassword;
  MessageId fingerprintAndPassword;
  MessageId mismatch;
  bool nameBeforeMessage;  // the logon dialog shows the name while its message is up
  // Events of the audit trail: what the dialog did with a finger, and a typed name refused.
  DWORD fingerSubmitted;
  DWORD fingerNameFilledIn;
  DWORD fingerRefusedByMode;
  DWORD fingerMismatch;
  DWORD typedRefusedByMode;
};

const PolicyDialog kLogonDialog = {
    kLogonNameEdit, kLogonPasswordEdit, &ModuleState::savedLogonProc, MsgLogonCaption,
    MsgLogonNotAuthorized, MsgLogonFingerprintOnly, MsgLogonPasswordOnly,
    MsgLogonFingerprintAndPassword, MsgLogonMismatch, true, EVENT_LOGON_FINGER_SUBMITTED,
    EVENT_LOGON_FINGER_NAME_FILLED_IN, EVENT_LOGON_FINGER_REFUSED_BY_MODE,
    EVENT_LOGON_FINGER_MISMATCH, EVENT_LOGON_TYPED_REFUSED_BY_MODE};
const PolicyDialog kUnlockDialog = {
    kUnlockNameEdit, kUnlockPasswordEdit, &ModuleState::savedUnlockProc, MsgUnlockCaption,
    MsgUnlockNotAuthorized, MsgUnlockFingerprintOnly, MsgUnlockPasswordOnly,
    MsgUnlockFingerprintAndPassword, MsgUnlockMismatch, false, EVENT_UNLOCK_FINGER_SUBMITTED,
    EVENT_UNLOCK_FINGER_NAME_FILLED_IN, EVENT_UNLOCK_FINGER_REFUSED_BY_MODE,
    EVENT_UNLOCK_FINGER_MISMATCH, EVENT_UNLOCK_TYPED_REFUSED_BY_MODE};

typedef char TextField[kTextFieldSize];

void ReadEdit(HWND hwnd, int control, TextField& text) {
  SecureZeroMemory(text, sizeof text);
  GetDlgItemTextA(hwnd, control, text, kTextFieldSize);
}

// Byte by byte, letter case included.
bool SameText(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// Windows takes "alice", "DOMAIN\alice", "COMPUTER\alice" and "alice@domain" for the same user:
// the account is the text after the last backslash, up to an '@'.
void AccountPart(const char* typed, TextField& account) {
  SecureZeroMemory(account, sizeof account);
  const char* start = typed;
  for (const char* c = typed; *c; ++c)
    if (*c == '\\') start = c + 1;
  for (int i = 0; start[i] && start[i] != '@' && i < static_cast<int>(kTextFieldSize) - 1; ++i)
    account[i] = start[i];
}

// The account's mode; an account that cannot be read (or is not enrolled) counts as password only.
DWORD ModeOf(const char* typedName) {
  TextField account;
  AccountPart(typedName, account);
  LoginMode mode = PasswordOnly;
  if (ReadLoginMode(account, &mode) != 0) mode = PasswordOnly;
  return mode;
}

// The account (a typed name stands for the account part of it) and its mode, in the audit trail.
void Report(DWORD event, const char* name, DWORD mode) {
  TextField account;
  AccountPart(name, account);
  ReportModuleEvent(event, account, EventNumber(static_cast<long>(mode)).Text());
}

void Warn(const PolicyDialog& dialog, MessageId text) {
  MessageBoxA(nullptr, MessageText(text), MessageText(dialog.caption), MB_ICONWARNING);
}

void Cancel(HWND hwnd) { SendMessageA(hwnd, WM_COMMAND, IDCANCEL, kHookCommand); }

void Deny(HWND hwnd, const PolicyDialog& dialog, MessageId text) {
  Warn(dialog, text);
  Cancel(hwnd);
}

void RefuseNotAuthorized(HWND hwnd, const PolicyDialog& dialog) {
  Warn(dialog, dialog.notAuthorized);
  SetDlgItemTextA(hwnd, dialog.nameEdit, "");
  SetDlgItemTextA(hwnd, dialog.passwordEdit, "");
  Cancel(hwnd);
}

// A typed logon (no fingerprint). True when the OK may go on to the system GINA.
bool CheckTypedLogon(HWND hwnd, const PolicyDialog& dialog, const char* typedName, DWORD mode) {
  if (mode == NotAuthorized || mode == FingerprintOnly || mode == FingerprintAndPassword)
    Report(dialog.typedRefusedByMode, typedName, mode);
  switch (mode) {
    case NotAuthorized: RefuseNotAuthorized(hwnd, dialog); return false;
    case FingerprintOnly: Deny(hwnd, dialog, dialog.fingerprintOnly); return false;
    case FingerprintAndPassword: Deny(hwnd, dialog, dialog.fingerprintAndPassword); return false;
    case PasswordOnly:
    case FingerprintOrPassword:
      TakeTypedUser(typedName);
      return true;
    default: return true;
  }
}

// Mode 4 with a fingerprint: the name and the typed password must both be the enrolled ones.
bool CheckFingerprintAndPassword(HWND hwnd, const PolicyDialog& dialog) {
  TextField typedName, typedPassword;
  ReadEdit(hwnd, dialog.nameEdit, typedName);
  ReadEdit(hwnd, dialog.passwordEdit, typedPassword);
  bool same = SameText(typedName, CandidateUser()) &&
              SameText(typedPassword, CandidatePassword());
  if (!same) {
    Report(dialog.fingerMismatch, CandidateUser(), FingerprintAndPassword);
    Warn(dialog, dialog.mismatch);
  }
  SecureZeroMemory(typedName, sizeof typedName);
  SecureZeroMemory(typedPassword, sizeof typedPassword);
  WipeCandidatePassword();
  if (!same) Cancel(hwnd);
  return same;
}

bool CheckFingerprintLogon(HWND hwnd, const PolicyDialog& dialog, DWORD mode) {
  TextField typedName;
  switch (mode) {
    case NotAuthorized:
      Report(dialog.fingerRefusedByMode, CandidateUser(), mode);
      RefuseNotAuthorized(hwnd, dialog);
      return false;
    case PasswordOnly:
      ReadEdit(hwnd, dialog.nameEdit, typedName);
      if (!SameText(typedName, CandidateUser())) {
        Report(dialog.fingerMismatch, CandidateUser(), mode);
        Deny(hwnd, dialog, dialog.mismatch);
        return false;
      }
      return true;
    case FingerprintOrPassword:
      ReadEdit(hwnd, dialog.nameEdit, typedName);
      TakeTypedUser(typedName);
      return true;
    case FingerprintAndPassword: return CheckFingerprintAndPassword(hwnd, dialog);
    default: return true;
  }
}

// A fingerprint speaks only for its own account. Where the fingerprint's mode would let OK pass
// without looking at the name (1, 3, above 4), a name edited to another account is checked as a
// typed logon of that account.
bool NameEditedAway(HWND hwnd, const PolicyDialog& dialog, DWORD mode) {
  if (mode == NotAuthorized || mode == PasswordOnly || mode == FingerprintAndPassword) return false;
  TextField typedName, account;
  ReadEdit(hwnd, dialog.nameEdit, typedName);
  AccountPart(typedName, account);
  return !SameText(account, CandidateUser());
}

// True when the OK may reach the system GINA.
bool CheckOk(HWND hwnd, const PolicyDialog& dialog) {
  if (FingerprintMatched()) {
    DWORD mode = ModeOf(CandidateUser());
    if (!NameEditedAway(hwnd, dialog, mode)) return CheckFingerprintLogon(hwnd, dialog, mode);
  }
  TextField typedName;
  ReadEdit(hwnd, dialog.nameEdit, typedName);
  return CheckTypedLogon(hwnd, dialog, typedName, ModeOf(typedName));
}

void Submit(HWND hwnd) { SendMessageA(hwnd, WM_COMMAND, IDOK, kHookCommand); }

// Right after the system GINA set the dialog up, a matched fingerprint fills it in.
void FillIn(HWND hwnd, const PolicyDialog& dialog) {
  DWORD mode = ModeOf(CandidateUser());
  switch (mode) {
    case NotAuthorized:
      Report(dialog.fingerRefusedByMode, CandidateUser(), mode);
      Deny(hwnd, dialog, dialog.notAuthorized);
      WipeCandidatePassword();
      break;
    case FingerprintOnly:
    case FingerprintOrPassword:
      Report(dialog.fingerSubmitted, CandidateUser(), mode);
      SetDlgItemTextA(hwnd, dialog.nameEdit, CandidateUser());
      SetDlgItemTextA(hwnd, dialog.passwordEdit, CandidatePassword());
      Submit(hwnd);
      WipeCandidatePassword();
      break;
    case PasswordOnly:
      Report(dialog.fingerNameFilledIn, CandidateUser(), mode);
      // The logon dialog shows the name while the message is up; the unlock dialog after it.
      if (dialog.nameBeforeMessage) SetDlgItemTextA(hwnd, dialog.nameEdit, CandidateUser());
      Warn(dialog, dialog.nameAndPassword);
      if (!dialog.nameBeforeMessage)
        SetDlgItemTextA(hwnd, dialog.nameEdit, CandidateUser());
      break;
    case FingerprintAndPassword:
      Report(dialog.fingerNameFilledIn, CandidateUser(), mode);
      SetDlgItemTextA(hwnd, dialog.nameEdit, CandidateUser());
      break;
    default: break;
  }
}

INT_PTR PolicyHook(const PolicyDialog& dialog, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && LOWORD(wParam) == IDOK && !CheckOk(hwnd, dialog)) return TRUE;
  DLGPROC saved = GinaState.*dialog.savedProc;
  INT_PTR result = saved ? saved(hwnd, msg, wParam, lParam) : FALSE;
  if (msg == WM_INITDIALOG && FingerprintMatched()) FillIn(hwnd, dialog);
  return result;
}

}  // namespace

INT_PTR CALLBACK LogonDialogHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PolicyHook(kLogonDialog, hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK UnlockDialogHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PolicyHook(kUnlockDialog, hwnd, msg, wParam, lParam);
}
