// The writing side of the account store, which only the enrolment tool has: the module itself
// never writes the registry.
#pragma once

#include <windows.h>

#include <string>

#include "accounts/RegistryValues.h"
#include "accounts/StoreFormat.h"

// Protects a terminated password of at most 127 characters, terminator included, as the store
// requires (passwordEntropy, local-machine scope). Returns false when it cannot be protected.
bool ProtectPassword(const char* password, Bytes& blob);

// The account's Login value for mode.
StoredValue LoginValue(LoginMode mode);

// All four values of an account: Login, Template1, Template2 and CPD.
StoredValues AccountValues(LoginMode mode, const Bytes& template1, const Bytes& template2,
                           const Bytes& protectedPassword);

// The account's key: kStorePath, one backslash, userName (not null).
std::string AccountKeyPath(const char* userName);

// Writes values into the account's key in their order, creating the key if needed, and stops at
// the first that fails. Returns a Win32 error code (ERROR_SUCCESS on success).
LONG SetAccountValues(const char* userName, const StoredValues& values);
// The same for one value.
LONG SetAccountValue(const char* userName, const char* valueName, DWORD type, const BYTE* data,
                     size_t size);

// Whether the module's own store operations read the account back as written.
bool AccountReadsBack(const char* userName, LoginMode mode, const Bytes& template1,
                      const Bytes& template2, const char* password);

// Deletes the account's key, which has values only. Returns a Win32 error code
// (ERROR_FILE_NOT_FOUND when there is no such account).
LONG RemoveAccount(const char* userName);
