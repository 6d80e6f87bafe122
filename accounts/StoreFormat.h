// The account store's registry layout: key paths, value names, the login modes and how the
// password is protected. The module's reader and the enrolment tool both take it from here.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "accounts/TextField.h"
#include "accounts/WinlogonKey.h"

// The store key under HKEY_LOCAL_MACHINE, as one path for the per-account operations and as
// parent and name for the account listing; both are joined from the same parts.
#define VODUVO_STORE_PARENT_PATH VODUVO_WINLOGON_KEY "\\SpecialAccounts"
#define VODUVO_STORE_KEY_NAME "VoDUVO"
constexpr char kStorePath[] = VODUVO_STORE_PARENT_PATH "\\" VODUVO_STORE_KEY_NAME;
constexpr char kStoreParentPath[] = VODUVO_STORE_PARENT_PATH;
constexpr char kStoreKeyName[] = VODUVO_STORE_KEY_NAME;

// Values in an account's key (the key's name is the Windows user name, without a domain).
constexpr char kLoginValue[] = "Login";          // REG_DWORD, the account's LoginMode
constexpr char kTemplate1Value[] = "Template1";  // REG_BINARY, first enrolled template
constexpr char kTemplate2Value[] = "Template2";  // REG_BINARY, second enrolled template
constexpr char kPasswordValue[] = "CPD";         // REG_BINARY, the protected password

// User names and passwords end up in the logon shim's text fields, terminator included.
constexpr size_t kMaxStoredTextLength = kTextFieldSize - 1;

// The policy of an account, taken unchanged from its Login value. Any value above
// FingerprintAndPassword means no policy, so the type holds every 32-bit number.
enum LoginMode : DWORD {
  NotAuthorized = 0,
  FingerprintOnly = 1,
  PasswordOnly = 2,
  FingerprintOrPassword = 3,
  FingerprintAndPassword = 4,
};

// The CPD plaintext (the password's characters and one zero byte) is protected with this
// entropy in local-machine scope, so that Winlogon, which runs as SYSTEM, can unprotect what an
// administrator enrolled. Changing either makes every enrolled password unreadable.
constexpr BYTE passwordEntropy[16] = {0x56, 0x6f, 0x44, 0x55, 0x56, 0x4f, 0x2d, 0x43,
                                      0x50, 0x44, 0x9e, 0x31, 0xc4, 0x7a, 0x05, 0xe2};
constexpr DWORD kPasswordProtectionFlags = CRYPTPROTECT_LOCAL_MACHINE;
